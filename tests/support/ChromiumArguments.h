#pragma once

#include <QString>
#include <QStringList>

namespace kestravin::test {

// Debian's Chromium as the shield's tests and bench start it: as root (no
// sandbox), a profile of its own, nothing fetched in the background, every
// *.test host served by the loopback server on `port`. With `readable` the
// renderer publishes its tree as with a screen reader; without it, as people
// usually start it.
inline QStringList chromiumArguments(const QString& profile, quint16 port, bool readable, const QString& url)
{
    QStringList arguments { QStringLiteral("--no-sandbox"), QStringLiteral("--no-first-run"),
        QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"), QStringLiteral("--disable-gpu"), QStringLiteral("--user-data-dir=") + profile,
        QStringLiteral("--host-resolver-rules=MAP *.test 127.0.0.1:%1").arg(port),
        QStringLiteral("--window-size=1000,700") };
    if (readable) {
        arguments.append(QStringLiteral("--force-renderer-accessibility"));
    }
    return arguments << url;
}

} // namespace kestravin::test
