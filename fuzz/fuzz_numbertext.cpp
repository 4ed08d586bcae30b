// Any text in an integer column's search box.
#include "Check.h"
#include "core/search/NumberText.h"

using namespace vesko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString number = numberText(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    // Always a plain integer literal within 64 bits.
    bool ok = false;
    const qint64 value = number.toLongLong(&ok);
    VESKO_FUZZ_CHECK(ok);
    VESKO_FUZZ_CHECK(QString::number(value) == number);
    return 0;
}
