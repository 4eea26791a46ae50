#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <chrono>
#include <functional>

namespace kestravin {

class OnboardingModel;
class OnboardingServices;

// Owns the first-run window and the launch gate: the settings and the popover
// open only for a computer linked to an account whose first run is done.
// Every launch, reopen, deep link and sign-out asks the gate.
class OnboardingWindowController : public QObject {
    Q_OBJECT
public:
    static const QString onboardingCompletedKey;
    static const QString windowTitle;
    static constexpr QSize windowSize { 880, 720 };
    // How long the gate's background check waits for the account's snapshot.
    static constexpr int snapshotWaitPasses = 40;
    static constexpr std::chrono::milliseconds snapshotWaitPass { 250 };

    // What the window shows around the model; the model outlives it.
    using ContentFactory = std::function<QWidget*(OnboardingModel& model)>;

    explicit OnboardingWindowController(OnboardingServices& services, QObject* parent = nullptr);
    ~OnboardingWindowController() override;

    // The controller of the application, over its live services.
    static OnboardingWindowController& shared();

    // The stored flag; absent reads as false.
    static bool onboardingCompleted();

    OnboardingServices& services() const { return *m_services; }
    // Tests of other screens point the application's controller at a double.
    void setServices(OnboardingServices& services);
    void setContentFactory(ContentFactory factory) { m_contentFactory = std::move(factory); }
    // The window to close before the wizard opens (the settings window).
    void setSettingsWindow(std::function<QWidget*()> window) { m_settingsWindow = std::move(window); }

    // True when the person may go on to the settings. False when the wizard
    // has been shown or a check still running in the background may show it.
    bool requireAccount();
    // Brings the onboarding window forward, building it and a fresh wizard
    // when none is open.
    void show();
    // "Rever as boas-vindas": the first run counts as not done until the
    // wizard is finished again, and the wizard opens.
    void reviewWelcome();

    // The onboarding window and its wizard while open; null otherwise.
    QWidget* window() const { return m_window; }
    OnboardingModel* model() const;
    // The background check or a wait for the keyring is under way.
    bool checking() const { return m_checking || m_waitingForSession; }

Q_SIGNALS:
    // The window has closed (after the wizard's finish, if it ran).
    void windowClosed();

private:
    bool returningUser() const;
    void openWizard();
    void startBackgroundCheck();
    void waitForSnapshot(int passesLeft);
    void waitForSession();
    void windowWillClose();

    OnboardingServices* m_services;
    ContentFactory m_contentFactory;
    std::function<QWidget*()> m_settingsWindow;
    QPointer<QWidget> m_window;
    QPointer<OnboardingModel> m_model;
    bool m_checking = false;
    bool m_waitingForSession = false;
    QMetaObject::Connection m_sessionWatch;
};

} // namespace kestravin
