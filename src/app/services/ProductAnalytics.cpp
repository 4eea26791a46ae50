#include "app/services/ProductAnalytics.h"

#include "app/services/Diagnostics.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace kestravin::ProductAnalytics {

void capture(const QString& event, const QMap<QString, QString>& properties)
{
    QStringList pairs;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        pairs << it.key() + u"="_s + it.value();
    }
    printDiagnostic(u"ProductAnalytics: "_s + event + u" "_s + pairs.join(u' '));
}

} // namespace kestravin::ProductAnalytics
