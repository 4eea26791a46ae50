#pragma once

#include "Configuration.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace kestravin {

// Where a focus started from the popover goes.
enum class FocusRoute { account, browser, scheduleManager };

// The popover's focus start section without its widgets: the offered presets,
// the custom duration with its steps and typing, and the route of a start.
// The fields are the section's state; `minutesUntilNextSchedule` is set from
// the configuration and the clock before the section is drawn or acted on.
class FocusStartModel {
public:
    static constexpr int presets[] = { 25, 50, 90 };
    // The chip value that stands for "Outro".
    static constexpr int customChoice = 0;
    static constexpr int maximumMinutes = 240;
    static constexpr int minimumCustomMinutes = 5;
    static constexpr int step = 5;

    bool showingCustomDuration = false;
    int customMinutes = 45;
    int selectedMinutes = 50;
    // +1 rolls the duration texts up, −1 down.
    double stepDirection = 1.0;
    bool typingMinutes = false;
    QString minutesText;
    std::optional<int> minutesUntilNextSchedule;

    // Whole minutes until the next scheduled focus, none when the hours are
    // off, there is no next range or it is less than a minute away.
    static std::optional<int> minutesUntilNext(
        const Configuration& configuration, const QDateTime& now, const QTimeZone& timeZone);

    QList<int> durationOptions() const;
    int cap() const;
    int presetMinutes() const;
    int chosenMinutes() const;
    // The chips' selection: customChoice while the custom row shows.
    int durationChoice() const;
    void chooseDuration(int value);

    void stepBack();
    void stepMinus();
    void stepPlus();
    bool minusDisabled() const { return customMinutes < minimumCustomMinutes + 1; }
    bool plusDisabled() const { return customMinutes >= cap(); }

    void startTyping();
    // Takes the typed text when it is a duration (kept within 5 and the cap);
    // anything else is dropped. Either way typing ends.
    void commitMinutes();
    void cancelTyping() { typingMinutes = false; }
    // The start button: a typed duration not yet confirmed is the one started.
    int minutesToStart();

    // "Até 1h40, antes do próximo horário.", only while the next focus is at
    // most 240 minutes away.
    std::optional<QString> hintText() const;

    static FocusRoute route(bool hasAccountSession, bool browserSyncEnabled);
    // 25 → "25 min", 60 → "1h", 90 → "1h30", 125 → "2h05".
    static QString durationLabel(int minutes);
};

} // namespace kestravin
