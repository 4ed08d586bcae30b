// Any connection string: its pairs, a key cut out, and the masked form.
#include "Check.h"
#include "db/ConnectionString.h"
#include "db/DbError.h"

#include <optional>

using namespace vesko::db;

namespace {

bool isPassword(const QString &key)
{
    return key.compare(u"Password", Qt::CaseInsensitive) == 0 || key.compare(u"PWD", Qt::CaseInsensitive) == 0;
}

std::optional<ConnectionString> parsed(const QString &text)
{
    try {
        return ConnectionString(text);
    } catch (const DbError &) {
        return std::nullopt;
    }
}

bool samePairs(const QList<ConnectionString::Pair> &a, const QList<ConnectionString::Pair> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].key != b[i].key || a[i].value != b[i].value)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString masked = maskPasswords(text);
    const std::optional<ConnectionString> string = parsed(text);
    if (!string) {
        VESKO_FUZZ_CHECK(masked == u"***");
        return 0;
    }

    // Cutting a key out leaves the other pairs as they were.
    const QString key = string->pairs().isEmpty() ? QStringLiteral("Provider") : string->pairs().front().key;
    QList<ConnectionString::Pair> others;
    for (const ConnectionString::Pair &pair : string->pairs()) {
        if (pair.key.compare(key, Qt::CaseInsensitive) != 0)
            others.append(pair);
    }
    const std::optional<ConnectionString> cut = parsed(string->without(key));
    VESKO_FUZZ_CHECK(cut && samePairs(cut->pairs(), others));

    // The masked form holds the same pairs with every password as ***.
    QList<ConnectionString::Pair> shown = string->pairs();
    for (ConnectionString::Pair &pair : shown) {
        if (isPassword(pair.key))
            pair.value = QStringLiteral("***");
    }
    const std::optional<ConnectionString> reparsed = parsed(masked);
    VESKO_FUZZ_CHECK(reparsed && samePairs(reparsed->pairs(), shown));
    return 0;
}
