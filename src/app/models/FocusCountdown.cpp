#include "FocusCountdown.h"

#include <QList>

namespace kestravin::FocusCountdown {

QString label(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    if (seconds >= 3600) {
        const qint64 hours = seconds / 3600;
        const qint64 minutes = (seconds - hours * 3600) / 60;
        return QString::asprintf("%lldh%02lldmin", static_cast<long long>(hours), static_cast<long long>(minutes));
    }
    return QString::asprintf("%d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
}

QString labelTemplate(const QString& label)
{
    // Walk code points, so that a numeral outside the basic plane becomes one "0".
    QString result;
    result.reserve(label.size());
    for (const char32_t codePoint : label.toUcs4()) {
        if (QChar::isNumber(codePoint))
            result.append(u'0');
        else
            result.append(QString::fromUcs4(&codePoint, 1));
    }
    return result;
}

} // namespace kestravin::FocusCountdown
