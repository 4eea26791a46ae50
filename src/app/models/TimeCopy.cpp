#include "TimeCopy.h"

using namespace Qt::StringLiterals;

namespace kestravin::TimeCopy {

QString returnTime(const QDateTime& at, const QDateTime& now, const QTimeZone& timeZone)
{
    const QDateTime local = at.toTimeZone(timeZone);
    const QDate today = now.toTimeZone(timeZone).date();
    const QString clock = local.toString(u"HH:mm"_s);
    const qint64 days = today.daysTo(local.date());
    if (days <= 0) {
        return u"às "_s + clock;
    }
    if (days == 1) {
        return u"amanhã às "_s + clock;
    }
    return u"dia "_s + local.toString(u"dd/MM"_s) + u" às "_s + clock;
}

} // namespace kestravin::TimeCopy
