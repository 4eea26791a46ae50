#pragma once

#include "AccountFolga.h"
#include "Configuration.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <optional>

namespace kestravin {

// What the popover's header says about the blocker right now, computed from
// the services' published values at one instant. Pure: "now", the time zone
// and every input are given.
class MenuBarModel {
public:
    struct Inputs {
        bool isBlocking = false;
        bool browserSyncEnabled = false;
        bool browserFocusEnabled = false;
        // Unix milliseconds; 0 = no end.
        double browserFocusEndsAt = 0.0;
        // The manual session's end; none while no session is set.
        std::optional<QDateTime> sessionEndTime;
        QString remainingTime;
        Configuration configuration;
        bool helperInstalled = false;
        bool helperInstalling = false;
        // The account snapshot's parts; `hasAccountSnapshot` false = no snapshot.
        bool hasAccountSnapshot = false;
        bool accountFocusEnabled = false;
        std::optional<double> accountFocusEndsAt;
        std::optional<AccountFolga> folga;
    };

    enum class StatusTone { accent, starting, free, freeWithoutDaemon };
    enum class MainLine { focusCountdown, folgaCountdown, subtext };

    // A folga counts as in use this long after its end.
    static constexpr int folgaGraceSeconds = 20;
    // The focus only "comes back" when it runs on this long after the folga.
    static constexpr int resumeMarginSeconds = 30;

    MenuBarModel(Inputs inputs, QDateTime now, QTimeZone timeZone);

    const Inputs& inputs() const { return m_inputs; }
    bool isActive() const;
    std::optional<QDateTime> folgaUntil() const;
    std::optional<QDateTime> focusEnd() const;
    bool focusResumes(const QDateTime& folgaEnd) const;

    QString statusText() const;
    StatusTone statusTone() const;
    QString statusSubtext() const;
    QString blockedSummary() const;
    MainLine mainLine() const;

    // The two live countdowns at `at` (each tick passes its own instant).
    static QString focusCountdownText(const QDateTime& end, const QDateTime& at);
    QString focusCountdownDetail(const QDateTime& end) const;
    static QString folgaCountdownText(const QDateTime& end, const QDateTime& at);
    QString folgaCountdownDetail(const QDateTime& end) const;

    // "09:05" on the wall clock of `timeZone`.
    static QString timeText(const QDateTime& instant, const QTimeZone& timeZone);
    // "seg. · 09:00": Portuguese abbreviated weekday whatever the system locale.
    static QString dayTimeText(const QDateTime& instant, const QTimeZone& timeZone);

    static const QString nothingChosenText;

private:
    Inputs m_inputs;
    QDateTime m_now;
    QTimeZone m_timeZone;
};

} // namespace kestravin
