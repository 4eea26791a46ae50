#include "app/views/onboarding/OnboardingWindowController.h"

#include "app/platform/Scheduler.h"
#include "app/views/brand/KeyDownMonitor.h"
#include "app/views/brand/WindowPresenter.h"
#include "app/views/onboarding/LiveOnboardingServices.h"
#include "app/views/onboarding/OnboardingModel.h"
#include "app/views/onboarding/OnboardingServices.h"
#include "app/views/settings/SettingsWindowController.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSettings>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestravin {

const QString OnboardingWindowController::onboardingCompletedKey = u"kestravin.onboardingCompleted"_s;
const QString OnboardingWindowController::windowTitle = u"Boas-vindas ao Kestravin"_s;

namespace {

// The wizard's window: fixed in size, titled, closable and minimisable; its
// closing is the controller's cue.
class OnboardingWindow final : public QWidget {
public:
    explicit OnboardingWindow(std::function<void()> closing) : m_closing(std::move(closing))
    {
        setWindowTitle(OnboardingWindowController::windowTitle);
        setAccessibleName(OnboardingWindowController::windowTitle);
        setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint
            | Qt::CustomizeWindowHint);
        setFixedSize(OnboardingWindowController::windowSize);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        if (m_closing)
            std::exchange(m_closing, {})();
    }

private:
    std::function<void()> m_closing;
};

} // namespace

OnboardingWindowController::OnboardingWindowController(OnboardingServices& services, QObject* parent)
    : QObject(parent),
      m_services(&services),
      m_settingsWindow([] { return SettingsWindowController::shared().window(); })
{
}

OnboardingWindowController::~OnboardingWindowController()
{
    delete m_window;
}

OnboardingWindowController& OnboardingWindowController::shared()
{
    static auto* controller = [] {
        static LiveOnboardingServices services;
        return new OnboardingWindowController(services);
    }();
    return *controller;
}

OnboardingModel* OnboardingWindowController::model() const
{
    return m_model;
}

bool OnboardingWindowController::onboardingCompleted()
{
    return QSettings().value(onboardingCompletedKey, false).toBool();
}

void OnboardingWindowController::setServices(OnboardingServices& services)
{
    QObject::disconnect(std::exchange(m_sessionWatch, {}));
    m_waitingForSession = false;
    m_services = &services;
}

bool OnboardingWindowController::returningUser() const
{
    return m_services->hasSnapshot() && m_services->accountOnboarded() && m_services->isHelperInstalled();
}

bool OnboardingWindowController::requireAccount()
{
    OnboardingServices& services = *m_services;
    const bool completed = services.onboardingCompleted();
    switch (services.sessionLookup()) {
    case SessionLookup::pending:
        // The keyring has not answered yet: decide once it has. Someone who
        // finished the first run here is let in meanwhile.
        waitForSession();
        return completed;
    case SessionLookup::unavailable:
        // A locked or missing keyring is not a sign-out: the flag stays and
        // the wizard is not forced on the person; the gate asks again when
        // the keyring answers.
        if (completed) {
            waitForSession();
            return true;
        }
        break;
    case SessionLookup::loaded:
        break;
    }
    const bool session = services.hasSession();
    if (completed && session)
        return true;
    if (!session) {
        services.removeOnboardingCompleted();
        openWizard();
        return false;
    }
    if (returningUser()) {
        services.setOnboardingCompleted(true);
        return true;
    }
    if (!services.hasSnapshot() && !m_window) {
        startBackgroundCheck();
        return false;
    }
    openWizard();
    return false;
}

void OnboardingWindowController::waitForSession()
{
    if (m_waitingForSession)
        return;
    m_waitingForSession = true;
    m_sessionWatch = QObject::connect(m_services, &OnboardingServices::accountChanged, this, [this] {
        const SessionLookup lookup = m_services->sessionLookup();
        if (lookup == SessionLookup::pending
            || (lookup == SessionLookup::unavailable && m_services->onboardingCompleted()))
            return;
        QObject::disconnect(std::exchange(m_sessionWatch, {}));
        m_waitingForSession = false;
        requireAccount();
    });
}

void OnboardingWindowController::startBackgroundCheck()
{
    if (m_checking)
        return;
    m_checking = true;
    // The account service's own coalescing sync: a round already running is
    // asked to repeat rather than a second one started beside it.
    m_services->syncNow([self = QPointer(this)] {
        if (self)
            self->waitForSnapshot(snapshotWaitPasses);
    });
}

void OnboardingWindowController::waitForSnapshot(int passesLeft)
{
    // A pass waits only while a session exists without a snapshot; any other
    // pass ends at once.
    while (passesLeft > 0 && !(m_services->hasSession() && !m_services->hasSnapshot()))
        --passesLeft;
    if (passesLeft > 0) {
        m_services->scheduler().runLater(
            snapshotWaitPass, this, [this, passesLeft] { waitForSnapshot(passesLeft - 1); });
        return;
    }
    m_checking = false;
    if (returningUser()) {
        m_services->setOnboardingCompleted(true);
        return;
    }
    openWizard();
}

void OnboardingWindowController::openWizard()
{
    if (m_settingsWindow) {
        if (QWidget* settings = m_settingsWindow())
            settings->close();
    }
    show();
}

void OnboardingWindowController::show()
{
    // Only the tray keeps the application alive; closing the wizard, its
    // only window, must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    presentWindow(m_window, [this] {
        auto* window = new OnboardingWindow([self = QPointer(this)] {
            if (self)
                self->windowWillClose();
        });
        auto* model = new OnboardingModel(
            *m_services,
            [self = QPointer(this)] {
                if (self && self->m_window)
                    self->m_window->close();
            },
            window);
        if (m_contentFactory) {
            QWidget* content = m_contentFactory(*model);
            content->setParent(window);
            window->layout()->addWidget(content);
        }
        m_model = model;
        return window;
    });
}

void OnboardingWindowController::reviewWelcome()
{
    m_services->removeOnboardingCompleted();
    show();
}

void OnboardingWindowController::windowWillClose()
{
    // Closing on the last step is finishing; on any other step the wizard is
    // abandoned and the next gate starts a new one.
    if (m_model && m_model->step() == OnboardingModel::Step::done)
        m_model->finish(false);
    QWidget* window = std::exchange(m_window, nullptr);
    m_model = nullptr;
    if (window)
        window->deleteLater();
    DockPresence::windowClosed();
    Q_EMIT windowClosed();
}

} // namespace kestravin
