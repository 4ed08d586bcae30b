#include "core/config/ProfileText.h"

#include "core/config/Gbk.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vesko {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView bytes)
{
    qsizetype b = 0;
    qsizetype e = bytes.size();
    while (b < e && isBlank(bytes[b]))
        ++b;
    while (e > b && isBlank(bytes[e - 1]))
        --e;
    return bytes.sliced(b, e - b);
}

bool endsLine(char c)
{
    return c == '\r' || c == '\n';
}

struct Line
{
    QByteArrayView content; // without its line end
    QByteArrayView whole;   // with it: CR LF, LF, CR, or nothing at the end of the file
};

// The lines of a file in turn. A run of empty lines comes as one blank
// line: no reader looks into it, and a writer keeps it as it is.
class Lines
{
public:
    explicit Lines(QByteArrayView bytes)
        : m_pos(bytes.data())
        , m_end(bytes.data() + bytes.size())
    {
    }

    bool next(Line &line)
    {
        const char *const begin = m_pos;
        if (begin == m_end)
            return false;
        const char *contentEnd = begin;
        while (contentEnd != m_end && !endsLine(*contentEnd))
            ++contentEnd;
        const char *next = contentEnd;
        if (contentEnd == begin) {
            while (next != m_end && endsLine(*next))
                ++next;
        } else {
            if (next != m_end && *next == '\r')
                ++next;
            if (next != m_end && *next == '\n')
                ++next;
        }
        line = {QByteArrayView(begin, contentEnd), QByteArrayView(begin, next)};
        m_pos = next;
        return true;
    }

private:
    const char *m_pos;
    const char *m_end;
};

// The name of a section header line, or nothing when the line is not one.
std::optional<QByteArrayView> sectionName(QByteArrayView content)
{
    const QByteArrayView t = trimmed(content);
    if (t.isEmpty() || t[0] != '[')
        return std::nullopt;
    qsizetype close = t.indexOf(']');
    if (close < 0)
        close = t.size();
    return trimmed(t.sliced(1, close - 1));
}

// A name with its ASCII letters in lower case, into a buffer that is
// reused: names that match fold to the same bytes. The second byte of a GBK
// character may be an ASCII letter; it is kept.
void fold(QByteArrayView name, TextEncoding encoding, QByteArray &into)
{
    into.resize(name.size());
    char *out = into.data();
    for (qsizetype i = 0; i < name.size();) {
        const char c = name[i];
        const qsizetype length = uchar(c) < 0x80 || encoding == TextEncoding::Utf8
            ? 1
            : std::min(gbkCharacterLength(name, i), name.size() - i);
        out[i] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        for (qsizetype k = 1; k < length; ++k)
            out[i + k] = name[i + k];
        i += length;
    }
}

std::string folded(const QString &name, TextEncoding encoding)
{
    QByteArray out;
    fold(encode(name, encoding), encoding, out);
    return out.toStdString();
}

// The registration program cannot read a control character in a value, and
// a raw line break would forge entries or sections: each becomes a blank,
// a CR LF pair one blank. A tab stays.
QString printable(QString value)
{
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : value) {
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            c = u' ';
    }
    return value;
}

// Names by their folded bytes, looked up with a view of the bytes.
struct NameHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};
template<typename T>
using ByName = std::unordered_map<std::string, T, NameHash, std::equal_to<>>;

std::string_view viewOf(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

// A file built of spans of the former one, each run of adjacent spans
// copied in one go, and of new bytes.
class Splice
{
public:
    Splice(QByteArrayView eol, qsizetype start = 0)
        : m_eol(eol)
        , m_start(start)
    {
    }

    void keep(QByteArrayView former)
    {
        if (former.isEmpty())
            return;
        if (m_kept.data() + m_kept.size() == former.data()) {
            m_kept = QByteArrayView(m_kept.data(), m_kept.size() + former.size());
        } else {
            flush();
            m_kept = former;
        }
    }

    void add(QByteArrayView bytes)
    {
        flush();
        m_text += bytes;
    }

    // Gives the last line a line end when it has none.
    void endLastLine()
    {
        flush();
        if (m_text.size() > m_start && !endsLine(m_text.back()))
            m_text += m_eol;
    }

    void addLine(QByteArrayView line)
    {
        endLastLine();
        m_text += line;
        m_text += m_eol;
    }

    QByteArray take()
    {
        flush();
        return std::move(m_text);
    }

private:
    void flush()
    {
        m_text += m_kept;
        m_kept = QByteArrayView();
    }

    QByteArrayView m_eol;
    qsizetype m_start; // bytes before the first line: a byte order mark
    QByteArray m_text;
    QByteArrayView m_kept;
};

// The entries that one store writes, by section.
struct Key
{
    QByteArray value; // encoded
    QByteArray line;  // "key=value", for a new entry
    bool atEnd = false;
    bool found = false;
};

struct Section
{
    QByteArray header; // "[name]"
    std::vector<Key> keys;
    ByName<std::size_t> keyIndex;
    bool atEnd = false;
    bool found = false;
    std::optional<Splice> moved; // an atEnd section's lines as found in the file
};

} // namespace

