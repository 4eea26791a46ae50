#pragma once

#include "app/models/Configuration.h"
#include "app/models/WeekSchedule.h"
#include "app/services/account/SessionStore.h"

#include <QObject>
#include <QString>

#include <functional>

namespace kestravin {

class Clock;
class Scheduler;

// What the first-run wizard and the launch gate reach outside themselves: the
// configuration, the blocking side, the daemon installer, the account and the
// application. One call per need, so that tests drive the wizard with a double
// and virtual time; LiveOnboardingServices wires the application's services.
class OnboardingServices : public QObject {
    Q_OBJECT
public:
    using InstallDone = std::function<void(bool success, const QString& error)>;

    using QObject::QObject;
    ~OnboardingServices() override = default;

    virtual Clock& clock() = 0;
    virtual Scheduler& scheduler() = 0;

    // Configuration.
    virtual Configuration configuration() const = 0;
    // Publishes the whole value; the caller saves it.
    virtual void setConfiguration(const Configuration& configuration) = 0;
    // Writes config.json.
    virtual void saveConfiguration() = 0;
    // Replaces the week and saves it.
    virtual void setWeek(const WeekSchedule::Week& week) = 0;

    // Blocking side.
    virtual bool isBlocking() const = 0;
    // A schedule change made during a block takes effect when it ends.
    virtual void markScheduleChangesPending() = 0;
    virtual void syncScheduleToHelper(const Configuration& configuration) = 0;

    // The daemon is installed and answers.
    virtual bool isHelperInstalled() const = 0;
    // Calls `done` once, later, on the GUI thread.
    virtual void installHelper(InstallDone done) = 0;

    // Account.
    virtual bool hasSession() const = 0;
    // Whether "no session" can be believed yet: not before the keyring has
    // answered, and not while it is locked or missing.
    virtual SessionLookup sessionLookup() const = 0;
    virtual bool hasSnapshot() const = 0;
    // The last snapshot says the account went through the first run.
    virtual bool accountOnboarded() const = 0;
    virtual bool connecting() const = 0;
    // Signs in by the device code; `done` runs once the attempt ended (for a
    // linked account after its first sync).
    virtual void connect(std::function<void()> done) = 0;
    // Loads the session and keeps the account in sync; safe to call again.
    virtual void startAccount() = 0;
    // One coalesced sync; `done` runs once no sync runs any more.
    virtual void syncNow(std::function<void()> done) = 0;
    virtual void localEditChanged() = 0;
    // Uploads the settings marked as onboarded, then syncs; failures stay
    // inside the account service.
    virtual void finishOnboarding() = 0;

    // Application.
    virtual bool reduceMotion() const = 0;
    virtual bool isApplicationActive() const = 0;
    // The stored "kestravin.onboardingCompleted"; absent reads as false.
    virtual bool onboardingCompleted() const = 0;
    virtual void setOnboardingCompleted(bool completed) = 0;
    virtual void removeOnboardingCompleted() = 0;
    virtual void requestNotificationPermission() = 0;

Q_SIGNALS:
    void configurationChanged();
    void helperInstalledChanged();
    // Session, snapshot or the sign-in state changed.
    void accountChanged();
    // The application became the active one (a window of ours got focus).
    void applicationActivated();
};

} // namespace kestravin
