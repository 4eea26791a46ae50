#include "app/platform/Diagnostics.h"

#include <QTextStream>

namespace kestravin {

void printDiagnostic(const QString& line)
{
    QTextStream out(stdout);
    out << line << Qt::endl;
}

} // namespace kestravin
