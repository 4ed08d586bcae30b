#pragma once

#include <QByteArray>
#include <QString>

namespace vesko {

// Text files of the program are in the GBK code page; GB18030 is its
// lossless superset. The euro sign is the single byte 0x80, as code page 936
// readers expect. Invalid bytes decode to a replacement character.
QString fromGbk(QByteArrayView bytes);
QByteArray toGbk(const QString &text);

// Bytes taken by the character that starts at bytes[i]: GB18030 has one-,
// two- and four-byte characters (a four-byte one has a digit second). A
// character cut short at the end counts as long as it should be.
qsizetype gbkCharacterLength(QByteArrayView bytes, qsizetype i);

} // namespace vesko
