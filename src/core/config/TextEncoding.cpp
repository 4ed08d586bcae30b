#include "core/config/TextEncoding.h"

#include "core/config/Gbk.h"

#include <algorithm>

namespace vesko {

namespace {

constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

bool isContinuation(QByteArrayView bytes, qsizetype i)
{
    return i < bytes.size() && (uchar(bytes[i]) & 0xC0) == 0x80;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool isUtf8(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const qsizetype length = lead >= 0xC2 && lead <= 0xDF ? 2
            : lead >= 0xE0 && lead <= 0xEF                    ? 3
            : lead >= 0xF0 && lead <= 0xF4                    ? 4
                                                              : 0;
        if (length == 0)
            return false;
        for (qsizetype k = 1; k < length; ++k) {
            if (!isContinuation(bytes, i + k))
                return false;
        }
        const uchar second = uchar(bytes[i + 1]);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90)
            || (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

} // namespace

TextEncoding encodingOf(QByteArrayView bytes)
{
    if (bytes.startsWith(kByteOrderMark))
        return TextEncoding::Utf8;
    const auto ascii = [](char c) { return uchar(c) < 0x80; };
    if (std::all_of(bytes.begin(), bytes.end(), ascii))
        return TextEncoding::Gbk;
    return isUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Gbk;
}

QByteArrayView withoutByteOrderMark(QByteArrayView bytes, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 && bytes.startsWith(kByteOrderMark) ? bytes.sliced(kByteOrderMark.size())
                                                                              : bytes;
}

QString decode(QByteArrayView bytes, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? QString::fromUtf8(bytes) : fromGbk(bytes);
}

QByteArray encode(const QString &text, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? text.toUtf8() : toGbk(text);
}

} // namespace vesko
