#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace kestravin::testing {

// The bytes of a file; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace kestravin::testing
