#pragma once

#include "AccountRecords.h"

#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace kestravin::FolgaStatement {

// The badge of a history row by its status: "Disponível", "Em uso",
// "Usada", "Venceu"; "Folga" for any other status.
QString badge(const FolgaEntry& entry);
// Available and active rows stand out.
bool highlighted(const FolgaEntry& entry);
// One line about the row's dates: when it was earned and until when it is
// valid, when it ends or ended, when it expired. Instants are Unix
// milliseconds, shown in `zone`; "hoje" and "ontem" relative to `now`.
QString detail(const FolgaEntry& entry, const QDateTime& now, const QTimeZone& zone);

// The row's title and symbol by its goal kind ("Meta" and "sparkles" for a
// kind this build does not know).
QString title(const QString& mission);
QString symbol(const QString& mission);

// The identity of a load of the history: "none" without a snapshot, else
// user, available breaks, end of the running break, goals earned today and
// the retry count joined with "|". A new key means a new load.
QString loadKey(const std::optional<DesktopAccountSnapshot>& snapshot, int reload);

// "1 folga disponível", "N folgas disponíveis".
QString headline(const std::optional<DesktopAccountSnapshot>& snapshot);
QString explanation(const std::optional<DesktopAccountSnapshot>& snapshot);
// The failure row's sentence, with or without rows on screen.
QString failure(bool hasRows);

} // namespace kestravin::FolgaStatement
