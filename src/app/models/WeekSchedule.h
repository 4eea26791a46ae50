#pragma once

#include "BrowserScheduleSlot.h"
#include "MinuteRange.h"
#include "Schedule.h"

#include <QStringList>

#include <array>

namespace kestravin {

// The week as the editor, the first-run wizard and the account mapping see
// it: seven lists of minute ranges, index 0 = Sunday. Functions that read a
// week accept fewer lists and treat a missing day as empty.
namespace WeekSchedule {

using Week = QList<QList<MinuteRange>>;

// Monday first, Sunday last, as the interface lists days.
inline constexpr std::array<int, 7> displayOrder = { 1, 2, 3, 4, 5, 6, 0 };
inline constexpr std::array<int, 7> gridOrder = { 0, 1, 2, 3, 4, 5, 6 };
// Indexed by day, Sunday first.
const QStringList& dayShort();
const QStringList& dayLong();

// Clamped to 0..1440, empty ranges dropped, sorted, and overlapping or
// touching ranges joined.
QList<MinuteRange> merge(const QList<MinuteRange>& ranges);

// All seven days. A range reaching midnight is stored as ending at 23:59; a
// day left with no range becomes DaySchedule::disabled().
Schedule schedule(const Week& week);
// Seven merged lists; a disabled or missing day is empty, and an end of 23:59
// or 24:00 reads as 1440.
Week days(const Schedule& schedule);

// Equal ranges on several days become one slot, ordered by start, then end;
// an end at midnight is written "23:59".
QList<BrowserScheduleSlot> slots(const Week& week);

// The ranges without the span `cut`, in their order and unmerged.
QList<MinuteRange> subtract(const QList<MinuteRange>& ranges, MinuteRange cut);

// 540 -> "9h", 570 -> "9h30", 1440 -> "24h".
QString timeLabel(int minute);
// "9h–12h, 13h–18h".
QString rangesLabel(const QList<MinuteRange>& ranges);
// "Seg a Sex", "Sáb e Dom", "Seg, Ter e Qui", "Nenhum dia"... Indexes outside
// 0..6 are ignored.
QString daysLabel(const QList<int>& days);
// "Seg a Sex 9h–18h · Sáb 10h–14h", or "Nenhum horário de foco ainda".
QString summary(const Week& week);

} // namespace WeekSchedule

} // namespace kestravin
