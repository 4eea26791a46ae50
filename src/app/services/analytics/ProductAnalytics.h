#pragma once

#include <QMap>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace kestravin {

// Usage events sent to the product-analytics capture service: one POST per
// event, fire and forget, never queued or retried. Every event carries a
// per-install random identifier; once an account is linked, events carry the
// account's user id and one "$identify" event ties the two together.
namespace ProductAnalytics {

inline constexpr QStringView apiKey = u"phc_Vr4nT8qLm2XcZ6hWd9KsB3yPf7JgN1aQe5RtUoMxK2wE";
inline constexpr QStringView capturePath = u"/i/v0/e/";
inline constexpr QStringView libraryTag = u"kestravin-mac";
inline constexpr QStringView installIdKey = u"kestravinInstallId";
inline constexpr QStringView linkedUserKey = u"kestravinLinkedUser";
inline constexpr int requestTimeoutMs = 5000;

// Where the events go and whose they are. The application configures it once
// at start; until then (and whenever `captureBase` is empty) nothing is sent.
struct Environment {
    // Scheme, host and port of the capture service; the path is fixed.
    QUrl captureBase;
    // The account user id of the published snapshot; none while signed out.
    std::function<std::optional<QString>()> accountUserId;
    QString appVersion;
};

void configure(Environment environment);

// The address built in (CMake cache variable KESTRAVIN_ANALYTICS_URL),
// replaced by the environment variable of the same name when that is set.
QUrl configuredCaptureBase();

// The stored install identifier; made (lower-case UUID) on first read.
QString installId();

// Fire and forget: never blocks and reports nothing to the caller. Caller
// properties named "$lib", "install_id" or "app_version" are replaced.
void capture(const QString& event, const QMap<QString, QString>& properties = {});

// Sends the "$identify" event once per account user: not again while one is
// in flight, nor once the service accepted it for this user and install id.
void linkAccount();

} // namespace ProductAnalytics
} // namespace kestravin
