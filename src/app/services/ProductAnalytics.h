#pragma once

#include <QMap>
#include <QString>

namespace kestravin {

// Product-analytics events. For now the events are only written to the
// diagnostics; sending them to the capture service comes with the shell.
namespace ProductAnalytics {

// Fire and forget: never blocks and reports nothing to the caller.
void capture(const QString& event, const QMap<QString, QString>& properties = {});

} // namespace ProductAnalytics
} // namespace kestravin
