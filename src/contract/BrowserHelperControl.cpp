#include "BrowserHelperControl.h"

#include "ContractJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

using namespace Qt::StringLiterals;

namespace kestravin {

BrowserHelperControl::BrowserHelperControl(bool enabled_, qint64 generation_, std::optional<Instant> manualEndsAt_,
    std::optional<Instant> pausedUntil_, QStringList platforms_, Instant coverageUntil_)
    : enabled(enabled_),
      generation(generation_),
      manualEndsAt(manualEndsAt_),
      pausedUntil(pausedUntil_),
      platforms(std::move(platforms_)),
      coverageUntil(coverageUntil_)
{
}

bool BrowserHelperControl::isValid(Instant now) const
{
    if (generation < 0)
        return false;
    if (platforms.size() > maximumPlatforms)
        return false;
    if (QSet<QString>(platforms.cbegin(), platforms.cend()).size() != platforms.size())
        return false;
    for (const QString& platform : platforms) {
        if (platform != u"youtube" && platform != u"x")
            return false;
    }
    if (!coverageUntil.isFinite() || coverageUntil > now.addSeconds(maximumCoverageAhead))
        return false;
    if (manualEndsAt && (!manualEndsAt->isFinite() || *manualEndsAt > now.addSeconds(maximumManualAhead)))
        return false;
    if (pausedUntil && (!pausedUntil->isFinite() || *pausedUntil > now.addSeconds(maximumPauseAhead)))
        return false;
    return true;
}

bool BrowserHelperControl::shouldBlock(bool scheduled, Instant now) const
{
    if (!enabled)
        return scheduled;
    if (pausedUntil && *pausedUntil > now)
        return false;
    if (manualEndsAt && *manualEndsAt > now)
        return true;
    return scheduled;
}

QJsonObject BrowserHelperControl::toJson() const
{
    QJsonObject object {
        { u"enabled"_s, enabled },
        { u"generation"_s, generation },
        { u"platforms"_s, QJsonArray::fromStringList(platforms) },
        { u"coverageUntil"_s, coverageUntil.secondsSinceReference },
    };
    if (manualEndsAt)
        object.insert(u"manualEndsAt"_s, manualEndsAt->secondsSinceReference);
    if (pausedUntil)
        object.insert(u"pausedUntil"_s, pausedUntil->secondsSinceReference);
    return object;
}

QByteArray BrowserHelperControl::toJsonBytes() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<BrowserHelperControl> BrowserHelperControl::fromJson(const QJsonValue& value, QString* error)
{
    using namespace ContractJson;
    QJsonObject object;
    BrowserHelperControl control;
    if (!requireObject(value, u"BrowserHelperControl"_s, object, error)
        || !readBool(object, u"enabled"_s, control.enabled, error)
        || !readInteger(object, u"generation"_s, control.generation, error)
        || !readOptionalInstant(object, u"manualEndsAt"_s, control.manualEndsAt, error)
        || !readOptionalInstant(object, u"pausedUntil"_s, control.pausedUntil, error)
        || !readStringList(object, u"platforms"_s, control.platforms, error)
        || !readInstant(object, u"coverageUntil"_s, control.coverageUntil, error))
        return std::nullopt;
    return control;
}

std::optional<BrowserHelperControl> BrowserHelperControl::fromJsonBytes(const QByteArray& bytes, QString* error)
{
    QJsonValue value;
    if (!ContractJson::parseDocument(bytes, value, error))
        return std::nullopt;
    return fromJson(value, error);
}

} // namespace kestravin
