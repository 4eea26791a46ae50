// The files and scripts that the password route installs and removes the
// daemon with: the packaged unit, activation file and bus policy, and the
// shell scripts that pkexec runs.
#include "app/services/daemon/HelperInstaller.h"

#include "contract/HelperConstants.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {

// Single-quotes a constant for the scripts: the system root and the markers,
// never anything that comes from outside.
QString shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(u"'"_s, u"'\\''"_s);
    return u"'"_s + quoted + u"'"_s;
}

// A packaged file's text without its final line feed (the scripts' here
// documents add it back).
QString packagedFile(const QString& name)
{
    QFile file(u":/packaging/"_s + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString text = QString::fromUtf8(file.readAll());
    while (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text;
}

} // namespace

QString HelperInstaller::createSystemdUnit()
{
    return packagedFile(u"com.kestravin.helper.service"_s);
}

QString HelperInstaller::createDbusActivationFile()
{
    return packagedFile(u"com.kestravin.helper.dbus-service"_s);
}

QString HelperInstaller::createDbusPolicy(const QString& callerPlaceholder)
{
    QString policy = packagedFile(u"com.kestravin.helper.conf"_s);
    const QString caller = uR"(  <policy user="%1">
    <allow send_destination="%2" send_interface="%3"/>
  </policy>
)"_s.arg(callerPlaceholder, HelperConstants::machServiceName, HelperConstants::helperInterfaceName);
    const auto end = policy.lastIndexOf(u"</busconfig>"_s);
    if (end >= 0) {
        policy.insert(end, caller);
    }
    return policy;
}

QString HelperInstaller::createInstallScript(const QString& systemRoot)
{
    const QString root = systemRoot.isEmpty() ? QString() : shellQuoted(systemRoot);
    const QString installDir = QFileInfo(HelperConstants::helperInstallPath).path();
    const QString configDir = QFileInfo(HelperConstants::helperConfigPath).path();
    QStringList lines {
        u"#!/bin/bash"_s,
        u"set -e"_s,
        u""_s,
        u"# $1: the daemon executable to install; $2: the user allowed to call it."_s,
        u"SOURCE=\"$1\""_s,
        u"CALLER=\"$2\""_s,
        u"ROOT=%1"_s.arg(root.isEmpty() ? u"\"\""_s : root),
        u"if [ ! -f \"$SOURCE\" ]; then"_s,
        u"    echo \"Helper executable not found: $SOURCE\" >&2"_s,
        u"    exit 1"_s,
        u"fi"_s,
        u"case \"$CALLER\" in"_s,
        u"    \"\" | -* | *[!A-Za-z0-9_.-]*)"_s,
        u"        echo \"Invalid user name\" >&2"_s,
        u"        exit 1"_s,
        u"        ;;"_s,
        u"esac"_s,
        u""_s,
        u"# Create directories"_s,
        u"mkdir -p \"$ROOT%1\""_s.arg(installDir),
        u"mkdir -p \"$ROOT%1\""_s.arg(configDir),
        u"chmod 700 \"$ROOT%1\""_s.arg(configDir),
        u""_s,
        u"# Stop existing helper if running"_s,
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl stop %1 2>/dev/null || true"_s.arg(unitName),
        u"fi"_s,
        u""_s,
        u"# Install helper binary: a new file renamed over the old one, never written in place"_s,
        u"install -m 544 \"$SOURCE\" \"$ROOT%1.new\""_s.arg(HelperConstants::helperInstallPath),
        u"chown root:root \"$ROOT%1.new\""_s.arg(HelperConstants::helperInstallPath),
        u"mv -f \"$ROOT%1.new\" \"$ROOT%1\""_s.arg(HelperConstants::helperInstallPath),
        u""_s,
        u"# Write systemd unit"_s,
        u"mkdir -p \"$ROOT%1\""_s.arg(QFileInfo(HelperConstants::systemdUnitPath).path()),
        u"cat > \"$ROOT%1\" << 'UNIT_EOF'"_s.arg(HelperConstants::systemdUnitPath),
        createSystemdUnit(),
        u"UNIT_EOF"_s,
        u"chmod 644 \"$ROOT%1\""_s.arg(HelperConstants::systemdUnitPath),
        u"chown root:root \"$ROOT%1\""_s.arg(HelperConstants::systemdUnitPath),
        u""_s,
        u"# Write D-Bus policy and activation file"_s,
        u"mkdir -p \"$ROOT%1\""_s.arg(QFileInfo(HelperConstants::dbusPolicyPath).path()),
        u"cat > \"$ROOT%1\" << 'POLICY_EOF'"_s.arg(HelperConstants::dbusPolicyPath),
        createDbusPolicy(u"@CALLER@"_s),
        u"POLICY_EOF"_s,
        u"sed -i \"s/@CALLER@/$CALLER/\" \"$ROOT%1\""_s.arg(HelperConstants::dbusPolicyPath),
        u"mkdir -p \"$ROOT%1\""_s.arg(QFileInfo(HelperConstants::dbusActivationPath).path()),
        u"cat > \"$ROOT%1\" << 'ACTIVATION_EOF'"_s.arg(HelperConstants::dbusActivationPath),
        createDbusActivationFile(),
        u"ACTIVATION_EOF"_s,
        u"chmod 644 \"$ROOT%1\" \"$ROOT%2\""_s.arg(
            HelperConstants::dbusPolicyPath, HelperConstants::dbusActivationPath),
        u"chown root:root \"$ROOT%1\" \"$ROOT%2\""_s.arg(
            HelperConstants::dbusPolicyPath, HelperConstants::dbusActivationPath),
        u""_s,
        u"# Load the helper"_s,
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl daemon-reload"_s,
        u"    systemctl enable --now %1"_s.arg(unitName),
        u"fi"_s,
        u""_s,
        u"echo \"Helper installed successfully\""_s,
    };
    return lines.join(u'\n');
}

