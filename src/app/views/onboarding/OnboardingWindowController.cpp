#include "app/views/onboarding/OnboardingWindowController.h"

#include "app/views/brand/WindowPresenter.h"
#include "app/views/settings/SettingsWindowController.h"

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
    presentWindow(m_window, [] {
        auto* window = new QWidget;
        window->setWindowTitle(u"Kestravin"_s);
        window->setAccessibleName(u"Kestravin"_s);
        window->setFixedSize(720, 560);
        return window;
    });
}

} // namespace kestravin
