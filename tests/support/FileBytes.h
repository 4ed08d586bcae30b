#pragma once

#include <QByteArray>
#include <QString>

namespace vesko::test {

// What readBytes gives for a file that does not exist.
inline const QByteArray kMissingFile = QByteArrayLiteral("<missing>");

// The exact bytes of a file on disk, or kMissingFile.
QByteArray readBytes(const QString &path);
// Replaces a file's bytes; false when it cannot be written.
bool writeBytes(const QString &path, const QByteArray &bytes);

} // namespace vesko::test
