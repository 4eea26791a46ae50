#pragma once

#include "UpdatePhaseSource.h"

#include "app/models/Configuration.h"
#include "app/models/MenuBarModel.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace kestravin {

class BrandButton;
class FocusStartModel;
class FocusStartSection;
class FolgaRow;
class MenuSwitch;
class RowButton;
class StatusDot;

// The popover's column is made of these sections, top to bottom; each one
// only shows what the view hands it and reports what the user asks for.

// 1. The header row: the brand and the settings gear.
class PopoverHeader : public QWidget {
    Q_OBJECT
public:
    explicit PopoverHeader(QWidget* parent = nullptr);

Q_SIGNALS:
    void settingsRequested();
};

// 2. The update notice: a new version is ready, with the restart button.
class UpdateNotice : public QWidget {
    Q_OBJECT
public:
    explicit UpdateNotice(QWidget* parent = nullptr);
    void refresh(UpdatePhase phase);

Q_SIGNALS:
    void restartRequested();

private:
    BrandButton* m_restart;
};

// 3. The status header: the dot and the status, the main line (a sentence
// or a countdown), the blocked summary with its way to edit it, and the
// permission the daemon still needs.
class StatusHeader : public QWidget {
    Q_OBJECT
public:
    explicit StatusHeader(QWidget* parent = nullptr);
    void refresh(const MenuBarModel& header, bool installing);
    // The countdown lines only; they tick once a second.
    void updateCountdown(const MenuBarModel& header, const QDateTime& now);
    bool showsCountdown() const;
    void applyColors();

Q_SIGNALS:
    void editRequested();
    void installRequested();

private:
    StatusDot* m_statusDot;
    QLabel* m_statusText;
    QLabel* m_subtext;
    QWidget* m_countdown;
    QLabel* m_countdownLarge;
    QLabel* m_countdownSmall;
    QLabel* m_summary;
    QLabel* m_permissionText;
    RowButton* m_install;
    QLabel* m_installLabel;
};

// 4. The focus area: the start of a focus while none runs, or the running
// focus's actions (its error line, the break row and the assistant).
class FocusArea : public QWidget {
    Q_OBJECT
public:
    FocusArea(FocusStartModel& model, QWidget* parent = nullptr);
    FocusStartSection* startSection() const { return m_startSection; }
    FolgaRow* folgaRow() const { return m_folgaRow; }
    // The start while idle, the actions while a focus runs.
    void showRunning(bool running, bool startShown);
    void setActionsError(const std::optional<QString>& error);
    void setAssistantShown(bool shown);

Q_SIGNALS:
    void assistantRequested();

private:
    FocusStartSection* m_startSection;
    QWidget* m_focusActions;
    QLabel* m_actionsError;
    FolgaRow* m_folgaRow;
    RowButton* m_assistant;
};

// 6. The schedule: the automatic-hours switch and the week's summary.
class ScheduleInfo : public QWidget {
    Q_OBJECT
public:
    explicit ScheduleInfo(QWidget* parent = nullptr);
    void refresh(const Configuration& configuration);

Q_SIGNALS:
    void automaticHoursToggled(bool on);

private:
    MenuSwitch* m_hoursSwitch;
    QLabel* m_weekSummary;
};

// 8. The way to the settings and out.
class BottomActions : public QWidget {
    Q_OBJECT
public:
    explicit BottomActions(QWidget* parent = nullptr);

Q_SIGNALS:
    void settingsRequested();
    void quitRequested();
};

} // namespace kestravin
