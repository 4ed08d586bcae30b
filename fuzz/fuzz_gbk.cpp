// Any bytes decoded as GBK, any UTF-16 text encoded.
#include "Check.h"
#include "core/config/Gbk.h"

#include <QStringView>

using namespace vesko;

namespace {

bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const QString text = fromGbk(bytes);
    // What is read is written back so that it reads the same.
    VESKO_FUZZ_CHECK(fromGbk(toGbk(text)) == text);
    // Valid bytes are written back byte for byte; the euro sign has two codes.
    if (!text.contains(QChar::ReplacementCharacter) && !text.contains(QChar(0x20AC)))
        VESKO_FUZZ_CHECK(toGbk(text) == bytes);

    const QStringView typed(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    if (!hasLoneSurrogate(typed))
        VESKO_FUZZ_CHECK(fromGbk(toGbk(typed.toString())) == typed);
    return 0;
}
