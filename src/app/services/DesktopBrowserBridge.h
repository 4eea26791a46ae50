#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

namespace kestravin {

// The focus state shared with the browser extension.
struct BrowserFocus {
    bool enabled = false;
    QString id;
    std::optional<double> endsAt;
    QStringList platforms;
    QString source;
    bool operator==(const BrowserFocus&) const = default;
};

// The browser-extension sync. Until the exchange with the extension exists it
// only keeps the switch (also in the settings key "desktopBrowserSync", which
// the schedule manager reads) and the shared focus state.
class DesktopBrowserBridge : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)
public:
    static DesktopBrowserBridge& shared();
    static const QString syncSettingsKey;

    // Reads the stored switch.
    DesktopBrowserBridge();

    bool enabled() const { return m_enabled; }
    const BrowserFocus& focus() const { return m_focus; }
    void setEnabled(bool enabled);
    void setFocus(const BrowserFocus& focus);

    // The stored switch; absent reads as false.
    static bool storedSyncEnabled();

Q_SIGNALS:
    void enabledChanged();
    void focusChanged();

private:
    bool m_enabled = false;
    BrowserFocus m_focus;
};

} // namespace kestravin
