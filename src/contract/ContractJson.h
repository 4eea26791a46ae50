#pragma once

#include "Instant.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

// Readers shared by the contract types' decoders. Each returns false and sets
// *error on failure; a null error pointer is allowed. The rules are the
// contract's: a required key that is missing, null or of the wrong JSON type
// fails; an optional key that is missing or null reads as absent; an integer
// rejects a number with a fraction; nothing is range-checked.
namespace kestravin::ContractJson {

void setError(QString* error, const QString& message);

bool readBool(const QJsonObject& object, const QString& key, bool& out, QString* error);
bool readInteger(const QJsonObject& object, const QString& key, qint64& out, QString* error);
bool readString(const QJsonObject& object, const QString& key, QString& out, QString* error);
bool readStringList(const QJsonObject& object, const QString& key, QStringList& out, QString* error);
bool readInstant(const QJsonObject& object, const QString& key, Instant& out, QString* error);

bool readOptionalInteger(const QJsonObject& object, const QString& key, std::optional<qint64>& out, QString* error);
bool readOptionalInstant(const QJsonObject& object, const QString& key, std::optional<Instant>& out, QString* error);

// Interprets one JSON value as an integer under the rules above.
std::optional<qint64> integerValue(const QJsonValue& value);

// Parses UTF-8 JSON text into a value (object or array); false with *error
// set when the text is not JSON.
bool parseDocument(const QByteArray& bytes, QJsonValue& out, QString* error);

// Checks that `value` is an object; used at the top of every decoder.
bool requireObject(const QJsonValue& value, const QString& typeName, QJsonObject& out, QString* error);

} // namespace kestravin::ContractJson
