#include "WeekSchedule.h"

#include <algorithm>
#include <set>

using namespace Qt::StringLiterals;

namespace kestravin::WeekSchedule {

namespace {

constexpr int dayEnd = 1440;
// What the stored form writes for a range that reaches midnight.
constexpr int cappedEnd = 1439;

QList<MinuteRange> dayOf(const Week& week, int index)
{
    return index < week.size() ? week.at(index) : QList<MinuteRange> {};
}

QString clock(int minute)
{
    return QString::asprintf("%02d:%02d", minute / 60, minute % 60);
}

int clampedMinute(qint64 minute)
{
    return static_cast<int>(std::clamp<qint64>(minute, 0, dayEnd));
}

} // namespace

const QStringList& dayShort()
{
    static const QStringList names { u"Dom"_s, u"Seg"_s, u"Ter"_s, u"Qua"_s, u"Qui"_s, u"Sex"_s, u"Sáb"_s };
    return names;
}

const QStringList& dayLong()
{
    static const QStringList names { u"domingo"_s, u"segunda"_s, u"terça"_s, u"quarta"_s, u"quinta"_s, u"sexta"_s,
        u"sábado"_s };
    return names;
}

QList<MinuteRange> merge(const QList<MinuteRange>& ranges)
{
    QList<MinuteRange> clamped;
    for (const MinuteRange& range : ranges) {
        const MinuteRange c { std::max(range.start, 0), std::min(range.end, dayEnd) };
        if (c.start < c.end)
            clamped.append(c);
    }
    std::stable_sort(clamped.begin(), clamped.end(), [](const MinuteRange& a, const MinuteRange& b) {
        return a.start != b.start ? a.start < b.start : a.end < b.end;
    });
    QList<MinuteRange> merged;
    for (const MinuteRange& range : clamped) {
        if (!merged.isEmpty() && merged.last().end >= range.start)
            merged.last().end = std::max(merged.last().end, range.end);
        else
            merged.append(range);
    }
    return merged;
}

Schedule schedule(const Week& week)
{
    QMap<DayOfWeek, DaySchedule> days;
    for (const DayOfWeek day : DayOfWeek::allCases) {
        QList<TimeRange> ranges;
        for (const MinuteRange& range : merge(dayOf(week, day.index()))) {
            const int end = std::min(range.end, cappedEnd);
            if (range.start < end)
                ranges.append(TimeRange(range.start / 60, range.start % 60, end / 60, end % 60));
        }
        days.insert(day, ranges.isEmpty() ? DaySchedule::disabled() : DaySchedule(true, ranges));
    }
    return Schedule(days);
}

Week days(const Schedule& schedule)
{
    Week week;
    for (const DayOfWeek day : DayOfWeek::allCases) {
        const DaySchedule& daySchedule = schedule.daySchedule(day);
        QList<MinuteRange> ranges;
        if (daySchedule.enabled) {
            for (const TimeRange& range : daySchedule.timeRanges) {
                const qint64 start = range.startMinutes();
                qint64 end = range.endMinutes();
                if (start >= end)
                    continue;
                if (end == cappedEnd)
                    end = dayEnd;
                ranges.append(MinuteRange { clampedMinute(start), clampedMinute(end) });
            }
        }
        week.append(merge(ranges));
    }
    return week;
}

QList<BrowserScheduleSlot> slots(const Week& week)
{
    struct Group {
        MinuteRange range;
        QList<int> days;
    };
    QList<Group> groups;
    for (int day = 0; day < 7; ++day) {
        for (const MinuteRange& range : merge(dayOf(week, day))) {
            const auto it = std::find_if(
                groups.begin(), groups.end(), [&range](const Group& group) { return group.range == range; });
            if (it != groups.end())
                it->days.append(day);
            else
                groups.append(Group { range, { day } });
        }
    }
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        return a.range.start != b.range.start ? a.range.start < b.range.start : a.range.end < b.range.end;
    });
    QList<BrowserScheduleSlot> result;
    for (const Group& group : groups) {
        result.append(BrowserScheduleSlot {
            group.days,
            group.range.start >= dayEnd ? u"23:59"_s : clock(group.range.start),
            group.range.end >= dayEnd ? u"23:59"_s : clock(group.range.end),
        });
    }
    return result;
}

QList<MinuteRange> subtract(const QList<MinuteRange>& ranges, MinuteRange cut)
{
    QList<MinuteRange> result;
    for (const MinuteRange& range : ranges) {
        if (range.start >= cut.end || range.end <= cut.start) {
            result.append(range);
            continue;
        }
        if (range.start < cut.start)
            result.append(MinuteRange { range.start, cut.start });
        if (cut.end < range.end)
            result.append(MinuteRange { cut.end, range.end });
    }
    return result;
}

QString timeLabel(int minute)
{
    QString label = QString::number(minute / 60) + u'h';
    if (minute % 60 != 0)
        label += QString::asprintf("%02d", minute % 60);
    return label;
}

QString rangesLabel(const QList<MinuteRange>& ranges)
{
    QStringList parts;
    for (const MinuteRange& range : ranges)
        parts.append(timeLabel(range.start) + u'\u2013' + timeLabel(range.end));
    return parts.join(u", "_s);
}

QString daysLabel(const QList<int>& days)
{
    std::set<int> chosen;
    for (const int day : days) {
        if (day >= 0 && day <= 6)
            chosen.insert(day);
    }
    if (chosen.size() == 7)
        return u"Todos os dias"_s;
    if (chosen == std::set<int> { 1, 2, 3, 4, 5 })
        return u"Seg a Sex"_s;
    if (chosen == std::set<int> { 0, 6 })
        return u"Sáb e Dom"_s;
    if (chosen.empty())
        return u"Nenhum dia"_s;

    // Runs of neighbours in display order: Sunday follows Saturday but never
    // precedes Monday.
    QList<QList<int>> runs;
    bool previousChosen = false;
    for (const int day : displayOrder) {
        const bool isChosen = chosen.count(day) != 0;
        if (isChosen) {
            if (previousChosen)
                runs.last().append(day);
            else
                runs.append(QList<int> { day });
        }
        previousChosen = isChosen;
    }
    QStringList items;
    for (const QList<int>& run : runs) {
        if (run.size() >= 3) {
            items.append(dayShort().at(run.first()) + u" a "_s + dayShort().at(run.last()));
        } else {
            for (const int day : run)
                items.append(dayShort().at(day));
        }
    }
    if (items.size() == 1)
        return items.first();
    const QString last = items.takeLast();
    return items.join(u", "_s) + u" e "_s + last;
}

QString summary(const Week& week)
{
    struct Group {
        QList<MinuteRange> ranges;
        QList<int> days;
    };
    QList<Group> groups;
    for (const int day : displayOrder) {
        const QList<MinuteRange> ranges = dayOf(week, day);
        if (ranges.isEmpty())
            continue;
        const auto it = std::find_if(
            groups.begin(), groups.end(), [&ranges](const Group& group) { return group.ranges == ranges; });
        if (it != groups.end())
            it->days.append(day);
        else
            groups.append(Group { ranges, { day } });
    }
    if (groups.isEmpty())
        return u"Nenhum horário de foco ainda"_s;
    QStringList parts;
    for (const Group& group : groups)
        parts.append(daysLabel(group.days) + u' ' + rangesLabel(group.ranges));
    return parts.join(u" \u00b7 "_s);
}

} // namespace kestravin::WeekSchedule
