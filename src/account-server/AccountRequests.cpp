#include "AccountRequests.h"

#include "app/models/AccountJson.h"
#include "app/models/BrowserBridgePolicy.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace kestravin::AccountRequests {

namespace Json = ContractJson;

namespace {

bool parseObject(const QByteArray& body, QJsonObject& out, QString* error)
{
    QJsonValue value;
    return Json::parseDocument(body, value, error) && Json::requireObject(value, u"body"_s, out, error);
}

bool readToken(const QJsonObject& object, const QString& key, QString& out, QString* error)
{
    if (!Json::readString(object, key, out, error))
        return false;
    if (out.isEmpty() || out.size() > identifierMaximum) {
        Json::setError(error, u"key \"%1\" has no usable value"_s.arg(key));
        return false;
    }
    return true;
}

bool readMinutes(const QJsonObject& object, qint64 maximum, qint64& out, QString* error)
{
    if (!Json::readInteger(object, u"minutes"_s, out, error))
        return false;
    if (out < 1 || out > maximum) {
        Json::setError(error, u"minutes must lie in 1...%1"_s.arg(maximum));
        return false;
    }
    return true;
}

bool hasControl(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

int characters(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool isSiteRoot(const QString& text)
{
    static const QRegularExpression pattern(u"^[a-z0-9-]+(\\.[a-z0-9-]+)+$"_s);
    return text.size() <= 253 && pattern.match(text).hasMatch();
}

std::optional<QString> personName(const QString& text)
{
    const QString name = text.trimmed();
    if (name.isEmpty() || characters(name) > 80 || hasControl(name))
        return std::nullopt;
    return name;
}

std::optional<Refresh> refresh(const QByteArray& body, QString* error)
{
    QJsonObject object;
    Refresh request;
    if (!parseObject(body, object, error) || !readToken(object, u"refreshToken"_s, request.refreshToken, error))
        return std::nullopt;
    return request;
}

std::optional<Poll> poll(const QByteArray& body, QString* error)
{
    QJsonObject object;
    Poll request;
    if (!parseObject(body, object, error) || !readToken(object, u"secret"_s, request.secret, error))
        return std::nullopt;
    return request;
}

std::optional<FocusStart> focusStart(const QByteArray& body, QString* error)
{
    QJsonObject object;
    FocusStart request;
    if (!parseObject(body, object, error) || !readMinutes(object, focusMinutesMaximum, request.minutes, error))
        return std::nullopt;
    return request;
}

std::optional<SettingsUpdate> settingsUpdate(const QByteArray& body, QString* error)
{
    QJsonObject object;
    SettingsUpdate request;
    if (!parseObject(body, object, error) || !AccountJson::readRecord(object, u"settings"_s, request.settings, error)
        || !Json::readInteger(object, u"revision"_s, request.revision, error))
        return std::nullopt;
    return request;
}

std::optional<Missions> missions(const QByteArray& body, QString* error)
{
    QJsonObject object;
    Missions request;
    if (!parseObject(body, object, error)
        || !AccountJson::readRecordList(object, u"missions"_s, request.missions, error))
        return std::nullopt;
    for (const AccountMission& mission : request.missions) {
        if (mission.kind.isEmpty() || mission.kind.size() > identifierMaximum || mission.target < 0) {
            Json::setError(error, u"a mission has no usable kind or target"_s);
            return std::nullopt;
        }
    }
    return request;
}

std::optional<FolgaEarn> folgaEarn(const QByteArray& body, QString* error)
{
    QJsonObject object;
    FolgaEarn request;
    if (!parseObject(body, object, error) || !AccountJson::readRecord(object, u"mission"_s, request.mission, error))
        return std::nullopt;
    return request;
}

std::optional<Decide> decide(const QByteArray& body, QString* error)
{
    QJsonObject object;
    if (!parseObject(body, object, error))
        return std::nullopt;
    Decide request;
    if (!Json::readString(object, u"reason"_s, request.reason, error)
        || !readMinutes(object, exceptionMinutesMaximum, request.minutes, error)
        || !readToken(object, u"focusId"_s, request.focusId, error))
        return std::nullopt;
    const int length = characters(request.reason.trimmed());
    if (length < reasonMinimum || length > reasonMaximum) {
        Json::setError(error, u"the reason must have 8 to 1500 characters"_s);
        return std::nullopt;
    }

    if (!AccountJson::isAbsent(object, u"url"_s)) {
        if (!AccountJson::isAbsent(object, u"mode"_s)) {
            Json::setError(error, u"a request names either a link or a mode"_s);
            return std::nullopt;
        }
        QString url;
        if (!Json::readString(object, u"url"_s, url, error))
            return std::nullopt;
        const auto target = BrowserBridgePolicy::target(url);
        if (!target) {
            Json::setError(error, u"the link is not a video or a post"_s);
            return std::nullopt;
        }
        request.mode = Decide::Mode::link;
        request.url = target->url;
        request.platform = target->platform;
        return request;
    }

    QString mode;
    double focusEnd = 0;
    if (!Json::readString(object, u"mode"_s, mode, error) || !readToken(object, u"appId"_s, request.appId, error)
        || !Json::readString(object, u"appName"_s, request.appName, error)
        || !readToken(object, u"requestId"_s, request.requestId, error)
        || !AccountJson::readNumber(object, u"focusEnd"_s, focusEnd, error))
        return std::nullopt;
    request.focusEnd = focusEnd;
    if (mode == u"app"_s) {
        request.mode = Decide::Mode::app;
        if (!AccountJson::isAbsent(object, u"site"_s)) {
            Json::setError(error, u"a platform request names no site"_s);
            return std::nullopt;
        }
        return request;
    }
    if (mode != u"site"_s) {
        Json::setError(error, u"mode must be \"app\" or \"site\""_s);
        return std::nullopt;
    }
    request.mode = Decide::Mode::site;
    if (!Json::readString(object, u"site"_s, request.site, error))
        return std::nullopt;
    if (!isSiteRoot(request.site)) {
        Json::setError(error, u"the site is not a root domain"_s);
        return std::nullopt;
    }
    return request;
}

std::optional<LinkForm> linkForm(const QByteArray& body, QString* error)
{
    // Form encoding writes spaces as "+", which QUrlQuery leaves alone.
    QByteArray text = body;
    text.replace('+', ' ');
    const QUrlQuery query(QString::fromUtf8(text));
    const auto field = [&](const QString& key) {
        const QStringList values = query.allQueryItemValues(key, QUrl::FullyDecoded);
        return values.size() == 1 ? std::optional(values.front()) : std::nullopt;
    };
    const auto code = field(u"code"_s);
    const auto token = field(u"token"_s);
    const auto action = field(u"action"_s);
    if (!code || !token || !action || code->size() > identifierMaximum || token->size() > identifierMaximum) {
        Json::setError(error, u"the form misses its code, token or action"_s);
        return std::nullopt;
    }
    LinkForm form;
    form.code = *code;
    form.token = *token;
    if (*action == u"confirm"_s) {
        form.action = LinkForm::Action::confirm;
    } else if (*action == u"cancel"_s) {
        form.action = LinkForm::Action::cancel;
    } else {
        Json::setError(error, u"unknown action"_s);
        return std::nullopt;
    }
    form.name = field(u"name"_s).value_or(QString());
    form.install = field(u"install"_s).value_or(QString());
    if (form.name.size() > 1000 || form.install.size() > identifierMaximum) {
        Json::setError(error, u"a field is too long"_s);
        return std::nullopt;
    }
    return form;
}

} // namespace kestravin::AccountRequests
