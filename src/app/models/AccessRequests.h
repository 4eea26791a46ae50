#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace kestravin {

// The records of the assistant's decision call, POST "/api/decide". Request
// bodies are written compact; replies are read with the account API's strict
// rules (a required key present and of its type, an optional key missing or
// null reads as absent, other keys are ignored).

// The body of a request for a whole platform ("app") or one blocked site ("site").
struct DesktopAccessRequest {
    QString mode;
    // Left out of the JSON when absent, never written as null.
    std::optional<QString> site;
    QString reason;
    qint64 minutes = 0;
    QString appId;
    QString appName;
    QString focusId;
    QString requestId;
    // Unix milliseconds.
    double focusEnd = 0;

    QJsonObject toJson() const;
    QByteArray toJsonBytes() const;
};

struct DesktopAccessReply {
    QString decision;
    QString reason;
    std::optional<QString> requestId;
    std::optional<QString> focusId;
    std::optional<QString> appId;
    // Unix milliseconds.
    std::optional<double> expiresAt;

    QJsonObject toJson() const;
    static std::optional<DesktopAccessReply> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const DesktopAccessReply&) const = default;
};

// The body of a request for one link.
struct LinkRequest {
    QString url;
    QString reason;
    qint64 minutes = 0;
    QString focusId;

    QJsonObject toJson() const;
    QByteArray toJsonBytes() const;
};

struct LinkReply {
    QString decision;
    QString reason;
    // Unix milliseconds.
    std::optional<double> grantExpiresAt;

    QJsonObject toJson() const;
    static std::optional<LinkReply> fromJson(const QJsonValue& value, QString* error = nullptr);
    bool operator==(const LinkReply&) const = default;
};

// A reply answers a request only with one of the three decisions (exact
// case) and an answer of 3 to 400 user-perceived characters, as received.
bool isValidReply(const QString& decision, const QString& reason);

} // namespace kestravin
