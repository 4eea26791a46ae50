#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kestravin {

// Owns the first-run window and the launch gate: the settings and the popover
// open only for a computer linked to an account whose onboarding is done.
class OnboardingWindowController : public QObject {
    Q_OBJECT
public:
    static const QString onboardingCompletedKey;

    static OnboardingWindowController& shared();

    // The stored flag; absent reads as false.
    static bool onboardingCompleted();

    // Whether an account session is stored. Until sign-in exists nothing is
    // linked; the account service installs its own answer.
    void setAccountSessionCheck(std::function<bool()> check) { m_hasSession = std::move(check); }

    // True when linked and onboarded. Otherwise false, after the settings
    // window has been closed and the onboarding window brought forward.
    bool requireAccount();

    // The onboarding window, once shown; null before.
    QWidget* window() const { return m_window; }

private:
    void showWindow();

    std::function<bool()> m_hasSession = [] { return false; };
    QPointer<QWidget> m_window;
};

} // namespace kestravin
