#include "app/models/AccountRecords.h"

#include "app/models/AccountJson.h"

#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace Json = ContractJson;

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A required absolute address.
bool readUrl(const QJsonObject& object, const QString& key, QUrl& out, QString* error)
{
    QString text;
    if (!Json::readString(object, key, text, error))
        return false;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        Json::setError(error, u"key \"%1\" is not an absolute address"_s.arg(key));
        return false;
    }
    out = url;
    return true;
}

void insertOptional(QJsonObject& object, const QString& key, const std::optional<QString>& value)
{
    if (value)
        object.insert(key, *value);
}

void insertOptional(QJsonObject& object, const QString& key, const std::optional<double>& value)
{
    if (value)
        object.insert(key, *value);
}

} // namespace

QJsonObject AccountFocus::toJson() const
{
    QJsonObject object { { u"enabled"_s, enabled } };
    insertOptional(object, u"id"_s, id);
    insertOptional(object, u"endsAt"_s, endsAt);
    insertOptional(object, u"source"_s, source);
    return object;
}

std::optional<AccountFocus> AccountFocus::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    AccountFocus focus;
    if (!Json::requireObject(value, u"AccountFocus"_s, object, error)
        || !Json::readBool(object, u"enabled"_s, focus.enabled, error)
        || !AccountJson::readOptionalString(object, u"id"_s, focus.id, error)
        || !AccountJson::readOptionalNumber(object, u"endsAt"_s, focus.endsAt, error)
        || !AccountJson::readOptionalString(object, u"source"_s, focus.source, error))
        return std::nullopt;
    return focus;
}

QJsonObject DesktopAccountSession::toJson() const
{
    return { { u"accessToken"_s, accessToken }, { u"refreshToken"_s, refreshToken }, { u"expiresAt"_s, expiresAt } };
}

QByteArray DesktopAccountSession::toJsonBytes() const
{
    return compact(toJson());
}

std::optional<DesktopAccountSession> DesktopAccountSession::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    DesktopAccountSession session;
    if (!Json::requireObject(value, u"DesktopAccountSession"_s, object, error)
        || !Json::readString(object, u"accessToken"_s, session.accessToken, error)
        || !Json::readString(object, u"refreshToken"_s, session.refreshToken, error)
        || !AccountJson::readNumber(object, u"expiresAt"_s, session.expiresAt, error))
        return std::nullopt;
    return session;
}

QJsonObject DesktopAccountSnapshot::User::toJson() const
{
    QJsonObject object { { u"id"_s, id }, { u"email"_s, email } };
    insertOptional(object, u"name"_s, name);
    if (image)
        object.insert(u"image"_s, image->toString());
    return object;
}

std::optional<DesktopAccountSnapshot::User> DesktopAccountSnapshot::User::fromJson(
    const QJsonValue& value, QString* error)
{
    QJsonObject object;
    User user;
    std::optional<QString> image;
    if (!Json::requireObject(value, u"User"_s, object, error) || !Json::readString(object, u"id"_s, user.id, error)
        || !Json::readString(object, u"email"_s, user.email, error)
        || !AccountJson::readOptionalString(object, u"name"_s, user.name, error)
        || !AccountJson::readOptionalString(object, u"image"_s, image, error))
        return std::nullopt;
    if (image) {
        const QUrl url(*image, QUrl::StrictMode);
        const QString scheme = url.scheme();
        if (url.isValid() && !url.host().isEmpty() && (scheme == u"https"_s || scheme == u"http"_s))
            user.image = url;
    }
    return user;
}

QJsonObject DesktopAccountSnapshot::toJson() const
{
    QJsonObject object {
        { u"user"_s, user.toJson() },
        { u"settings"_s, settings.toJson() },
        { u"revision"_s, revision },
        { u"focus"_s, focus.toJson() },
        { u"pausedUntil"_s, pausedUntil },
    };
    if (folga)
        object.insert(u"folga"_s, folga->toJson());
    if (missions)
        object.insert(u"missions"_s, AccountJson::toArray(*missions));
    if (grants)
        object.insert(u"grants"_s, AccountJson::toArray(*grants));
    return object;
}

std::optional<DesktopAccountSnapshot> DesktopAccountSnapshot::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    DesktopAccountSnapshot snapshot;
    if (!Json::requireObject(value, u"DesktopAccountSnapshot"_s, object, error)
        || !AccountJson::readRecord(object, u"user"_s, snapshot.user, error)
        || !AccountJson::readRecord(object, u"settings"_s, snapshot.settings, error)
        || !Json::readInteger(object, u"revision"_s, snapshot.revision, error)
        || !AccountJson::readRecord(object, u"focus"_s, snapshot.focus, error)
        || !AccountJson::readNumber(object, u"pausedUntil"_s, snapshot.pausedUntil, error)
        || !AccountJson::readOptionalRecord(object, u"folga"_s, snapshot.folga, error)
        || !AccountJson::readOptionalRecordList(object, u"missions"_s, snapshot.missions, error)
        || !AccountJson::readOptionalRecordList(object, u"grants"_s, snapshot.grants, error))
        return std::nullopt;
    return snapshot;
}

