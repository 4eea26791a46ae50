#include "app/views/onboarding/OnboardingWindowController.h"

#include "app/views/settings/SettingsWindowController.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString OnboardingWindowController::onboardingCompletedKey = u"kestravin.onboardingCompleted"_s;

OnboardingWindowController& OnboardingWindowController::shared()
{
    static OnboardingWindowController controller;
    return controller;
}

bool OnboardingWindowController::onboardingCompleted()
{
    return QSettings().value(onboardingCompletedKey, false).toBool();
}

bool OnboardingWindowController::requireAccount()
{
    if (m_hasSession() && onboardingCompleted()) {
        return true;
    }
    if (QWidget* settings = SettingsWindowController::shared().window()) {
        settings->close();
    }
    showWindow();
    return false;
}

void OnboardingWindowController::showWindow()
{
    if (!m_window) {
        m_window = new QWidget;
        m_window->setWindowTitle(u"Kestravin"_s);
        m_window->setAccessibleName(u"Kestravin"_s);
        m_window->setFixedSize(720, 560);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace kestravin
