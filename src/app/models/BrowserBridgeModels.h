#pragma once

#include "app/models/BrowserScheduleSlot.h"
#include "app/models/BrowserSettings.h"
#include "contract/Instant.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The records of the browser exchange folder. Decoders are strict: a required
// member that is missing, null or of the wrong type fails the whole record,
// an optional one that is missing or null is absent, unknown members are
// skipped, and an integer member takes only an integral number. Encoders
// leave absent members out (never null). Instants are Unix milliseconds as
// doubles, except in session.json, which keeps seconds since 2001 (Instant).
namespace kestravin {

struct BrowserFocus {
    bool enabled = false;
    QString id = QStringLiteral("none");
    double endsAt = 0;
    QStringList platforms;
    QString source = QStringLiteral("desktop");

    QJsonObject toJson() const;
    static std::optional<BrowserFocus> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const BrowserFocus&) const = default;
};

struct BrowserURLRequest {
    QString clientId;
    QString id;
    QString focusId;
    QString url;
    QString reason;
    qint64 minutes = 0;
    double expiresAt = 0;

    QJsonObject toJson() const;
    static std::optional<BrowserURLRequest> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const BrowserURLRequest&) const = default;
};

struct BrowserReceipt {
    QString revision;
    QString focusId;
    double receivedAt = 0;

    static std::optional<BrowserReceipt> fromJson(const QJsonValue& value, QString* error = nullptr);
};

struct BrowserCommand {
    QString id;
    QString action;
    QString revision;
    std::optional<qint64> minutes;
    std::optional<QString> focusId;

    static std::optional<BrowserCommand> fromJson(const QJsonValue& value, QString* error = nullptr);
};

struct BrowserURLResult {
    QString id;
    QString focusId;
    std::optional<QString> decision;
    std::optional<QString> reason;
    std::optional<double> expiresAt;
    std::optional<QString> error;

    static std::optional<BrowserURLResult> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const BrowserURLResult&) const = default;
};

struct BrowserManualFocus {
    QString id;
    Instant endsAt;

    QJsonObject toJson() const;
    static std::optional<BrowserManualFocus> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const BrowserManualFocus&) const = default;
};

struct BrowserBridgeSession {
    std::optional<BrowserManualFocus> manual;
    std::optional<Instant> pausedUntil;
    qint64 generation = 0;

    // No focus, no pause, and the generation at `nowUnixMs` truncated.
    static BrowserBridgeSession fresh(double nowUnixMs);

    QJsonObject toJson() const;
    static std::optional<BrowserBridgeSession> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const BrowserBridgeSession&) const = default;
};

struct BrowserSnapshot {
    qint64 version = 1;
    bool enabled = false;
    double generatedAt = 0;
    QString revision;
    BrowserSettings settings;
    BrowserFocus focus;
    std::optional<BrowserURLRequest> request;
    bool systemReady = false;
    std::optional<double> pausedUntil;
    QList<AccountGrant> grants;

    QJsonObject toJson() const;
};

namespace BrowserExchange {

inline constexpr qsizetype maximumFileSize = 8000;

// Compact JSON; QJsonObject keeps keys sorted, so equal values give equal
// bytes, which the revisions hash.
QByteArray compact(const QJsonObject& object);

// Parses one JSON object and decodes it with `decode`; none with *error set
// when the bytes are not JSON or the record does not decode.
template <typename Decode>
auto decode(const QByteArray& bytes, Decode decode, QString* error = nullptr) -> decltype(decode(QJsonValue(), error));

// "receipt-abc.json" -> "abc": the name without its last extension and
// without the "receipt-" prefix; none for a name without that prefix.
std::optional<QString> receiptClientId(const QString& fileName);

QString resultFileName(const QString& requestId);

// A new random UUID in its 36-character upper-case form.
QString newIdentifier();

bool parseObject(const QByteArray& bytes, QJsonValue& out, QString* error);

} // namespace BrowserExchange

template <typename Decode>
auto BrowserExchange::decode(const QByteArray& bytes, Decode decodeValue, QString* error)
    -> decltype(decodeValue(QJsonValue(), error))
{
    QJsonValue value;
    if (!parseObject(bytes, value, error)) {
        return std::nullopt;
    }
    return decodeValue(value, error);
}

} // namespace kestravin
