#include "app/shell/LaunchAtLogin.h"

#include "app/platform/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace kestravin::LaunchAtLogin {
namespace {

struct ExistingEntry {
    bool exists = false;
    bool switchedOff = false;
    QByteArray bytes;
};

ExistingEntry readExisting(const QString& path)
{
    ExistingEntry entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return entry;
    }
    entry.exists = true;
    entry.bytes = file.readAll();
    bool inMainGroup = false;
    for (const QByteArray& raw : entry.bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inMainGroup || equals < 0) {
            continue;
        }
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            entry.switchedOff = true;
        }
    }
    return entry;
}

} // namespace

QString autostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/autostart"_s;
}

QString execQuoted(const QString& path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    // The file format's own string escape applies on top of the quoting.
    quoted.replace(u"\\"_s, u"\\\\"_s);
    quoted.replace(u"%"_s, u"%%"_s);
    return quoted;
}

QByteArray entryText(const QString& executable)
{
    // The packaged template, with this executable in its Exec line.
    QFile file(u":/packaging/com.kestravin.app-autostart.desktop"_s);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArrayList lines = file.readAll().split('\n');
    for (QByteArray& line : lines) {
        if (line.startsWith("Exec=")) {
            line = "Exec=" + execQuoted(executable).toUtf8();
        }
    }
    return lines.join('\n');
}

Result enable(const QString& folder, const QString& executable)
{
    const QString path = folder + u'/' + entryFileName.toString();
    const ExistingEntry existing = readExisting(path);
    if (existing.switchedOff) {
        return { Outcome::turnedOffByUser, {} };
    }
    const QByteArray wanted = entryText(executable);
    if (existing.exists && existing.bytes == wanted) {
        return { Outcome::alreadyEnabled, {} };
    }
    QString error;
    if (wanted.isEmpty()) {
        error = u"the entry template is missing"_s;
    } else if (!QDir().mkpath(folder)) {
        error = u"cannot create "_s + folder;
    } else {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(wanted) != wanted.size() || !file.commit()) {
            error = file.errorString();
        }
    }
    if (!error.isEmpty()) {
        printDiagnostic(u"Failed to register launch at login: "_s + error);
        return { Outcome::failed, error };
    }
    printDiagnostic(u"Kestravin registered to launch at login"_s);
    return { Outcome::registered, {} };
}

} // namespace kestravin::LaunchAtLogin
