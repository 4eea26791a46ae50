#pragma once

#include "app/models/InstalledApp.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestravin {

// The applications installed here, from which the user picks apps to hide
// during a focus: the XDG desktop entries, read off the GUI thread on each
// refresh and published sorted by name. Also answers which installed app has
// an identifier, which popular apps are installed, and each app's icon.
class InstalledApps : public QObject {
    Q_OBJECT
public:
    // `applicationDirs` is asked on each refresh, on the GUI thread.
    explicit InstalledApps(
        std::function<QStringList()> applicationDirs, std::optional<QString> ownBundleID, QObject* parent = nullptr);

    static InstalledApps& shared();

    // Starts a scan unless one runs; returns at once.
    void refresh();

    const QList<InstalledApp>& apps() const { return m_apps; }
    bool loaded() const { return m_loaded; }
    bool loading() const { return m_loading; }

    std::optional<InstalledApp> app(const QString& bundleIdentifier) const;
    QList<InstalledApp> popular() const;

    // The icon of the app whose entry is at `path`: its theme icon or icon
    // file, else a generic application icon; never null. Kept for the run.
    QIcon icon(const QString& path);
    // The icon of an entry's Icon= value, without the cache.
    static QIcon iconFor(const QString& iconName);

    // The apps of these folders, earlier folders first, protected and own
    // identifiers left out, one per identifier (letter case ignored), sorted
    // by name. Touches no shared state: runs on any thread.
    static QList<InstalledApp> scan(const QStringList& applicationDirs, const std::optional<QString>& ownBundleID);

Q_SIGNALS:
    void appsChanged();
    void loadedChanged();

private:
    std::function<QStringList()> m_applicationDirs;
    std::optional<QString> m_ownBundleID;
    QList<InstalledApp> m_apps;
    bool m_loaded = false;
    bool m_loading = false;
    QHash<QString, QIcon> m_icons;
};

} // namespace kestravin
