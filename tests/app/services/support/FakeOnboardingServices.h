#pragma once

#include "app/views/onboarding/OnboardingServices.h"

#include "FakeTime.h"

#include <QStringList>

namespace kestravin::testing {

using namespace Qt::StringLiterals;

// The wizard's and the gate's outside world in memory: the configuration,
// the daemon and the account are plain fields, every call is written to
// `calls`, and the installer's and the sign-in's completions wait until the
// test runs them.
class FakeOnboardingServices final : public OnboardingServices {
public:
    FakeTime time;
    Configuration config;
    bool blocking = false;
    bool helperInstalled = false;
    bool session = false;
    SessionLookup lookup = SessionLookup::loaded;
    std::optional<bool> onboarded; // none = no snapshot
    bool signingIn = false;
    bool reduce = false;
    bool active = true;
    std::optional<bool> completed; // none = the key is absent
    QStringList calls;
    QList<InstallDone> installs;
    QList<std::function<void()>> connects;
    QList<std::function<void()>> syncs;
    int saves = 0;
    QList<Configuration> sentToHelper;

    Clock& clock() override { return time; }
    Scheduler& scheduler() override { return time; }

    Configuration configuration() const override { return config; }
    void setConfiguration(const Configuration& configuration) override
    {
        calls << u"setConfiguration"_s;
        config = configuration;
        Q_EMIT configurationChanged();
    }
    void saveConfiguration() override
    {
        calls << u"saveConfiguration"_s;
        ++saves;
    }
    void setWeek(const WeekSchedule::Week& week) override
    {
        calls << u"setWeek"_s;
        config.schedule = WeekSchedule::schedule(week);
        ++saves;
        Q_EMIT configurationChanged();
    }

    bool isBlocking() const override { return blocking; }
    void markScheduleChangesPending() override { calls << u"pending"_s; }
    void syncScheduleToHelper(const Configuration& configuration) override
    {
        calls << u"syncScheduleToHelper"_s;
        sentToHelper << configuration;
    }

    bool isHelperInstalled() const override { return helperInstalled; }
    void installHelper(InstallDone done) override
    {
        calls << u"installHelper"_s;
        installs << std::move(done);
    }
    // Runs the oldest waiting install's completion.
    void answerInstall(bool success, const QString& error = {})
    {
        if (success)
            helperInstalled = true;
        installs.takeFirst()(success, error);
    }

    bool hasSession() const override { return session; }
    SessionLookup sessionLookup() const override { return lookup; }
    bool hasSnapshot() const override { return onboarded.has_value(); }
    bool accountOnboarded() const override { return onboarded.value_or(false); }
    bool connecting() const override { return signingIn; }
    void connect(std::function<void()> done) override
    {
        calls << u"connect"_s;
        signingIn = true;
        connects << std::move(done);
    }
    // Ends the oldest sign-in: linked (with the account's onboarded flag) or not.
    void answerConnect(bool linked, std::optional<bool> accountOnboarded = false)
    {
        signingIn = false;
        session = linked;
        onboarded = linked ? accountOnboarded : std::nullopt;
        connects.takeFirst()();
    }
    void startAccount() override { calls << u"startAccount"_s; }
    void syncNow(std::function<void()> done) override
    {
        calls << u"syncNow"_s;
        syncs << std::move(done);
    }
    void localEditChanged() override { calls << u"localEditChanged"_s; }
    void finishOnboarding() override { calls << u"finishOnboarding"_s; }

    bool reduceMotion() const override { return reduce; }
    bool isApplicationActive() const override { return active; }
    bool onboardingCompleted() const override { return completed.value_or(false); }
    void setOnboardingCompleted(bool value) override
    {
        calls << u"setOnboardingCompleted"_s;
        completed = value;
    }
    void removeOnboardingCompleted() override
    {
        calls << u"removeOnboardingCompleted"_s;
        completed.reset();
    }
    void requestNotificationPermission() override { calls << u"requestNotificationPermission"_s; }

    // The account service reports a change (a keyring that answered, a sync).
    void accountMoved() { Q_EMIT accountChanged(); }

    void activate()
    {
        active = true;
        Q_EMIT applicationActivated();
    }
};

} // namespace kestravin::testing
