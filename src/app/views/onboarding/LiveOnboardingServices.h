#pragma once

#include "app/views/onboarding/OnboardingServices.h"

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class DesktopAccountService;
class HelperInstaller;
class ScheduleManager;

// The wizard's and the gate's needs, answered by the application's services.
class LiveOnboardingServices final : public OnboardingServices {
    Q_OBJECT
public:
    // Reached through functions so that making this object creates none of
    // them; the defaults are the application's.
    struct Parts {
        std::function<ConfigurationManager&()> configuration;
        std::function<BlockingService&()> blocking;
        std::function<ScheduleManager&()> schedule;
        std::function<HelperInstaller&()> installer;
        std::function<DesktopAccountService&()> account;
        Clock* clock = nullptr;
        Scheduler* scheduler = nullptr;

        static Parts application();
    };

    explicit LiveOnboardingServices(Parts parts = Parts::application(), QObject* parent = nullptr);

    Clock& clock() override;
    Scheduler& scheduler() override;

    Configuration configuration() const override;
    void setConfiguration(const Configuration& configuration) override;
    void saveConfiguration() override;
    void setWeek(const WeekSchedule::Week& week) override;

    bool isBlocking() const override;
    void markScheduleChangesPending() override;
    void syncScheduleToHelper(const Configuration& configuration) override;

    bool isHelperInstalled() const override;
    void installHelper(InstallDone done) override;

    bool hasSession() const override;
    SessionLookup sessionLookup() const override;
    bool hasSnapshot() const override;
    bool accountOnboarded() const override;
    bool connecting() const override;
    void connect(std::function<void()> done) override;
    void startAccount() override;
    void syncNow(std::function<void()> done) override;
    void localEditChanged() override;
    void finishOnboarding() override;

    bool reduceMotion() const override;
    bool isApplicationActive() const override;
    bool onboardingCompleted() const override;
    void setOnboardingCompleted(bool completed) override;
    void removeOnboardingCompleted() override;
    void requestNotificationPermission() override;

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    // Follows the services from the first listener on.
    void follow();

    Parts m_parts;
    bool m_following = false;
};

} // namespace kestravin
