#pragma once

#include "contract/ContractJson.h"

#include <QJsonArray>
#include <QList>

#include <optional>

// Readers of the account API's JSON on top of the contract's rules (required
// present and typed, optional missing or null is absent, integers exact).
// Each record's decoder is `static std::optional<T> fromJson(const QJsonValue&, QString*)`.
namespace kestravin::AccountJson {

bool readNumber(const QJsonObject& object, const QString& key, double& out, QString* error);
bool readOptionalNumber(const QJsonObject& object, const QString& key, std::optional<double>& out, QString* error);
bool readOptionalString(const QJsonObject& object, const QString& key, std::optional<QString>& out, QString* error);

// Missing or null.
bool isAbsent(const QJsonObject& object, const QString& key);

template <typename T> bool readRecord(const QJsonObject& object, const QString& key, T& out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        ContractJson::setError(error, QStringLiteral("missing key \"%1\"").arg(key));
        return false;
    }
    auto decoded = T::fromJson(value, error);
    if (!decoded)
        return false;
    out = std::move(*decoded);
    return true;
}

template <typename T>
bool readOptionalRecord(const QJsonObject& object, const QString& key, std::optional<T>& out, QString* error)
{
    if (isAbsent(object, key)) {
        out.reset();
        return true;
    }
    T record;
    if (!readRecord(object, key, record, error))
        return false;
    out = std::move(record);
    return true;
}

template <typename T> bool readRecordList(const QJsonObject& object, const QString& key, QList<T>& out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray()) {
        ContractJson::setError(error, QStringLiteral("key \"%1\" is not an array").arg(key));
        return false;
    }
    QList<T> result;
    const QJsonArray array = value.toArray();
    result.reserve(array.size());
    for (const QJsonValue& element : array) {
        auto decoded = T::fromJson(element, error);
        if (!decoded)
            return false;
        result.append(std::move(*decoded));
    }
    out = std::move(result);
    return true;
}

template <typename T>
bool readOptionalRecordList(const QJsonObject& object, const QString& key, std::optional<QList<T>>& out, QString* error)
{
    if (isAbsent(object, key)) {
        out.reset();
        return true;
    }
    QList<T> list;
    if (!readRecordList(object, key, list, error))
        return false;
    out = std::move(list);
    return true;
}

template <typename T> QJsonArray toArray(const QList<T>& records)
{
    QJsonArray array;
    for (const T& record : records)
        array.append(record.toJson());
    return array;
}

// Parses `bytes` and decodes one record of type T from it.
template <typename T> std::optional<T> decode(const QByteArray& bytes, QString* error = nullptr)
{
    QJsonValue value;
    if (!ContractJson::parseDocument(bytes, value, error))
        return std::nullopt;
    return T::fromJson(value, error);
}

} // namespace kestravin::AccountJson
