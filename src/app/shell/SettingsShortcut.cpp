#include "app/shell/SettingsShortcut.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kestravin {

SettingsShortcut::SettingsShortcut(std::function<void()> openSettings, QObject* parent)
    : QObject(parent), m_openSettings(std::move(openSettings))
{
    QCoreApplication::instance()->installEventFilter(this);
}

SettingsShortcut::~SettingsShortcut()
{
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool SettingsShortcut::eventFilter(QObject* watched, QEvent* event)
{
    // A key reaches its window first and then the focused widget: taking it
    // at the widget handles it once. The keypad's comma counts too.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    const auto* keyEvent = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = keyEvent->modifiers() & ~Qt::KeypadModifier;
    if (keyEvent->key() != static_cast<int>(key.key()) || modifiers != key.keyboardModifiers()
        || keyEvent->isAutoRepeat()) {
        return false;
    }
    m_openSettings();
    return true;
}

} // namespace kestravin
