#pragma once

#include <QString>

namespace kestravin::HelperConstants {

// The daemon's well-known name on the system bus; also its systemd unit's name.
inline const QString machServiceName = QStringLiteral("com.kestravin.helper");
inline const QString helperBundleIdentifier = machServiceName;
inline const QString helperObjectPath = QStringLiteral("/com/kestravin/helper");
inline const QString helperInterfaceName = QStringLiteral("com.kestravin.Helper");

// Where the password route installs the daemon and its systemd/D-Bus files.
inline const QString helperInstallPath = QStringLiteral("/usr/local/libexec/kestravin/com.kestravin.helper");
inline const QString systemdUnitPath = QStringLiteral("/etc/systemd/system/com.kestravin.helper.service");
inline const QString dbusPolicyPath = QStringLiteral("/etc/dbus-1/system.d/com.kestravin.helper.conf");
inline const QString dbusActivationPath
    = QStringLiteral("/usr/share/dbus-1/system-services/com.kestravin.helper.service");
// The unit a distribution package ships, used by the approval route.
inline const QString packagedUnitPath = QStringLiteral("/usr/lib/systemd/system/com.kestravin.helper.service");

inline const QString helperConfigPath = QStringLiteral("/var/lib/kestravin/helper-config.json");
inline const QString helperLogPath = QStringLiteral("/var/log/kestravin-helper.log");
inline const QString helperVersion = QStringLiteral("1.7.0");
inline const QString hostsFilePath = QStringLiteral("/etc/hosts");
// The start marker's head: readers that must not depend on the tail look for
// this, and so does every start marker.
inline const QString blockMarkerStartHead = QStringLiteral("# Kestravin START");
inline const QString blockMarkerStart = blockMarkerStartHead + QStringLiteral(" - DO NOT EDIT THIS SECTION");
inline const QString blockMarkerEnd = QStringLiteral("# Kestravin END");

} // namespace kestravin::HelperConstants
