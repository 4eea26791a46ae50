#pragma once

#include <QKeyCombination>
#include <QObject>

#include <functional>

namespace kestravin {

// "Ajustes…" (Ctrl+,) from every window of the application. A shortcut of
// Qt's own belongs to a widget and goes quiet while that widget's window is
// hidden (the popover mostly is), so the key is caught on its way to any
// widget of the process instead.
class SettingsShortcut : public QObject {
    Q_OBJECT
public:
    static constexpr QKeyCombination key { Qt::ControlModifier, Qt::Key_Comma };

    explicit SettingsShortcut(std::function<void()> openSettings, QObject* parent = nullptr);
    ~SettingsShortcut() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_openSettings;
};

} // namespace kestravin
