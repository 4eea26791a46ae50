#pragma once

#include <QDateTime>
#include <QTimeZone>

namespace kestravin::TimeCopy {

// When blocking comes back, as the end of a sentence such as "O bloqueio
// volta …": "às 14:30" today, "amanhã às 09:00" the next day, "dia 12/03 às
// 09:00" later (wall clock of `timeZone`).
QString returnTime(const QDateTime& at, const QDateTime& now, const QTimeZone& timeZone);

} // namespace kestravin::TimeCopy
