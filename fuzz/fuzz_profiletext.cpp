// Any bytes as a profile file, read for the program's own names, then one of
// them stored as the program stores it.
#include "Check.h"

#include "core/config/Gbk.h"
#include "core/config/ProfileText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <iterator>

using namespace vesko;

namespace {

struct Name
{
    QString section;
    QString key;
};

const Name kNames[] = {
    {QStringLiteral("数据连接"), QStringLiteral("value")},
    {QStringLiteral("vesko窗口位置"), QStringLiteral("left")},
    {QStringLiteral("字段名"), QStringLiteral("1")},
    {QStringLiteral("over"), QStringLiteral("value")},
    {QStringLiteral("登记程序"), QStringLiteral("value")},
};

// A value that the reader gives back as stored: no control character, no
// blank at either end.
bool readsBackAsIs(const QString &value)
{
    for (const QChar c : value) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return value.isEmpty() || (value.front() != u' ' && value.back() != u' ');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const Name &name = kNames[input.ConsumeIntegralInRange<size_t>(0, std::size(kNames) - 1)];
    const bool atEnd = input.ConsumeBool();
    const std::string value = input.ConsumeRandomLengthString(64);
    const std::string file = input.ConsumeRemainingBytesAsString();
    const QByteArrayView bytes(file.data(), qsizetype(file.size()));

    ProfileText text(bytes);
    VESKO_FUZZ_CHECK(text.bytes() == bytes);
    for (const Name &each : kNames)
        text.value(each.section, each.key);

    const ProfileEntry entry{name.section, name.key, fromGbk(QByteArrayView(value.data(), qsizetype(value.size()))), atEnd};
    text.store(entry);
    const std::optional<QString> stored = ProfileText(text.bytes()).value(name.section, name.key);
    VESKO_FUZZ_CHECK(stored == text.value(name.section, name.key));
    // A second copy of the section is read before one moved to the end.
    if (atEnd)
        return 0;
    VESKO_FUZZ_CHECK(stored.has_value());
    if (readsBackAsIs(entry.value))
        VESKO_FUZZ_CHECK(*stored == entry.value);
    return 0;
}
