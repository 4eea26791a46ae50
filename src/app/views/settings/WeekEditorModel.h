#pragma once

#include "app/models/WeekDrag.h"
#include "app/models/WeekEditorStatus.h"
#include "app/platform/Scheduler.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <optional>

namespace kestravin {

class BlockingService;
class ConfigurationManager;
class ScheduleManager;

// The week editor's state and its edits, with no widget: the selection, the
// hover, the drag, the entry marks of freshly changed blocks, the undo of the
// last deletion and the saved mark. Every change of the week goes through
// ConfigurationManager::setWeek and comes back through its signal.
class WeekEditorModel : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds savedMarkDuration { 2400 };
    static constexpr std::chrono::milliseconds entryDuration { 1000 };
    static constexpr std::chrono::milliseconds undoDuration { 5000 };

    // The account's side of the status line. Until an account is linked the
    // editor shows its own "Salvo".
    struct Account {
        bool onboarded = false;
        WeekEditorStatus::SaveState saveState = WeekEditorStatus::SaveState::idle;
        QString failure;
    };

    WeekEditorModel(ConfigurationManager& config, BlockingService& blocking, ScheduleManager* schedule,
        Scheduler& scheduler, QObject* parent = nullptr);

    // Called after every committed change (onboarding follows its wizard with it).
    std::function<void()> onEdit;
    // Told that a local edit happened, so the account can upload it.
    std::function<void()> onLocalEdit;

    WeekSchedule::Week week() const;
    bool enabled() const;
    void setEnabled(bool enabled);

    const std::optional<BlockRef>& selection() const { return m_selection; }
    void setSelection(std::optional<BlockRef> selection);
    // The selected block as it stands in the week, if it still does.
    std::optional<PlacedBlock> selectedBlock() const;
    const std::optional<PlacedBlock>& hover() const { return m_hover; }
    void setHover(std::optional<PlacedBlock> hover);
    const WeekDragController& drags() const { return m_drags; }
    const QHash<QString, BlockEntry>& entries() const { return m_entries; }
    // True while a block is selected or a press lasts.
    bool isActive() const { return m_selection.has_value() || m_drags.isDragging(); }

    void begin(QPointF location, const GridLayout& layout);
    void update(QPointF location, const GridLayout& layout);
    void finish();
    void cancelDrag();

    // The selected block moved by `minutes` within its day, or to the day
    // `days` away, kept inside the day and merged where it lands.
    bool moveSelection(int minutes, int days);
    // A new block on `day` (merged with a neighbour it touches), selected.
    void addBlock(int day, MinuteRange range);
    bool deleteSelection();
    // The last deleted block, while its undo is offered.
    const std::optional<PlacedBlock>& undoable() const { return m_undo; }
    void undoDelete();

    void commit(const WeekSchedule::Week& week, const QHash<QString, BlockEntry>& entries);
    void edited();
    void flashSaved();

    void setAccount(const Account& account);
    WeekEditorStatus status() const;
    QString statusText() const { return status().statusText(); }
    QString notice() const { return status().notice(); }
    bool savedVisible() const { return m_savedVisible; }

Q_SIGNALS:
    // The week, the selection, the hover, the drag or the entries changed.
    void changed();
    void statusChanged();
    void activeChanged(bool active);
    void undoChanged();

private:
    void apply(const WeekDragController::Outcome& outcome);
    void removeBlock(const PlacedBlock& block);
    void noteActive();

    ConfigurationManager& m_config;
    BlockingService& m_blocking;
    ScheduleManager* m_schedule;
    Scheduler& m_scheduler;

    WeekDragController m_drags;
    std::optional<BlockRef> m_selection;
    std::optional<PlacedBlock> m_hover;
    QHash<QString, BlockEntry> m_entries;
    std::optional<PlacedBlock> m_undo;
    int m_undoToken = 0;
    bool m_savedVisible = false;
    int m_savedToken = 0;
    bool m_deferredByFocus = false;
    bool m_wasActive = false;
    Account m_account;
};

} // namespace kestravin
