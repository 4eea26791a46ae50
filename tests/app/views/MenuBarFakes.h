#pragma once

#include "app/views/menubar/MenuAccountPort.h"
#include "app/views/menubar/MenuBlockingPort.h"
#include "app/views/menubar/MenuShieldPort.h"
#include "app/views/menubar/UpdatePhaseSource.h"

#include <QList>

namespace kestravin::testing {

// An account whose state the test sets and whose requests it records and answers.
class FakeMenuAccount final : public MenuAccountPort {
public:
    bool session = false;
    std::optional<DesktopAccountSnapshot> current;
    std::optional<QString> error;
    QList<int> focusStarts;
    int localEdits = 0;
    QList<UseFolgaDone> folgaRequests;

    bool hasSession() const override { return session; }
    std::optional<DesktopAccountSnapshot> snapshot() const override { return current; }
    std::optional<QString> focusError() const override { return error; }
    void startFocusFromMenu(int minutes) override { focusStarts << minutes; }
    void useFolga(UseFolgaDone done) override { folgaRequests << std::move(done); }
    void localEditChanged() override { ++localEdits; }

    void publish() { Q_EMIT changed(); }
};

// An updater whose phase the test sets; install choices are counted.
class FakeUpdater final : public UpdatePhaseSource {
public:
    UpdatePhase current = UpdatePhase::idle;
    bool pendingReply = false;
    int installReplies = 0;

    UpdatePhase phase() const override { return current; }
    QString readyVersion() const override { return current == UpdatePhase::ready ? QStringLiteral("2.0") : QString(); }
    void installNow() override
    {
        if (!pendingReply) {
            return;
        }
        pendingReply = false;
        current = UpdatePhase::installing;
        ++installReplies;
        Q_EMIT phaseChanged();
    }
    void setPhase(UpdatePhase phase)
    {
        current = phase;
        Q_EMIT phaseChanged();
    }
};

class FakeShield final : public MenuShieldPort {
public:
    bool on = false;
    bool permitted = false;
    int requests = 0;
    bool enabled() const override { return on; }
    bool hasPermission() const override { return permitted; }
    void requestPermission() override { ++requests; }
    void set(bool enabled, bool permission)
    {
        on = enabled;
        permitted = permission;
        Q_EMIT changed();
    }
};

// The browser bridge's switch and focus as the test sets them; starts are recorded.
class FakeBrowser final : public MenuBrowserPort {
public:
    bool on = false;
    BrowserFocus current;
    QList<int> starts;

    bool enabled() const override { return on; }
    BrowserFocus focus() const override { return current; }
    void begin(int minutes) override { starts << minutes; }

    void setEnabled(bool enabled)
    {
        on = enabled;
        Q_EMIT changed();
    }
    void setFocus(const BrowserFocus& focus)
    {
        current = focus;
        Q_EMIT changed();
    }
};

} // namespace kestravin::testing