QString HelperInstaller::createUninstallScript(const QString& systemRoot)
{
    const QString root = systemRoot.isEmpty() ? QString() : shellQuoted(systemRoot);
    QStringList lines {
        u"#!/bin/bash"_s,
        u""_s,
        u"ROOT=%1"_s.arg(root.isEmpty() ? u"\"\""_s : root),
        u"HOSTS_FILE=\"$ROOT%1\""_s.arg(HelperConstants::hostsFilePath),
        u"MARKER_START=%1"_s.arg(shellQuoted(HelperConstants::blockMarkerStartHead)),
        u"MARKER_END=%1"_s.arg(shellQuoted(HelperConstants::blockMarkerEnd)),
        u""_s,
        u"# Removes every marked block section; a start marker without its end loses"_s,
        u"# only its own line, so the user's entries after it stay."_s,
        u"remove_block() {"_s,
        u"    grep -q \"^$MARKER_START\" \"$HOSTS_FILE\" 2>/dev/null || return 0"_s,
        u"    local tmp"_s,
        u"    tmp=\"$(mktemp \"$HOSTS_FILE.kestravin.XXXXXX\")\" || return 1"_s,
        u"    awk -v start=\"$MARKER_START\" -v end=\"$MARKER_END\" \\"_s,
        u"        'index($0, start) == 1 && !inblock { inblock = 1; n = 0; next }"_s,
        u"         inblock { buf[++n] = $0; if (index($0, end) == 1) { inblock = 0; n = 0 }; next }"_s,
        u"         { print }"_s,
        u"         END { if (inblock) for (i = 1; i <= n; i++) print buf[i] }' \"$HOSTS_FILE\" > \"$tmp\" || { rm -f \"$tmp\"; return 1; }"_s,
        u"    chmod 644 \"$tmp\""_s,
        u"    # A bind-mounted hosts file cannot be replaced; rewrite it in place then."_s,
        u"    mv -f \"$tmp\" \"$HOSTS_FILE\" 2>/dev/null || { cat \"$tmp\" > \"$HOSTS_FILE\"; rm -f \"$tmp\"; }"_s,
        u"}"_s,
        u""_s,
        u"# Lift the block first, so that nothing stays blocked whatever fails later"_s,
        u"if command -v dbus-send >/dev/null 2>&1; then"_s,
        u"    timeout 5 dbus-send --system --print-reply --dest=%1 %2 %3.uninstallHelper >/dev/null 2>&1 || true"_s.arg(
            HelperConstants::machServiceName, HelperConstants::helperObjectPath, HelperConstants::helperInterfaceName),
        u"fi"_s,
        u"remove_block"_s,
        u""_s,
        u"# Flush DNS"_s,
        u"if command -v resolvectl >/dev/null 2>&1; then timeout 5 resolvectl flush-caches 2>/dev/null || true; fi"_s,
        u"if command -v nscd >/dev/null 2>&1; then timeout 5 nscd --invalidate=hosts 2>/dev/null || true; fi"_s,
        u""_s,
        u"# Stop and disable the helper"_s,
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl disable --now %1 2>/dev/null || true"_s.arg(unitName),
        u"fi"_s,
        u""_s,
        u"# Remove files"_s,
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::helperInstallPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::systemdUnitPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::dbusPolicyPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::dbusActivationPath),
        u"rm -f \"$ROOT%1\""_s.arg(HelperConstants::helperConfigPath),
        u"if [ -d \"$ROOT/run/systemd/system\" ]; then"_s,
        u"    systemctl daemon-reload 2>/dev/null || true"_s,
        u"fi"_s,
        u""_s,
        u"# The helper may have written the section again before it stopped"_s,
        u"remove_block"_s,
        u""_s,
        u"echo \"Helper uninstalled successfully\""_s,
    };
    return lines.join(u'\n');
}

} // namespace kestravin
