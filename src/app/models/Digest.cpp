#include "app/models/Digest.h"

#include <QCryptographicHash>

namespace kestravin {

QString hexDigest(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace kestravin
