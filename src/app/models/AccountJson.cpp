#include "app/models/AccountJson.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin::AccountJson {

bool isAbsent(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    return value.isUndefined() || value.isNull();
}

bool readNumber(const QJsonObject& object, const QString& key, double& out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        ContractJson::setError(error, u"missing key \"%1\""_s.arg(key));
        return false;
    }
    if (!value.isDouble() || !std::isfinite(value.toDouble())) {
        ContractJson::setError(error, u"key \"%1\" is not a number"_s.arg(key));
        return false;
    }
    out = value.toDouble();
    return true;
}

bool readOptionalNumber(const QJsonObject& object, const QString& key, std::optional<double>& out, QString* error)
{
    if (isAbsent(object, key)) {
        out.reset();
        return true;
    }
    double number = 0;
    if (!readNumber(object, key, number, error))
        return false;
    out = number;
    return true;
}

bool readOptionalString(const QJsonObject& object, const QString& key, std::optional<QString>& out, QString* error)
{
    if (isAbsent(object, key)) {
        out.reset();
        return true;
    }
    QString text;
    if (!ContractJson::readString(object, key, text, error))
        return false;
    out = std::move(text);
    return true;
}

} // namespace kestravin::AccountJson
