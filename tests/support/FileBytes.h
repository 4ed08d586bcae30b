#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vesko::test {

// What readBytes gives for a file that does not exist.
inline const QByteArray kMissingFile = QByteArrayLiteral("<missing>");

// The exact bytes of a file on disk, or kMissingFile.
inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : kMissingFile;
}

// Replaces a file's bytes; false when it cannot be written.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace vesko::test
