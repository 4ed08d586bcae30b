#include "core/grid/RowOrder.h"

#include "db/TypeCode.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>

namespace vesko {

namespace {

// Digits and capital Latin letters collate in the order of their bytes,
// each apart from the others at the first level: text of only these
// (identity card and telephone numbers) needs no collator.
bool collatesAsBytes(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); });
}

// A number's value as eight bytes that compare in the order of the values.
std::string numberKey(std::string_view bytes)
{
    double value = -std::numeric_limits<double>::infinity();
    std::from_chars(bytes.data(), bytes.data() + bytes.size(), value);
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    bits = (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
    std::string key(8, '\0');
    for (int i = 0; i < 8; ++i)
        key[std::size_t(i)] = char(bits >> (56 - 8 * i));
    return key;
}

struct CollatorClose
{
    void operator()(UCollator *collator) const { ucol_close(collator); }
};

// Sort keys of Chinese collation: two texts compare as their keys' bytes.
class ChineseKeys
{
public:
    ChineseKeys()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_collator.reset(ucol_open("zh_CN", &status));
        if (U_FAILURE(status))
            m_collator.reset();
    }

    // Without the collator's data, the text's own bytes.
    std::string_view keyOf(std::string_view utf8)
    {
        if (!m_collator)
            return utf8;
        // UTF-8 never takes fewer units than UTF-16.
        if (m_utf16.size() < utf8.size())
            m_utf16.resize(utf8.size());
        std::int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(m_utf16.data(), std::int32_t(m_utf16.size()), &length, utf8.data(),
                             std::int32_t(utf8.size()), 0xFFFD, nullptr, &status);
        std::int32_t size =
            ucol_getSortKey(m_collator.get(), m_utf16.data(), length, m_key.data(), std::int32_t(m_key.size()));
        if (std::size_t(size) > m_key.size()) {
            m_key.resize(std::size_t(size));
            size = ucol_getSortKey(m_collator.get(), m_utf16.data(), length, m_key.data(), size);
        }
        // Without the closing zero.
        return {reinterpret_cast<const char *>(m_key.data()), std::size_t(std::max(size - 1, 0))};
    }

    // The order of two texts, as their whole keys would give it.
    int compare(std::string_view a, std::string_view b) const
    {
        if (!m_collator)
            return a.compare(b);
        UErrorCode status = U_ZERO_ERROR;
        return ucol_strcollUTF8(m_collator.get(), a.data(), std::int32_t(a.size()), b.data(), std::int32_t(b.size()),
                                &status);
    }

private:
    std::unique_ptr<UCollator, CollatorClose> m_collator;
    std::vector<UChar> m_utf16 = std::vector<UChar>(64);
    std::vector<std::uint8_t> m_key = std::vector<std::uint8_t>(256);
};

// The rows' keys: the first 16 bytes of each in two words, which decide
// almost every comparison without a look elsewhere, and the next bytes of a
// longer key, up to kStored, in one shared buffer. Two keys cut there that
// tie are told apart by compareWhole(rowA, rowB), so that long values cost
// no more memory than short ones.
class KeyTable
{
public:
    using WholeCompare = std::function<int(int, int)>;

    KeyTable(int rows, WholeCompare compareWhole)
        : m_compareWhole(std::move(compareWhole))
    {
        m_entries.reserve(std::size_t(rows));
    }

    void add(int row, std::string_view key)
    {
        const std::size_t stored = std::min(key.size(), kStored);
        Entry entry{{0, 0}, 0, std::uint32_t(key.size() > kStored ? kCut : stored), row};
        for (std::size_t i = 0; i < std::min(stored, kHead); ++i)
            entry.head[i / 8] |= std::uint64_t(std::uint8_t(key[i])) << (56 - 8 * (i % 8));
        if (stored > kHead) {
            entry.tail = m_tails.size();
            m_tails.append(key.substr(kHead, stored - kHead));
        }
        m_entries.push_back(entry);
    }

    std::vector<int> sorted(Qt::SortOrder order)
    {
        if (order == Qt::AscendingOrder)
            std::sort(m_entries.begin(), m_entries.end(), [this](const Entry &a, const Entry &b) {
                const int c = compare(a, b);
                return c < 0 || (c == 0 && a.row < b.row);
            });
        else
            std::sort(m_entries.begin(), m_entries.end(), [this](const Entry &a, const Entry &b) {
                const int c = compare(a, b);
                return c > 0 || (c == 0 && a.row < b.row);
            });
        std::vector<int> rows;
        rows.reserve(m_entries.size());
        for (const Entry &entry : m_entries)
            rows.push_back(entry.row);
        return rows;
    }

private:
    static constexpr std::size_t kHead = 16;
    static constexpr std::size_t kStored = 64;
    // The length of a key cut at kStored: longer than any stored one.
    static constexpr std::uint32_t kCut = kStored + 1;

    struct Entry
    {
        std::uint64_t head[2];
        std::size_t tail;
        std::uint32_t length;
        int row;
    };

    // Bytes past the end of a key count as zeros in its head; a key that
    // ties with a longer one there is a prefix of it and comes first.
    int compare(const Entry &a, const Entry &b) const
    {
        for (int i = 0; i < 2; ++i) {
            if (a.head[i] != b.head[i])
                return a.head[i] < b.head[i] ? -1 : 1;
        }
        const std::size_t common = std::min({a.length, b.length, std::uint32_t(kStored)});
        if (common > kHead) {
            if (const int c = std::memcmp(m_tails.data() + a.tail, m_tails.data() + b.tail, common - kHead))
                return c;
        }
        if (a.length != b.length)
            return a.length < b.length ? -1 : 1;
        return a.length == kCut ? m_compareWhole(a.row, b.row) : 0;
    }

    WholeCompare m_compareWhole;
    std::vector<Entry> m_entries;
    std::string m_tails;
};

} // namespace

std::vector<int> sortedRows(const db::Result &rs, int column, int rows, Qt::SortOrder order)
{
    const auto bytesOf = [&rs, column](int row) { return rs.bytes(row, column); };
    const db::TypeCode type = rs.columnType(column);
    const bool asNumbers = db::sortsAsNumber(type);
    bool asBytes = db::sortsAsBytes(type);
    if (!asNumbers && !asBytes) {
        asBytes = true;
        for (int row = 0; row < rows && asBytes; ++row)
            asBytes = collatesAsBytes(bytesOf(row));
    }
    if (asNumbers || asBytes) {
        // A number's eight bytes are never cut.
        KeyTable keys(rows, [&](int a, int b) { return bytesOf(a).compare(bytesOf(b)); });
        for (int row = 0; row < rows; ++row) {
            if (asNumbers)
                keys.add(row, numberKey(bytesOf(row)));
            else
                keys.add(row, bytesOf(row));
        }
        return keys.sorted(order);
    }
    ChineseKeys chinese;
    KeyTable keys(rows, [&](int a, int b) { return chinese.compare(bytesOf(a), bytesOf(b)); });
    for (int row = 0; row < rows; ++row)
        keys.add(row, chinese.keyOf(bytesOf(row)));
    return keys.sorted(order);
}

} // namespace vesko
