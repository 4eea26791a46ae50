#include "app/services/analytics/ProductAnalytics.h"

#include "app/platform/Diagnostics.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSettings>
#include <QUuid>

using namespace Qt::StringLiterals;

#ifndef KESTRAVIN_ANALYTICS_URL
#define KESTRAVIN_ANALYTICS_URL ""
#endif

namespace kestravin::ProductAnalytics {
namespace {

struct State {
    Environment environment;
    std::optional<QString> linking;
    bool loggedDisabled = false;
    QPointer<QNetworkAccessManager> network;
};

State& state()
{
    static State instance;
    return instance;
}

std::optional<QString> currentUserId()
{
    const auto& lookup = state().environment.accountUserId;
    return lookup ? lookup() : std::nullopt;
}

QNetworkAccessManager* network()
{
    auto& s = state();
    if (!s.network) {
        // Parented to the application so that it goes before Qt itself does.
        s.network = new QNetworkAccessManager(QCoreApplication::instance());
    }
    return s.network;
}

void send(const QJsonObject& body, std::function<void(bool accepted)> done)
{
    auto& s = state();
    if (s.environment.captureBase.isEmpty()) {
        if (!s.loggedDisabled) {
            s.loggedDisabled = true;
            printDiagnostic(u"ProductAnalytics: no capture address configured; events are not sent"_s);
        }
        return;
    }
    QUrl url = s.environment.captureBase;
    url.setPath(capturePath.toString());
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, u"application/json"_s);
    request.setTransferTimeout(requestTimeoutMs);
    QNetworkReply* reply = network()->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool accepted = reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
        reply->deleteLater();
        if (done) {
            done(accepted);
        }
    });
}

} // namespace

void configure(Environment environment)
{
    state().environment = std::move(environment);
    state().loggedDisabled = false;
}

QUrl configuredCaptureBase()
{
    const QString overridden = qEnvironmentVariable("KESTRAVIN_ANALYTICS_URL");
    return QUrl(overridden.isEmpty() ? QStringLiteral(KESTRAVIN_ANALYTICS_URL) : overridden);
}

QString installId()
{
    QSettings settings;
    QString id = settings.value(installIdKey.toString()).toString();
    if (id.isEmpty()) {
        id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
        settings.setValue(installIdKey.toString(), id);
    }
    return id;
}

void capture(const QString& event, const QMap<QString, QString>& properties)
{
    const QString install = installId();
    QJsonObject props;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        props.insert(it.key(), it.value());
    }
    props.insert(u"$lib"_s, libraryTag.toString());
    props.insert(u"install_id"_s, install);
    props.insert(u"app_version"_s, state().environment.appVersion);
    send(
        QJsonObject {
            { u"api_key"_s, apiKey.toString() },
            { u"event"_s, event },
            { u"distinct_id"_s, currentUserId().value_or(install) },
            { u"properties"_s, props },
        },
        {});
}

void linkAccount()
{
    const std::optional<QString> user = currentUserId();
    if (!user) {
        return;
    }
    if (QSettings().value(linkedUserKey.toString()).toString() == *user) {
        return;
    }
    auto& s = state();
    if (s.linking == user) {
        return;
    }
    s.linking = user;
    const QString install = installId();
    const QJsonObject body {
        { u"api_key"_s, apiKey.toString() },
        { u"event"_s, u"$identify"_s },
        { u"distinct_id"_s, *user },
        { u"properties"_s,
            QJsonObject {
                { u"$anon_distinct_id"_s, install },
                { u"$lib"_s, libraryTag.toString() },
            } },
    };
    if (state().environment.captureBase.isEmpty()) {
        // Nothing goes out, so nothing is in flight either.
        s.linking.reset();
    }
    send(body, [user = *user, install](bool accepted) {
        auto& st = state();
        if (st.linking == user) {
            st.linking.reset();
        }
        if (accepted && currentUserId() == user && installId() == install) {
            QSettings().setValue(linkedUserKey.toString(), user);
        }
    });
}

} // namespace kestravin::ProductAnalytics
