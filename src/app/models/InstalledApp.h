#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace kestravin {

// An application the user can pick to hide during a focus: one desktop entry.
struct InstalledApp {
    // The desktop-file ID without ".desktop", letter case as found.
    QString bundleIdentifier;
    QString name;
    // The .desktop file that declared it.
    QString path;
    // The entry's Icon= value: a theme name or an absolute file.
    QString iconName;

    bool operator==(const InstalledApp&) const = default;
};

namespace InstalledAppList {

// The first app whose identifier equals `bundleIdentifier`, letter case ignored.
std::optional<InstalledApp> find(const QList<InstalledApp>& apps, const QString& bundleIdentifier);

// The installed ones among the popular identifiers, in the popular list's order.
QList<InstalledApp> popular(const QList<InstalledApp>& apps);

} // namespace InstalledAppList

} // namespace kestravin
