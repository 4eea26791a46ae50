#pragma once

#include <QString>

namespace kestravin {

// One diagnostic line on standard output, prefixed by its component
// ("HelperConnection: ..."), as the services print them.
void printDiagnostic(const QString& line);

} // namespace kestravin
