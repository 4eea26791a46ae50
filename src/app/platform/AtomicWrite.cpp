#include "app/platform/AtomicWrite.h"

#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace kestravin {

bool writeFileAtomically(
    const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions, QString* error)
{
    QSaveFile file(path);
    // Writing in place when no temporary file can be made would give up the
    // whole point: a reader could see half a file.
    file.setDirectWriteFallback(false);
    const auto fail = [&file, error, &path](const QString& step) {
        if (error)
            *error = u"%1 %2: %3"_s.arg(step, path, file.errorString());
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(u"Cannot create a temporary file for"_s);
    if (!file.setPermissions(permissions))
        return fail(u"Cannot set the mode of"_s);
    if (file.write(bytes) != bytes.size())
        return fail(u"Cannot write"_s);
    if (!file.commit())
        return fail(u"Cannot replace"_s);
    return true;
}

} // namespace kestravin