QJsonObject DeviceConnection::toJson() const
{
    return { { u"code"_s, code }, { u"secret"_s, secret }, { u"expiresAt"_s, expiresAt },
        { u"webURL"_s, webURL.toString(QUrl::FullyEncoded) } };
}

std::optional<DeviceConnection> DeviceConnection::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    DeviceConnection connection;
    if (!Json::requireObject(value, u"DeviceConnection"_s, object, error)
        || !Json::readString(object, u"code"_s, connection.code, error)
        || !Json::readString(object, u"secret"_s, connection.secret, error)
        || !AccountJson::readNumber(object, u"expiresAt"_s, connection.expiresAt, error)
        || !readUrl(object, u"webURL"_s, connection.webURL, error))
        return std::nullopt;
    return connection;
}

QJsonObject DevicePoll::toJson() const
{
    QJsonObject object { { u"status"_s, status } };
    if (session)
        object.insert(u"session"_s, session->toJson());
    return object;
}

std::optional<DevicePoll> DevicePoll::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    DevicePoll poll;
    if (!Json::requireObject(value, u"DevicePoll"_s, object, error)
        || !Json::readString(object, u"status"_s, poll.status, error)
        || !AccountJson::readOptionalRecord(object, u"session"_s, poll.session, error))
        return std::nullopt;
    return poll;
}

QJsonObject AccountErrorReply::toJson() const
{
    QJsonObject object { { u"error"_s, error } };
    insertOptional(object, u"code"_s, code);
    return object;
}

std::optional<AccountErrorReply> AccountErrorReply::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    AccountErrorReply reply;
    if (!Json::requireObject(value, u"AccountErrorReply"_s, object, error)
        || !Json::readString(object, u"error"_s, reply.error, error)
        || !AccountJson::readOptionalString(object, u"code"_s, reply.code, error))
        return std::nullopt;
    return reply;
}

QJsonObject SettingsUpdate::toJson() const
{
    return { { u"settings"_s, settings.toJson() }, { u"revision"_s, revision } };
}

QJsonObject SavedSettings::toJson() const
{
    return { { u"revision"_s, revision } };
}

std::optional<SavedSettings> SavedSettings::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    SavedSettings saved;
    if (!Json::requireObject(value, u"SavedSettings"_s, object, error)
        || !Json::readInteger(object, u"revision"_s, saved.revision, error))
        return std::nullopt;
    return saved;
}

QJsonObject FolgaUseReply::toJson() const
{
    return { { u"folga"_s, folga.toJson() }, { u"focus"_s, focus.toJson() } };
}

std::optional<FolgaUseReply> FolgaUseReply::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    FolgaUseReply reply;
    if (!Json::requireObject(value, u"FolgaUseReply"_s, object, error)
        || !AccountJson::readRecord(object, u"folga"_s, reply.folga, error)
        || !AccountJson::readRecord(object, u"focus"_s, reply.focus, error))
        return std::nullopt;
    return reply;
}

QJsonObject FolgaEarnReply::toJson() const
{
    return { { u"folga"_s, folga.toJson() } };
}

std::optional<FolgaEarnReply> FolgaEarnReply::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    FolgaEarnReply reply;
    if (!Json::requireObject(value, u"FolgaEarnReply"_s, object, error)
        || !AccountJson::readRecord(object, u"folga"_s, reply.folga, error))
        return std::nullopt;
    return reply;
}

QJsonObject FolgaHistoryReply::toJson() const
{
    return { { u"entries"_s, AccountJson::toArray(entries) } };
}

std::optional<FolgaHistoryReply> FolgaHistoryReply::fromJson(const QJsonValue& value, QString* error)
{
    QJsonObject object;
    FolgaHistoryReply reply;
    if (!Json::requireObject(value, u"FolgaHistoryReply"_s, object, error)
        || !AccountJson::readRecordList(object, u"entries"_s, reply.entries, error))
        return std::nullopt;
    return reply;
}

namespace AccountBodies {

QByteArray empty()
{
    return "{}"_ba;
}

QByteArray focusStart(qint64 minutes)
{
    return compact({ { u"minutes"_s, minutes } });
}

QByteArray folgaEarn(const AccountMission& mission)
{
    return compact({ { u"mission"_s, mission.toJson() } });
}

QByteArray missions(const QList<AccountMission>& missions)
{
    return compact({ { u"missions"_s, AccountJson::toArray(missions) } });
}

QByteArray refresh(const QString& refreshToken)
{
    return compact({ { u"refreshToken"_s, refreshToken } });
}

QByteArray devicePoll(const QString& secret)
{
    return compact({ { u"secret"_s, secret } });
}

QByteArray settingsUpdate(const SettingsUpdate& update)
{
    return compact(update.toJson());
}

} // namespace AccountBodies

} // namespace kestravin
