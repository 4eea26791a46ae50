#pragma once

#include <QString>
#include <QStringView>

namespace kestravin {

// The one check a host name passes before it may reach the hosts file, which
// root writes: non-empty, at most 253 characters, only ASCII letters, digits,
// '.', '-' and '_', and not starting with '.' or '-'. Case is kept as given.
// Both programs apply it, so a bad name is refused where it enters.
bool isSafeHostName(QStringView host);

} // namespace kestravin
