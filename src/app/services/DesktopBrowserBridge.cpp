#include "app/services/DesktopBrowserBridge.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString DesktopBrowserBridge::syncSettingsKey = u"desktopBrowserSync"_s;

DesktopBrowserBridge& DesktopBrowserBridge::shared()
{
    static auto* bridge = new DesktopBrowserBridge();
    return *bridge;
}

DesktopBrowserBridge::DesktopBrowserBridge() : m_enabled(storedSyncEnabled())
{
}

bool DesktopBrowserBridge::storedSyncEnabled()
{
    const QSettings settings(u"Kestravin"_s, u"Kestravin"_s);
    return settings.value(syncSettingsKey, false).toBool();
}

void DesktopBrowserBridge::setEnabled(bool enabled)
{
    QSettings settings(u"Kestravin"_s, u"Kestravin"_s);
    settings.setValue(syncSettingsKey, enabled);
    if (m_enabled != enabled) {
        m_enabled = enabled;
        Q_EMIT enabledChanged();
    }
}

void DesktopBrowserBridge::setFocus(const BrowserFocus& focus)
{
    if (m_focus != focus) {
        m_focus = focus;
        Q_EMIT focusChanged();
    }
}

} // namespace kestravin
