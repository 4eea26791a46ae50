#include "FocusDuration.h"

#include <QStringList>

#include <cmath>

using namespace Qt::StringLiterals;

namespace kestravin::FocusDuration {

namespace {

// An optional sign and at least one ASCII digit, within 64 bits.
std::optional<qint64> wholeNumber(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        // Accumulate towards the sign so that the most negative value fits too.
        if (__builtin_mul_overflow(value, qint64(10), &value)
            || __builtin_add_overflow(value, negative ? -digit : digit, &value))
            return std::nullopt;
    }
    return value;
}

// Plain decimal notation only: an optional sign, digits with an optional
// fraction, at least one digit. Exponents, hexadecimal, "inf" and "nan",
// which a general number reader would take, are no way to type a duration.
std::optional<double> decimalNumber(QStringView text)
{
    qsizetype i = 0;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-'))
        ++i;
    bool digits = false;
    bool point = false;
    for (qsizetype j = i; j < text.size(); ++j) {
        const QChar c = text[j];
        if (c >= u'0' && c <= u'9')
            digits = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (!digits)
        return std::nullopt;
    bool ok = false;
    const double value = text.toString().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> accepted(qint64 minutes)
{
    if (minutes < 1 || minutes > maximumMinutes)
        return std::nullopt;
    return minutes;
}

QString normalised(QStringView text)
{
    // Lower case, then accents dropped: decomposed, with the combining marks removed.
    const QString decomposed = text.toString().toLower().normalized(QString::NormalizationForm_D);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing && c != u' ')
            folded.append(c);
    }
    folded = folded.normalized(QString::NormalizationForm_C);
    static const std::pair<QString, QString> units[] = {
        { u"horas"_s, u"h"_s },
        { u"hora"_s, u"h"_s },
        { u"hrs"_s, u"h"_s },
        { u"hr"_s, u"h"_s },
        { u"minutos"_s, u"m"_s },
        { u"minuto"_s, u"m"_s },
        { u"mins"_s, u"m"_s },
        { u"min"_s, u"m"_s },
    };
    for (const auto& [word, letter] : units)
        folded.replace(word, letter);
    folded.replace(u',', u'.');
    return folded;
}

} // namespace

std::optional<qint64> parse(QStringView input)
{
    QString text = normalised(input);

    if (text.endsWith(u'm') && text.size() > 1) {
        if (const auto minutes = wholeNumber(QStringView(text).chopped(1)))
            return accepted(*minutes);
    }
    if (const auto minutes = wholeNumber(text))
        return accepted(*minutes);

    text.replace(u':', u'h');
    const QStringList pieces = text.split(u'h');
    if (pieces.size() != 2)
        return std::nullopt;
    const QString& hourPiece = pieces.at(0);
    QString minutePiece = pieces.at(1);
    if (minutePiece.endsWith(u'm'))
        minutePiece.chop(1);

    if (minutePiece.isEmpty()) {
        // Whole hours stay exact; a double would round the largest ones.
        if (const auto hours = wholeNumber(hourPiece)) {
            qint64 minutes = 0;
            if (__builtin_mul_overflow(*hours, qint64(60), &minutes))
                return std::nullopt;
            return accepted(minutes);
        }
        if (const auto hours = decimalNumber(hourPiece)) {
            const double minutes = std::round(*hours * 60.0);
            // Checked before the conversion, which is undefined out of range.
            if (minutes < 1.0 || minutes > static_cast<double>(maximumMinutes))
                return std::nullopt;
            return accepted(static_cast<qint64>(minutes));
        }
    }
    const auto hours = wholeNumber(hourPiece);
    const auto minutes = wholeNumber(minutePiece);
    if (!hours || !minutes || *minutes < 0 || *minutes > 59)
        return std::nullopt;
    qint64 total = 0;
    if (__builtin_mul_overflow(*hours, qint64(60), &total) || __builtin_add_overflow(total, *minutes, &total))
        return std::nullopt;
    return accepted(total);
}

} // namespace kestravin::FocusDuration
