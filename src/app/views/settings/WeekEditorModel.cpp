#include "WeekEditorModel.h"

#include "app/services/core/BlockingService.h"
#include "app/services/core/ConfigurationManager.h"
#include "app/services/core/ScheduleManager.h"

#include <QPointer>

#include <algorithm>
#include <limits>

namespace kestravin {

WeekEditorModel::WeekEditorModel(ConfigurationManager& config, BlockingService& blocking, ScheduleManager* schedule,
    Scheduler& scheduler, QObject* parent)
    : QObject(parent), m_config(config), m_blocking(blocking), m_schedule(schedule), m_scheduler(scheduler)
{
    connect(&m_config, &ConfigurationManager::configurationChanged, this, [this] {
        Q_EMIT changed();
        Q_EMIT statusChanged();
    });
    connect(&m_blocking, &BlockingService::isBlockingChanged, this, &WeekEditorModel::statusChanged);
}

WeekSchedule::Week WeekEditorModel::week() const
{
    return WeekSchedule::days(m_config.configuration().schedule);
}

bool WeekEditorModel::enabled() const
{
    return m_config.configuration().enabled;
}

void WeekEditorModel::setEnabled(bool enabled)
{
    if (this->enabled() == enabled) {
        return;
    }
    Configuration configuration = m_config.configuration();
    configuration.enabled = enabled;
    m_config.setConfiguration(configuration);
    m_config.saveConfiguration();
    edited();
}

void WeekEditorModel::setSelection(std::optional<BlockRef> selection)
{
    if (m_selection == selection) {
        return;
    }
    m_selection = selection;
    Q_EMIT changed();
    noteActive();
}

void WeekEditorModel::setHover(std::optional<PlacedBlock> hover)
{
    if (m_hover == hover) {
        return;
    }
    m_hover = hover;
    Q_EMIT changed();
}

void WeekEditorModel::noteActive()
{
    const bool active = isActive();
    if (active != m_wasActive) {
        m_wasActive = active;
        Q_EMIT activeChanged(active);
    }
}

void WeekEditorModel::begin(QPointF location, const GridLayout& layout)
{
    m_hover.reset();
    m_drags.begin(location, week(), layout);
    Q_EMIT changed();
    noteActive();
}

void WeekEditorModel::update(QPointF location, const GridLayout& layout)
{
    if (m_drags.update(location, week(), layout)) {
        Q_EMIT changed();
    }
}

void WeekEditorModel::cancelDrag()
{
    if (m_drags.isDragging()) {
        m_drags.cancel();
        Q_EMIT changed();
    }
}

void WeekEditorModel::finish()
{
    if (!m_drags.isDragging()) {
        return;
    }
    const WeekDragController::Outcome outcome = m_drags.finish(week());
    if (outcome.removed) {
        removeBlock(*outcome.removed);
    } else {
        apply(outcome);
    }
    Q_EMIT changed();
    noteActive();
}

void WeekEditorModel::apply(const WeekDragController::Outcome& outcome)
{
    using Selection = WeekDragController::Outcome::Selection;
    if (outcome.week) {
        commit(*outcome.week, outcome.entries);
    }
    if (outcome.selection == Selection::select) {
        setSelection(outcome.selected);
    } else if (outcome.selection == Selection::clear) {
        setSelection(std::nullopt);
    }
}

void WeekEditorModel::removeBlock(const PlacedBlock& block)
{
    WeekSchedule::Week changedWeek = week();
    if (block.day >= changedWeek.size() || !changedWeek[block.day].contains(block.range)) {
        return;
    }
    changedWeek[block.day] = WeekSchedule::subtract(changedWeek[block.day], block.range);
    if (m_selection == BlockRef { block.day, block.range.start }) {
        m_selection.reset();
    }
    commit(changedWeek, {});
    m_undo = block;
    const int token = ++m_undoToken;
    m_scheduler.runLater(undoDuration, this, [this, token] {
        if (m_undoToken == token && m_undo) {
            m_undo.reset();
            Q_EMIT undoChanged();
        }
    });
    Q_EMIT undoChanged();
}

std::optional<PlacedBlock> WeekEditorModel::selectedBlock() const
{
    if (!m_selection) {
        return std::nullopt;
    }
    const WeekSchedule::Week current = week();
    const BlockRef ref = *m_selection;
    for (const MinuteRange& range : ref.day < current.size() ? current[ref.day] : QList<MinuteRange> {}) {
        if (range.start == ref.start) {
            return PlacedBlock { ref.day, range };
        }
    }
    return std::nullopt;
}

bool WeekEditorModel::deleteSelection()
{
    const std::optional<PlacedBlock> selected = selectedBlock();
    if (!selected) {
        return false;
    }
    removeBlock(*selected);
    Q_EMIT changed();
    noteActive();
    return true;
}

void WeekEditorModel::undoDelete()
{
    if (!m_undo) {
        return;
    }
    const PlacedBlock block = *m_undo;
    m_undo.reset();
    ++m_undoToken;
    const auto [restored, result] = WeekDragController::adding(block.range, block.day, week());
    commit(restored, { { PlacedBlock { block.day, result }.id(), BlockEntry::fresh() } });
    setSelection(BlockRef { block.day, result.start });
    Q_EMIT undoChanged();
}

bool WeekEditorModel::moveSelection(int minutes, int days)
{
    const std::optional<PlacedBlock> selected = selectedBlock();
    if (!selected || m_drags.isDragging()) {
        return false;
    }
    const WeekSchedule::Week current = week();
    const BlockRef ref = *m_selection;
    const MinuteRange source = selected->range;
    const int length = source.end - source.start;
    const int start = std::clamp(source.start + minutes, 0, std::max(0, 1440 - length));
    const int targetDay = (ref.day + days + 7) % 7;
    const MinuteRange next { start, start + length };
    if (targetDay == ref.day && next == source) {
        return false;
    }
    WeekSchedule::Week changedWeek = current;
    changedWeek[ref.day] = WeekSchedule::subtract(changedWeek[ref.day], source);
    const auto [merged, result] = WeekDragController::adding(next, targetDay, changedWeek);
    commit(merged,
        { { PlacedBlock { targetDay, result }.id(),
            BlockEntry::dropped(WeekDragController::moveLift, result != next) } });
    setSelection(BlockRef { targetDay, result.start });
    return true;
}

void WeekEditorModel::addBlock(int day, MinuteRange range)
{
    if (day < 0 || day >= 7 || m_drags.isDragging()) {
        return;
    }
    const auto [merged, result] = WeekDragController::adding(range, day, week());
    commit(merged, { { PlacedBlock { day, result }.id(), BlockEntry::fresh() } });
    setSelection(BlockRef { day, result.start });
}

void WeekEditorModel::commit(const WeekSchedule::Week& week, const QHash<QString, BlockEntry>& entries)
{
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        m_entries.insert(it.key(), it.value());
    }
    m_config.setWeek(week);
    edited();
    if (!entries.isEmpty()) {
        const QStringList ids = entries.keys();
        m_scheduler.runLater(entryDuration, this, [this, ids] {
            for (const QString& id : ids) {
                m_entries.remove(id);
            }
            Q_EMIT changed();
        });
    }
    Q_EMIT changed();
}

