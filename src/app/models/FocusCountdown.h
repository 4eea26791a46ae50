#pragma once

#include <QString>

namespace kestravin::FocusCountdown {

// The remaining time of a focus: "%d:%02d" minutes and seconds below an hour,
// "<hours>h<%02d minutes>min" from an hour on. A negative count reads as 0.
QString label(qint64 seconds);

// The label with every numeral replaced by "0", so that a status area can
// reserve the width of the widest digits.
QString labelTemplate(const QString& label);

} // namespace kestravin::FocusCountdown
