#pragma once

#include <QByteArray>
#include <QString>

namespace kestravin {

// SHA-256 of `bytes` as 64 lower-case hexadecimal digits, two per byte in
// order. The browser exchange's revisions and the local focus identifier both
// hash with it, so the two always agree on the form.
QString hexDigest(const QByteArray& bytes);

} // namespace kestravin
