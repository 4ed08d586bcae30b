// Any bytes as a profile file, read for the program's own names, then one of
// them stored as the program stores it.
#include "Check.h"
#include "core/config/ProfileText.h"
#include "core/config/TextEncoding.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <iterator>

using namespace vesko;

namespace {

const ProfileKey kNames[] = {
    {QStringLiteral("数据连接"), QStringLiteral("value")}, {QStringLiteral("vesko窗口位置"), QStringLiteral("left")},
    {QStringLiteral("字段名"), QStringLiteral("1")},       {QStringLiteral("over"), QStringLiteral("value")},
    {QStringLiteral("登记程序"), QStringLiteral("value")},
};

// A value that the reader gives back as stored: no control character but a
// tab, no blank at either end.
bool readsBackAsIs(const QString &value)
{
    for (const QChar c : value) {
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7f)
            return false;
    }
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    return value.isEmpty() || (!blank(value.front()) && !blank(value.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const ProfileKey &name = kNames[input.ConsumeIntegralInRange<size_t>(0, std::size(kNames) - 1)];
    const bool atEnd = input.ConsumeBool();
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string file = input.ConsumeRemainingBytesAsString();
    const QByteArrayView bytes(file.data(), qsizetype(file.size()));
    const TextEncoding encoding = encodingOf(bytes);

    const ProfileText text(bytes, encoding);
    VESKO_FUZZ_CHECK(text.withEntries({}) == bytes);
    text.values(QList<ProfileKey>(std::begin(kNames), std::end(kNames)));

    const ProfileEntry entry{name.section, name.key,
                             decode(QByteArrayView(value.data(), qsizetype(value.size())), encoding), atEnd};
    const QByteArray written = text.withEntries({entry});
    const std::optional<QString> stored = ProfileText(written, encoding).values({name}).front();
    VESKO_FUZZ_CHECK(stored.has_value());
    if (readsBackAsIs(entry.value))
        VESKO_FUZZ_CHECK(*stored == entry.value);
    return 0;
}
