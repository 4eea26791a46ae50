#pragma once

#include "Instant.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestravin {

// The browser extension's focus state as the application hands it to the
// daemon.
struct BrowserHelperControl {
    // How far ahead the covered period, a manual session and a pause may reach.
    static constexpr double maximumCoverageAhead = 15.0;
    static constexpr double maximumManualAhead = 14400.0;
    static constexpr double maximumPauseAhead = 86400.0;
    static constexpr qsizetype maximumPlatforms = 2;

    bool enabled = false;
    qint64 generation = 0;
    std::optional<Instant> manualEndsAt;
    std::optional<Instant> pausedUntil;
    QStringList platforms;
    Instant coverageUntil;

    BrowserHelperControl() = default;
    BrowserHelperControl(bool enabled, qint64 generation, std::optional<Instant> manualEndsAt,
        std::optional<Instant> pausedUntil, QStringList platforms, Instant coverageUntil);

    // Whether the daemon may accept this state at `now`.
    bool isValid(Instant now) const;
    // Whether to block now, given whether the weekly hours are in force.
    bool shouldBlock(bool scheduled, Instant now) const;

    QJsonObject toJson() const;
    QByteArray toJsonBytes() const;
    static std::optional<BrowserHelperControl> fromJson(const QJsonValue& value, QString* error = nullptr);
    static std::optional<BrowserHelperControl> fromJsonBytes(const QByteArray& bytes, QString* error = nullptr);
};

} // namespace kestravin