ProfileText::ProfileText(QByteArrayView bytes, TextEncoding encoding)
    : m_encoding(encoding)
{
    m_lines = withoutByteOrderMark(bytes, encoding);
    m_byteOrderMark = bytes.first(bytes.size() - m_lines.size());
    const qsizetype end = std::find_if(m_lines.begin(), m_lines.end(), endsLine) - m_lines.begin();
    if (end == m_lines.size())
        m_eol = QByteArrayLiteral("\r\n");
    else if (m_lines[end] == '\r')
        m_eol =
            end + 1 < m_lines.size() && m_lines[end + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
    else
        m_eol = QByteArrayLiteral("\n");
}

QList<std::optional<QString>> ProfileText::values(const QList<ProfileKey> &keys) const
{
    // The indexes of the keys wanted, by section and key name.
    struct Wanted
    {
        ByName<std::vector<qsizetype>> keys;
        bool seen = false;
    };
    ByName<Wanted> sections;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        sections[folded(keys[i].section, m_encoding)].keys[folded(keys[i].key, m_encoding)].push_back(i);
    }

    QList<std::optional<QString>> found(keys.size());
    Wanted *current = nullptr;
    QByteArray name;
    Lines lines(m_lines);
    Line line;
    while (lines.next(line)) {
        if (const auto header = sectionName(line.content)) {
            // Only the first section of a name counts.
            fold(*header, m_encoding, name);
            const auto s = sections.find(viewOf(name));
            current = s == sections.end() || s->second.seen ? nullptr : &s->second;
            if (current)
                current->seen = true;
            continue;
        }
        const qsizetype eq = current ? line.content.indexOf('=') : -1;
        if (eq < 0)
            continue;
        fold(trimmed(line.content.first(eq)), m_encoding, name);
        const auto k = current->keys.find(viewOf(name));
        if (k == current->keys.end())
            continue;
        for (const qsizetype i : k->second) {
            if (!found[i])
                found[i] = decode(trimmed(line.content.sliced(eq + 1)), m_encoding);
        }
    }
    return found;
}

QByteArray ProfileText::withEntries(const QList<ProfileEntry> &entries) const
{
    std::vector<Section> sections;
    ByName<std::size_t> sectionIndex;
    for (const ProfileEntry &entry : entries) {
        const QByteArray sectionBytes = encode(entry.section, m_encoding);
        const auto s = sectionIndex.try_emplace(folded(entry.section, m_encoding), sections.size());
        if (s.second)
            sections.push_back({'[' + sectionBytes + ']', {}, {}, false, false, std::nullopt});
        Section &section = sections[s.first->second];
        section.atEnd = section.atEnd || entry.atEnd;
        const QByteArray keyBytes = encode(entry.key, m_encoding);
        const auto k = section.keyIndex.try_emplace(folded(entry.key, m_encoding), section.keys.size());
        if (k.second)
            section.keys.push_back({});
        Key &key = section.keys[k.first->second];
        key.value = encode(printable(entry.value), m_encoding);
        key.line = keyBytes + '=' + key.value;
        key.atEnd = key.atEnd || entry.atEnd;
    }

    Splice out(m_eol, m_byteOrderMark.size());
    out.keep(m_byteOrderMark);

    // The first section of each name that is written; later ones, which
    // readers that take the last might see, are dropped, and so are later
    // lines of each key written.
    Section *current = nullptr;
    bool dropping = false;
    QByteArrayView blanks; // the current section's blank lines, not yet followed by another of its lines
    const auto target = [&]() -> Splice & { return current && current->atEnd ? *current->moved : out; };
    const auto finishSection = [&] {
        if (current) {
            for (const Key &key : current->keys) {
                if (!key.found && !key.atEnd)
                    target().addLine(key.line);
            }
        }
        out.keep(blanks);
        blanks = QByteArrayView();
        current = nullptr;
    };

    QByteArray name;
    Lines lines(m_lines);
    Line line;
    while (lines.next(line)) {
        if (const auto header = sectionName(line.content)) {
            finishSection();
            fold(*header, m_encoding, name);
            const auto s = sectionIndex.find(viewOf(name));
            Section *section = s == sectionIndex.end() ? nullptr : &sections[s->second];
            dropping = section && section->found;
            if (dropping)
                continue;
            if (section) {
                section->found = true;
                if (section->atEnd)
                    section->moved.emplace(m_eol);
                current = section;
            }
            target().keep(line.whole);
            continue;
        }
        if (dropping)
            continue;
        if (!current) {
            out.keep(line.whole);
            continue;
        }
        if (trimmed(line.content).isEmpty()) {
            blanks =
                QByteArrayView(blanks.isEmpty() ? line.whole.data() : blanks.data(), blanks.size() + line.whole.size());
            continue;
        }
        target().keep(blanks);
        blanks = QByteArrayView();
        const qsizetype eq = line.content.indexOf('=');
        Key *key = nullptr;
        if (eq >= 0) {
            fold(trimmed(line.content.first(eq)), m_encoding, name);
            const auto k = current->keyIndex.find(viewOf(name));
            key = k == current->keyIndex.end() ? nullptr : &current->keys[k->second];
        }
        if (!key) {
            target().keep(line.whole);
            continue;
        }
        const bool first = !key->found;
        key->found = true;
        // An entry moved to the end is written there; a later line of the key is dropped.
        if (first && !key->atEnd) {
            target().keep(line.content.first(eq + 1));
            target().add(key->value);
            target().keep(line.whole.sliced(line.content.size()));
        }
    }
    finishSection();

    for (const Section &section : sections) {
        if (section.found || section.atEnd)
            continue;
        out.addLine(section.header);
        for (const Key &key : section.keys)
            out.addLine(key.line);
    }
    for (Section &section : sections) {
        if (!section.atEnd)
            continue;
        if (section.found) {
            out.endLastLine();
            out.add(section.moved->take());
        } else {
            out.addLine(section.header);
            for (const Key &key : section.keys) {
                if (!key.atEnd)
                    out.addLine(key.line);
            }
        }
        for (const Key &key : section.keys) {
            if (key.atEnd)
                out.addLine(key.line);
        }
    }
    return out.take();
}

} // namespace vesko
