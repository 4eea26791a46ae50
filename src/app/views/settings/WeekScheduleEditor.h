#pragma once

#include "WeekEditorModel.h"

#include <QAbstractButton>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QScrollArea;

namespace kestravin {

class BlockingService;
class Clock;
class ConfigurationManager;
class DesktopAccountService;
class ScheduleManager;
class WeekGridWidget;

// The switch of a yes/no setting: a painted track and knob that slides.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_position = 0;
};

// The day names above the columns, Sunday first, with today's marked.
class WeekDayHeader : public QWidget {
    Q_OBJECT
public:
    WeekDayHeader(Clock& clock, QWidget* parent = nullptr);
    QSize sizeHint() const override { return { 560, 22 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Clock& m_clock;
};

// The week editor: in the settings window a header with the automatic-hours
// switch, the status line and notice, the day header and the grid in a
// scroll area; embedded (first run) a fitted grid from 06:00.
class WeekScheduleEditor : public QWidget {
    Q_OBJECT
public:
    struct Services {
        ConfigurationManager& config;
        BlockingService& blocking;
        ScheduleManager* schedule;
        Scheduler& scheduler;
        Clock& clock;
        // Edits are uploaded to it and its save state shows; none: local only.
        DesktopAccountService* account = nullptr;

        static Services shared();
    };

    WeekScheduleEditor(Services services, bool embedded, QWidget* parent = nullptr);

    WeekEditorModel& model() { return *m_model; }
    WeekGridWidget& grid() { return *m_grid; }
    bool isEmbedded() const { return m_embedded; }
    // The hour height of the fitted layout.
    int fittedHour() const { return m_fittedHour; }
    void fit(double height);

    void setPresetPulse(std::optional<int> tick);
    // Told whenever a block becomes selected or a press starts, and back.
    std::function<void(bool)> onActiveChange;

    QString statusText() const;
    QString notice() const;
    ToggleSwitch* automaticHoursSwitch() const { return m_switch; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshStatus();
    void refreshEnabled();

    bool m_embedded;
    int m_fittedHour = 20;
    bool m_scrolled = false;
    WeekEditorModel* m_model;
    WeekGridWidget* m_grid;
    WeekDayHeader* m_header;
    ToggleSwitch* m_switch = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_notice = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_undoToast = nullptr;
};

} // namespace kestravin
