#pragma once

#include <QString>

namespace kestravin::LaunchAtLogin {

inline constexpr QStringView entryFileName = u"com.kestravin.app.desktop";

enum class Outcome {
    // Our entry is there, switched on, starting this executable.
    alreadyEnabled,
    // The entry was written.
    registered,
    // The user's copy is switched off (Hidden=true or
    // X-GNOME-Autostart-enabled=false): that is their answer, left alone.
    turnedOffByUser,
    failed,
};

struct Result {
    Outcome outcome = Outcome::failed;
    QString error;
};

// $XDG_CONFIG_HOME/autostart.
QString autostartFolder();

// The entry that starts `executable` at login.
QByteArray entryText(const QString& executable);

// `path` quoted for an Exec key: double quotes, with ", `, $ and \ escaped,
// then the string escape of the file format and %% for a percent sign.
QString execQuoted(const QString& path);

// Writes the autostart entry for `executable` into `folder` unless it is
// already there or the user switched it off. Prints what it did, as the
// start-up's other diagnostics.
Result enable(const QString& folder, const QString& executable);

} // namespace kestravin::LaunchAtLogin
