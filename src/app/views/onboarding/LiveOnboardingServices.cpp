#include "app/views/onboarding/LiveOnboardingServices.h"

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/services/account/DesktopAccountService.h"
#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"
#include "app/services/daemon/HelperInstaller.h"
#include "app/views/brand/Appearance.h"
#include "app/views/onboarding/OnboardingWindowController.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QSettings>

#include <memory>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace {
Q_LOGGING_CATEGORY(lcOnboarding, "com.kestravin.app.Onboarding")
}

LiveOnboardingServices::Parts LiveOnboardingServices::Parts::application()
{
    return {
        []() -> ConfigurationManager& { return ConfigurationManager::shared(); },
        []() -> BlockingService& { return BlockingService::shared(); },
        []() -> ScheduleManager& { return ScheduleManager::shared(); },
        []() -> HelperInstaller& { return HelperInstaller::shared(); },
        []() -> DesktopAccountService& { return DesktopAccountService::shared(); },
        &Clock::system(),
        &Scheduler::system(),
    };
}

LiveOnboardingServices::LiveOnboardingServices(Parts parts, QObject* parent)
    : OnboardingServices(parent), m_parts(std::move(parts))
{
}

void LiveOnboardingServices::connectNotify(const QMetaMethod& signal)
{
    OnboardingServices::connectNotify(signal);
    follow();
}

void LiveOnboardingServices::follow()
{
    if (std::exchange(m_following, true))
        return;
    QObject::connect(&m_parts.configuration(), &ConfigurationManager::configurationChanged, this,
        &OnboardingServices::configurationChanged);
    QObject::connect(&m_parts.installer(), &HelperInstaller::isHelperInstalledChanged, this,
        &OnboardingServices::helperInstalledChanged);
    DesktopAccountService& account = m_parts.account();
    QObject::connect(&account, &DesktopAccountService::snapshotChanged, this, &OnboardingServices::accountChanged);
    QObject::connect(&account, &DesktopAccountService::stateChanged, this, &OnboardingServices::accountChanged);
    QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            Q_EMIT applicationActivated();
    });
}

Clock& LiveOnboardingServices::clock()
{
    return *m_parts.clock;
}

Scheduler& LiveOnboardingServices::scheduler()
{
    return *m_parts.scheduler;
}

Configuration LiveOnboardingServices::configuration() const
{
    return m_parts.configuration().configuration();
}

void LiveOnboardingServices::setConfiguration(const Configuration& configuration)
{
    m_parts.configuration().setConfiguration(configuration);
}

void LiveOnboardingServices::saveConfiguration()
{
    m_parts.configuration().saveConfiguration();
}

void LiveOnboardingServices::setWeek(const WeekSchedule::Week& week)
{
    m_parts.configuration().setWeek(week);
}

bool LiveOnboardingServices::isBlocking() const
{
    return m_parts.blocking().isBlocking();
}

void LiveOnboardingServices::markScheduleChangesPending()
{
    m_parts.schedule().setHasPendingScheduleChanges(true);
}

void LiveOnboardingServices::syncScheduleToHelper(const Configuration& configuration)
{
    m_parts.blocking().syncScheduleToHelper(configuration);
}

bool LiveOnboardingServices::isHelperInstalled() const
{
    return m_parts.installer().isHelperInstalled();
}

void LiveOnboardingServices::installHelper(InstallDone done)
{
    m_parts.installer().installHelper(
        [done = std::move(done)](bool success, const QString& message) { done(success, message); });
}

bool LiveOnboardingServices::hasSession() const
{
    return m_parts.account().session().has_value();
}

SessionLookup LiveOnboardingServices::sessionLookup() const
{
    return m_parts.account().sessionLookup();
}

bool LiveOnboardingServices::hasSnapshot() const
{
    return m_parts.account().snapshot().has_value();
}

bool LiveOnboardingServices::accountOnboarded() const
{
    const auto& snapshot = m_parts.account().snapshot();
    return snapshot && snapshot->settings.onboarded;
}

bool LiveOnboardingServices::connecting() const
{
    return m_parts.account().connecting();
}

void LiveOnboardingServices::connect(std::function<void()> done)
{
    DesktopAccountService& account = m_parts.account();
    account.connect();
    if (!account.connecting()) {
        m_parts.scheduler->runLater(std::chrono::milliseconds(0), this, std::move(done));
        return;
    }
    // The attempt ends when the link stops connecting; a linked account is
    // then brought up to date before the wizard looks at it.
    auto watch = std::make_shared<QMetaObject::Connection>();
    *watch = QObject::connect(
        &account, &DesktopAccountService::stateChanged, this, [&account, watch, done = std::move(done)] {
            if (account.connecting())
                return;
            QObject::disconnect(*watch);
            if (account.session())
                account.syncNow(done);
            else
                done();
        });
}

void LiveOnboardingServices::startAccount()
{
    m_parts.account().start();
}

void LiveOnboardingServices::syncNow(std::function<void()> done)
{
    m_parts.account().syncNow(std::move(done));
}

void LiveOnboardingServices::localEditChanged()
{
    m_parts.account().localEditChanged();
}

void LiveOnboardingServices::finishOnboarding()
{
    m_parts.account().finishOnboarding();
}

bool LiveOnboardingServices::reduceMotion() const
{
    return Appearance::shared().reduceMotion();
}

bool LiveOnboardingServices::isApplicationActive() const
{
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

bool LiveOnboardingServices::onboardingCompleted() const
{
    return QSettings().value(OnboardingWindowController::onboardingCompletedKey, false).toBool();
}

void LiveOnboardingServices::setOnboardingCompleted(bool completed)
{
    QSettings().setValue(OnboardingWindowController::onboardingCompletedKey, completed);
}

void LiveOnboardingServices::removeOnboardingCompleted()
{
    QSettings().remove(OnboardingWindowController::onboardingCompletedKey);
}

void LiveOnboardingServices::requestNotificationPermission()
{
    // The desktop's notification service has no permission to ask for: a
    // notification is shown whenever the service is present.
    qCDebug(lcOnboarding) << "notification permission granted";
}

} // namespace kestravin
