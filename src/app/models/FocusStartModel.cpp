#include "FocusStartModel.h"

#include "FocusDuration.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestravin {

std::optional<int> FocusStartModel::minutesUntilNext(
    const Configuration& configuration, const QDateTime& now, const QTimeZone& timeZone)
{
    if (!configuration.enabled) {
        return std::nullopt;
    }
    const auto next = configuration.schedule.nextActivation(now, timeZone);
    if (!next) {
        return std::nullopt;
    }
    const qint64 minutes = now.msecsTo(*next) / 1000 / 60;
    if (minutes < 1) {
        return std::nullopt;
    }
    return static_cast<int>(std::min<qint64>(minutes, std::numeric_limits<int>::max()));
}

QList<int> FocusStartModel::durationOptions() const
{
    const int limit = minutesUntilNextSchedule && *minutesUntilNextSchedule <= maximumMinutes - 1
        ? *minutesUntilNextSchedule
        : maximumMinutes;
    QList<int> options;
    for (const int preset : presets) {
        if (preset <= limit) {
            options << preset;
        }
    }
    return options;
}

int FocusStartModel::cap() const
{
    return minutesUntilNextSchedule ? std::min(maximumMinutes, *minutesUntilNextSchedule) : maximumMinutes;
}

int FocusStartModel::presetMinutes() const
{
    const QList<int> options = durationOptions();
    if (options.contains(selectedMinutes)) {
        return selectedMinutes;
    }
    return options.isEmpty() ? selectedMinutes : options.last();
}

int FocusStartModel::chosenMinutes() const
{
    return showingCustomDuration ? std::min(customMinutes, cap()) : presetMinutes();
}

int FocusStartModel::durationChoice() const
{
    return showingCustomDuration ? customChoice : presetMinutes();
}

void FocusStartModel::chooseDuration(int value)
{
    const int chosen = chosenMinutes();
    stepDirection = value == customChoice || chosen < value ? 1.0 : -1.0;
    if (value != customChoice) {
        selectedMinutes = value;
    } else {
        customMinutes = std::min(std::max(chosen, minimumCustomMinutes), cap());
    }
    showingCustomDuration = value == customChoice;
}

void FocusStartModel::stepBack()
{
    stepDirection = -1.0;
    showingCustomDuration = false;
}

void FocusStartModel::stepMinus()
{
    stepDirection = -1.0;
    customMinutes = std::max(minimumCustomMinutes, customMinutes - step);
}

void FocusStartModel::stepPlus()
{
    stepDirection = 1.0;
    customMinutes = std::min(customMinutes + step, cap());
}

void FocusStartModel::startTyping()
{
    minutesText = durationLabel(chosenMinutes());
    typingMinutes = true;
}

void FocusStartModel::commitMinutes()
{
    if (!typingMinutes) {
        return;
    }
    if (const auto parsed = FocusDuration::parse(minutesText)) {
        const int value = static_cast<int>(std::min<qint64>(std::max<qint64>(*parsed, minimumCustomMinutes), cap()));
        stepDirection = value < customMinutes ? -1.0 : 1.0;
        customMinutes = value;
    }
    typingMinutes = false;
}

int FocusStartModel::minutesToStart()
{
    commitMinutes();
    return chosenMinutes();
}

std::optional<QString> FocusStartModel::hintText() const
{
    if (!minutesUntilNextSchedule || *minutesUntilNextSchedule > maximumMinutes) {
        return std::nullopt;
    }
    return u"Até "_s + durationLabel(*minutesUntilNextSchedule) + u", antes do próximo horário."_s;
}

FocusRoute FocusStartModel::route(bool hasAccountSession, bool browserSyncEnabled)
{
    if (hasAccountSession) {
        return FocusRoute::account;
    }
    return browserSyncEnabled ? FocusRoute::browser : FocusRoute::scheduleManager;
}

QString FocusStartModel::durationLabel(int minutes)
{
    if (minutes > -60 && minutes < 60) {
        return QString::number(minutes) + u" min"_s;
    }
    const int hours = minutes / 60;
    const int rest = minutes % 60;
    QString text = QString::number(hours) + u"h"_s;
    if (rest != 0) {
        text += QString::asprintf("%02d", rest);
    }
    return text;
}

} // namespace kestravin
