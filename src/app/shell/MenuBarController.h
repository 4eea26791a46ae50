#pragma once

#include "app/platform/Clock.h"
#include "app/platform/Scheduler.h"
#include "app/shell/StatusTitleModel.h"

#include <QDBusConnection>
#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>

namespace kestravin {

class PopoverWindow;
class TrayItem;

// What the tray item follows, read afresh at every refresh.
struct MenuBarInputs {
    std::function<bool()> isBlocking;
    std::function<bool()> browserSyncEnabled;
    std::function<bool()> browserFocusEnabled;
    // The schedule manager's countdown text; empty when none runs.
    std::function<QString()> remainingTime;
    // The launch gate; false means it has brought up onboarding instead.
    std::function<bool()> requireAccount;
};

// The tray item with its icon and countdown, and the popover it opens.
class MenuBarController : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds iconRefreshInterval { 5000 };
    static constexpr std::chrono::milliseconds titleInterval { 1000 };

    MenuBarController(QDBusConnection sessionBus, MenuBarInputs inputs, Scheduler& scheduler, Clock& clock,
        StatusTitleModel::Measure measure, QObject* parent = nullptr);
    ~MenuBarController() override;

    // Puts the item in the panel, makes the popover, and starts the icon
    // refresh (every 5 s and on each blocking-status change) and the 1 s
    // countdown title.
    void setupMenuBar();
    void updateStatusIcon();
    void updateMenuBarTitle();
    // The item's action; `anchor` as TrayItem::activated gives it.
    void togglePopover(QPoint anchor);

    TrayItem& tray() const { return *m_tray; }
    PopoverWindow& popover() const { return *m_popover; }
    const StatusTitleModel& title() const { return m_title; }
    bool active() const { return m_active; }

Q_SIGNALS:
    void statusIconUpdated(bool active);

private:
    MenuBarInputs m_inputs;
    Scheduler& m_scheduler;
    StatusTitleModel m_title;
    std::unique_ptr<TrayItem> m_tray;
    std::unique_ptr<PopoverWindow> m_popover;
    std::unique_ptr<Timer> m_iconTimer;
    std::unique_ptr<Timer> m_countdownTimer;
    bool m_active = false;
};

} // namespace kestravin
