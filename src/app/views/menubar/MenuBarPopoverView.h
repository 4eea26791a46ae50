#pragma once

#include "MenuBarServices.h"

#include "app/models/FocusStartModel.h"
#include "app/models/MenuBarModel.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace kestravin {

class BrandButton;
class BottomActions;
class FocusArea;
class FocusStartSection;
class FolgaRow;
class PopoverHeader;
class ScheduleInfo;
class StatusHeader;
class Timer;
class UpdateNotice;

// The content of the tray's popover: a 360-pixel column with the header, the
// update notice, what the blocker does now, the focus start or the actions
// of a running focus, the automatic-hours switch and the way to the settings
// and out, each a section widget (PopoverSections.h). It keeps no blocking
// logic: it reads the services, hands each section what it shows and calls
// the services for what the sections report.
// The column is redrawn when a service publishes a change; only the two
// countdown lines tick, once a second, and only while the popover is shown.
class MenuBarPopoverView : public QWidget {
    Q_OBJECT
public:
    static constexpr int columnWidth = 360;

    explicit MenuBarPopoverView(MenuBarServices services, QWidget* parent = nullptr);
    ~MenuBarPopoverView() override;

    // The header's model at the clock's now.
    MenuBarModel model() const;
    FocusStartModel& focusStart() { return m_focusStart; }
    bool confirmingFolga() const { return m_confirmingFolga; }
    bool usingFolga() const { return m_usingFolga; }
    // The per-second countdown runs.
    bool isTicking() const { return m_tick != nullptr; }

    // Sections and controls, for the popover window and tests.
    FocusStartSection* focusStartSection() const;
    FolgaRow* folgaRow() const;
    QWidget* section(const QString& name) const;

    // Redraws the column from the services.
    void refresh();

    QSize sizeHint() const override;

Q_SIGNALS:
    // Another window took over (settings, assistant); the popover should close.
    void closeRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void build();
    void connectServices();
    void applyColors();
    void updateCountdown();
    void updateTicking();
    void startFocus(int minutes);
    void useFolga();
    void installHelper();
    void setAutomaticHours(bool on);
    void openSettings();
    void openFolgaPage(FolgaPage page);
    MenuBarModel::Inputs inputs() const;

    MenuBarServices m_services;
    FocusStartModel m_focusStart;
    bool m_confirmingFolga = false;
    bool m_usingFolga = false;
    std::optional<QString> m_folgaError;
    std::unique_ptr<Timer> m_tick;
    // Replies of a break request that arrive after the view is gone do nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    PopoverHeader* m_header = nullptr;
    UpdateNotice* m_updateNotice = nullptr;
    StatusHeader* m_status = nullptr;
    FocusArea* m_focusArea = nullptr;
    QWidget* m_divider = nullptr;
    ScheduleInfo* m_schedule = nullptr;
    BrandButton* m_shieldButton = nullptr;
    BottomActions* m_bottom = nullptr;
};

} // namespace kestravin
