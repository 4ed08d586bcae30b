#include "core/config/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace vesko {

namespace {

constexpr char16_t kEuro = 0x20AC;
constexpr char kEuroByte = char(0x80);

} // namespace

qsizetype gbkCharacterLength(QByteArrayView bytes, qsizetype i)
{
    const auto lead = uchar(bytes[i]);
    if (lead <= 0x80 || lead == 0xFF)
        return 1;
    const bool fourBytes = i + 1 < bytes.size() && bytes[i + 1] >= '0' && bytes[i + 1] <= '9';
    return fourBytes ? 4 : 2;
}

namespace {

// The decoder keeps a character cut off at the end of a piece for its next
// call, and without one drops it: a NUL after the piece turns it into a
// replacement character, as every other invalid byte is.
QString decodePiece(QStringDecoder &decoder, QByteArrayView piece)
{
    QString text = decoder.decode(piece.toByteArray() + '\0');
    text.chop(1);
    return text;
}

} // namespace

QString fromGbk(QByteArrayView bytes)
{
    QStringDecoder decoder("GB18030");
    QString text;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); i += gbkCharacterLength(bytes, i)) {
        if (bytes[i] != kEuroByte)
            continue;
        text += decodePiece(decoder, bytes.sliced(start, i - start));
        text += QChar(kEuro);
        start = i + 1;
    }
    text += decodePiece(decoder, bytes.sliced(start));
    return text;
}

QByteArray toGbk(const QString &text)
{
    QStringEncoder encoder("GB18030");
    QByteArray bytes;
    const QStringList parts = text.split(QChar(kEuro));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            bytes += kEuroByte;
        bytes += encoder.encode(parts[i]);
    }
    return bytes;
}

} // namespace vesko
