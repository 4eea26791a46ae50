#include "app/services/catalog/InstalledApps.h"

#include "app/models/AppBlockPolicy.h"
#include "app/platform/linux/DesktopEntryIndex.h"

#include <QCollator>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {
namespace {

// Drawn when neither the theme nor the entry offers an icon (also in test
// runs without any icon theme): a plain rounded square.
QIcon genericIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x71, 0x6B, 0x63), 3.0));
    painter.setBrush(QColor(0x71, 0x6B, 0x63, 40));
    painter.drawRoundedRect(QRectF(8, 8, 48, 48), 12, 12);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

InstalledApps::InstalledApps(
    std::function<QStringList()> applicationDirs, std::optional<QString> ownBundleID, QObject* parent)
    : QObject(parent), m_applicationDirs(std::move(applicationDirs)), m_ownBundleID(std::move(ownBundleID))
{
}

InstalledApps& InstalledApps::shared()
{
    static auto* instance
        = new InstalledApps([] { return DesktopEntryIndex::standardApplicationDirs(); }, u"com.kestravin.app"_s);
    return *instance;
}

QList<InstalledApp> InstalledApps::scan(const QStringList& applicationDirs, const std::optional<QString>& ownBundleID)
{
    const DesktopEntryIndex index(applicationDirs);
    QList<InstalledApp> apps;
    QSet<QString> seen;
    for (const DesktopEntry& entry : index.entries()) {
        if (AppBlockPolicy::isProtected(entry.id, ownBundleID)) {
            continue;
        }
        const QString key = entry.id.toLower();
        if (seen.contains(key)) {
            continue;
        }
        seen.insert(key);
        apps.append({ entry.id, entry.name, entry.filePath, entry.iconName });
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(),
        [&](const InstalledApp& a, const InstalledApp& b) { return collator.compare(a.name, b.name) < 0; });
    return apps;
}

void InstalledApps::refresh()
{
    if (m_loading) {
        return;
    }
    m_loading = true;
    auto* watcher = new QFutureWatcher<QList<InstalledApp>>(this);
    connect(watcher, &QFutureWatcher<QList<InstalledApp>>::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_apps = watcher->result();
        Q_EMIT appsChanged();
        if (!m_loaded) {
            m_loaded = true;
            Q_EMIT loadedChanged();
        }
        m_loading = false;
    });
    watcher->setFuture(QtConcurrent::run(&InstalledApps::scan, m_applicationDirs(), m_ownBundleID));
}

std::optional<InstalledApp> InstalledApps::app(const QString& bundleIdentifier) const
{
    return InstalledAppList::find(m_apps, bundleIdentifier);
}

QList<InstalledApp> InstalledApps::popular() const
{
    return InstalledAppList::popular(m_apps);
}

QIcon InstalledApps::iconFor(const QString& iconName)
{
    QIcon icon;
    if (QFileInfo(iconName).isAbsolute()) {
        if (QFileInfo::exists(iconName)) {
            icon = QIcon(iconName);
        }
    } else if (!iconName.isEmpty()) {
        icon = QIcon::fromTheme(iconName);
    }
    if (icon.isNull()) {
        icon = QIcon::fromTheme(u"application-x-executable"_s);
    }
    if (icon.isNull()) {
        static const QIcon fallback = genericIcon();
        icon = fallback;
    }
    return icon;
}

QIcon InstalledApps::icon(const QString& path)
{
    if (const auto it = m_icons.constFind(path); it != m_icons.cend()) {
        return *it;
    }
    QString iconName;
    for (const InstalledApp& app : std::as_const(m_apps)) {
        if (app.path == path) {
            iconName = app.iconName;
            break;
        }
    }
    const QIcon found = iconFor(iconName);
    m_icons.insert(path, found);
    return found;
}

} // namespace kestravin
