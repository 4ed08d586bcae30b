#pragma once

#include <QByteArray>
#include <QString>

namespace vesko {

// The encodings of the text files an administrator writes. The program's
// own files are GBK, but Linux editors save UTF-8 by default.
enum class TextEncoding { Gbk, Utf8 };

// UTF-8 for bytes that start with its byte order mark, or that are valid
// UTF-8 throughout and hold a non-ASCII byte; GBK otherwise. Chinese GBK
// text is valid UTF-8 only by rare chance, and then only for a few bytes.
TextEncoding encodingOf(QByteArrayView bytes);

// The bytes without the byte order mark that starts a UTF-8 file.
QByteArrayView withoutByteOrderMark(QByteArrayView bytes, TextEncoding encoding);

// Decoding UTF-8 drops a byte order mark at the start.
QString decode(QByteArrayView bytes, TextEncoding encoding);
QByteArray encode(const QString &text, TextEncoding encoding);

} // namespace vesko
