#include "ContractJson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin::ContractJson {

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

namespace {

bool presentValue(const QJsonObject& object, const QString& key, QJsonValue& out, QString* error)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd()) {
        setError(error, u"missing key \"%1\""_s.arg(key));
        return false;
    }
    if (it->isNull()) {
        setError(error, u"null value for key \"%1\""_s.arg(key));
        return false;
    }
    out = *it;
    return true;
}

QString wrongType(const QString& key, const QString& expected)
{
    return u"key \"%1\" is not %2"_s.arg(key, expected);
}

// The first integer literal of the JSON text (outside strings) that lies
// beyond the 64-bit range, if any. The parser reads such a literal as a double
// and gives no sign of it afterwards; -9223372036854775809 would then read as
// the smallest integer while its positive twin fails.
std::optional<QByteArrayView> integerOutOfRange(QByteArrayView text)
{
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    bool inString = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
            continue;
        }
        if (c != '-' && !isDigit(c))
            continue;
        const qsizetype start = i;
        const bool negative = c == '-';
        qsizetype digitsStart = negative ? i + 1 : i;
        qsizetype end = digitsStart;
        while (end < text.size() && isDigit(text[end]))
            ++end;
        i = end;
        while (i < text.size()
            && (isDigit(text[i]) || text[i] == '.' || text[i] == 'e' || text[i] == 'E' || text[i] == '+'
                || text[i] == '-'))
            ++i;
        const bool integer = i == end;
        --i;
        if (!integer)
            continue;
        while (digitsStart + 1 < end && text[digitsStart] == '0')
            ++digitsStart;
        const QByteArrayView digits = text.sliced(digitsStart, end - digitsStart);
        const QByteArrayView limit
            = negative ? QByteArrayView("9223372036854775808") : QByteArrayView("9223372036854775807");
        if (digits.size() > limit.size() || (digits.size() == limit.size() && digits.compare(limit) > 0))
            return text.sliced(start, end - start);
    }
    return std::nullopt;
}

} // namespace

std::optional<qint64> integerValue(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double asDouble = value.toDouble();
    if (!std::isfinite(asDouble) || std::trunc(asDouble) != asDouble)
        return std::nullopt;
    // toInteger() answers its default for anything that is not an integer in
    // range; two different defaults tell that case apart from a real value.
    const qint64 first = value.toInteger(0);
    const qint64 second = value.toInteger(1);
    if (first != second)
        return std::nullopt;
    return first;
}

bool readBool(const QJsonObject& object, const QString& key, bool& out, QString* error)
{
    QJsonValue value;
    if (!presentValue(object, key, value, error))
        return false;
    if (!value.isBool()) {
        setError(error, wrongType(key, u"a Boolean"_s));
        return false;
    }
    out = value.toBool();
    return true;
}

bool readInteger(const QJsonObject& object, const QString& key, qint64& out, QString* error)
{
    QJsonValue value;
    if (!presentValue(object, key, value, error))
        return false;
    const auto integer = integerValue(value);
    if (!integer) {
        setError(error, wrongType(key, u"an integer"_s));
        return false;
    }
    out = *integer;
    return true;
}

bool readString(const QJsonObject& object, const QString& key, QString& out, QString* error)
{
    QJsonValue value;
    if (!presentValue(object, key, value, error))
        return false;
    if (!value.isString()) {
        setError(error, wrongType(key, u"a string"_s));
        return false;
    }
    out = value.toString();
    return true;
}

bool readStringList(const QJsonObject& object, const QString& key, QStringList& out, QString* error)
{
    QJsonValue value;
    if (!presentValue(object, key, value, error))
        return false;
    if (!value.isArray()) {
        setError(error, wrongType(key, u"an array"_s));
        return false;
    }
    const QJsonArray array = value.toArray();
    QStringList result;
    result.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (!element.isString()) {
            setError(error, u"key \"%1\" holds a value that is not a string"_s.arg(key));
            return false;
        }
        result.append(element.toString());
    }
    out = std::move(result);
    return true;
}

bool readInstant(const QJsonObject& object, const QString& key, Instant& out, QString* error)
{
    QJsonValue value;
    if (!presentValue(object, key, value, error))
        return false;
    if (!value.isDouble()) {
        setError(error, wrongType(key, u"a number"_s));
        return false;
    }
    out = Instant(value.toDouble());
    return true;
}

bool readOptionalInteger(const QJsonObject& object, const QString& key, std::optional<qint64>& out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        out.reset();
        return true;
    }
    qint64 integer = 0;
    if (!readInteger(object, key, integer, error))
        return false;
    out = integer;
    return true;
}

bool readOptionalInstant(const QJsonObject& object, const QString& key, std::optional<Instant>& out, QString* error)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        out.reset();
        return true;
    }
    Instant instant;
    if (!readInstant(object, key, instant, error))
        return false;
    out = instant;
    return true;
}

bool parseDocument(const QByteArray& bytes, QJsonValue& out, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        setError(error, parseError.errorString());
        return false;
    }
    if (const std::optional<QByteArrayView> literal = integerOutOfRange(bytes)) {
        setError(error, u"the integer %1 is outside the 64-bit range"_s.arg(QString::fromLatin1(*literal)));
        return false;
    }
    out = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    return true;
}

bool requireObject(const QJsonValue& value, const QString& typeName, QJsonObject& out, QString* error)
{
    if (!value.isObject()) {
        setError(error, u"%1 is not a JSON object"_s.arg(typeName));
        return false;
    }
    out = value.toObject();
    return true;
}

} // namespace kestravin::ContractJson