void WeekEditorModel::edited()
{
    if (m_blocking.isBlocking()) {
        if (m_schedule) {
            m_schedule->setHasPendingScheduleChanges(true);
        }
        m_deferredByFocus = true;
    }
    if (onLocalEdit) {
        onLocalEdit();
    }
    if (!m_account.onboarded) {
        flashSaved();
    }
    if (onEdit) {
        onEdit();
    }
    Q_EMIT statusChanged();
}

void WeekEditorModel::flashSaved()
{
    if (m_savedToken == std::numeric_limits<int>::max()) {
        m_savedToken = 0;
    }
    const int token = ++m_savedToken;
    m_savedVisible = true;
    m_scheduler.runLater(savedMarkDuration, this, [this, token] {
        if (m_savedToken == token) {
            m_savedVisible = false;
            Q_EMIT statusChanged();
        }
    });
    Q_EMIT statusChanged();
}

void WeekEditorModel::setAccount(const Account& account)
{
    const bool nowSaved = account.saveState == WeekEditorStatus::SaveState::saved
        && m_account.saveState != WeekEditorStatus::SaveState::saved;
    m_account = account;
    if (nowSaved) {
        flashSaved();
    }
    Q_EMIT statusChanged();
}

WeekEditorStatus WeekEditorModel::status() const
{
    WeekEditorStatus status;
    status.accountOnboarded = m_account.onboarded;
    status.saveState = m_account.saveState;
    status.failure = m_account.failure;
    status.savedVisible = m_savedVisible;
    status.deferredByFocus = m_deferredByFocus;
    status.isBlocking = m_blocking.isBlocking();
    status.enabled = enabled();
    return status;
}

} // namespace kestravin
