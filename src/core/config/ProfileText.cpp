#include "core/config/ProfileText.h"

#include "core/config/Gbk.h"

#include <QHash>

#include <algorithm>

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

// The lines of a file in turn.
class Lines
{
public:
    explicit Lines(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }

    bool next(Line &line)
    {
        const qsizetype size = m_bytes.size();
        if (m_pos >= size)
            return false;
        qsizetype end = m_pos;
        while (end < size && !endsLine(m_bytes[end]))
            ++end;
        qsizetype next = end;
        if (next < size && m_bytes[next] == '\r')
            ++next;
        if (next < size && m_bytes[next] == '\n')
            ++next;
        line = {m_bytes.sliced(m_pos, end - m_pos), m_bytes.sliced(m_pos, next - m_pos)};
        m_pos = next;
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
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

QByteArray folded(QByteArrayView name, TextEncoding encoding)
{
    QByteArray out;
    fold(name, encoding, out);
    return out;
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
    QHash<QByteArray, std::size_t> keyIndex; // by folded name
    bool atEnd = false;
    bool found = false;
    QByteArray moved; // an atEnd section's lines as found in the file
};

// Gives the text's last line a line end when it has none.
void endLastLine(QByteArray &text, qsizetype start, const QByteArray &eol)
{
    if (text.size() > start && !endsLine(text.back()))
        text += eol;
}

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
        m_eol = end + 1 < m_lines.size() && m_lines[end + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
    else
        m_eol = QByteArrayLiteral("\n");
}

std::optional<QString> ProfileText::value(const QString &section, const QString &key) const
{
    const QByteArray wantedSection = folded(encode(section, m_encoding), m_encoding);
    const QByteArray wantedKey = folded(encode(key, m_encoding), m_encoding);
    QByteArray name;
    bool inSection = false;
    Lines lines(m_lines);
    Line line;
    while (lines.next(line)) {
        if (const auto header = sectionName(line.content)) {
            // Only the first section of the name counts.
            if (inSection)
                return std::nullopt;
            fold(*header, m_encoding, name);
            inSection = name == wantedSection;
            continue;
        }
        const qsizetype eq = inSection ? line.content.indexOf('=') : -1;
        if (eq < 0)
            continue;
        fold(trimmed(line.content.first(eq)), m_encoding, name);
        if (name == wantedKey)
            return decode(trimmed(line.content.sliced(eq + 1)), m_encoding);
    }
    return std::nullopt;
}

QByteArray ProfileText::withEntries(const QList<ProfileEntry> &entries) const
{
    std::vector<Section> sections;
    QHash<QByteArray, std::size_t> sectionIndex;
    qsizetype added = 0;
    for (const ProfileEntry &entry : entries) {
        const QByteArray sectionBytes = encode(entry.section, m_encoding);
        const QByteArray sectionName = folded(sectionBytes, m_encoding);
        if (!sectionIndex.contains(sectionName)) {
            sectionIndex.insert(sectionName, sections.size());
            sections.push_back({'[' + sectionBytes + ']', {}, {}, false, false, {}});
        }
        Section &section = sections[sectionIndex.value(sectionName)];
        section.atEnd = section.atEnd || entry.atEnd;
        const QByteArray keyBytes = encode(entry.key, m_encoding);
        const QByteArray keyName = folded(keyBytes, m_encoding);
        if (!section.keyIndex.contains(keyName)) {
            section.keyIndex.insert(keyName, section.keys.size());
            section.keys.push_back({});
        }
        Key &key = section.keys[section.keyIndex.value(keyName)];
        key.value = encode(printable(entry.value), m_encoding);
        key.line = keyBytes + '=' + key.value;
        key.atEnd = key.atEnd || entry.atEnd;
        added += section.header.size() + key.line.size() + 2 * m_eol.size();
    }

    QByteArray out = m_byteOrderMark.toByteArray();
    const qsizetype start = out.size();
    out.reserve(start + m_lines.size() + added);
    const auto appendLine = [this](QByteArray &text, qsizetype from, const QByteArray &line) {
        endLastLine(text, from, m_eol);
        text += line + m_eol;
    };

    // The first section of each name that is written; later ones, which
    // readers that take the last might see, are dropped, and so are later
    // lines of each key written.
    Section *current = nullptr;
    bool dropping = false;
    QByteArray blanks; // the current section's blank lines, not yet followed by another of its lines
    const auto finishSection = [&] {
        if (current) {
            QByteArray &target = current->atEnd ? current->moved : out;
            for (const Key &key : current->keys) {
                if (!key.found && !key.atEnd)
                    appendLine(target, 0, key.line);
            }
        }
        out += blanks;
        blanks.clear();
        current = nullptr;
    };

    QByteArray name;
    Lines lines(m_lines);
    Line line;
    while (lines.next(line)) {
        if (const auto header = sectionName(line.content)) {
            finishSection();
            fold(*header, m_encoding, name);
            const auto s = sectionIndex.constFind(name);
            Section *section = s == sectionIndex.cend() ? nullptr : &sections[*s];
            dropping = section && section->found;
            if (dropping)
                continue;
            if (section) {
                section->found = true;
                current = section;
            }
            (current && current->atEnd ? current->moved : out) += line.whole;
            continue;
        }
        if (dropping)
            continue;
        if (!current) {
            out += line.whole;
            continue;
        }
        if (trimmed(line.content).isEmpty()) {
            blanks += line.whole;
            continue;
        }
        QByteArray &target = current->atEnd ? current->moved : out;
        target += blanks;
        blanks.clear();
        const qsizetype eq = line.content.indexOf('=');
        Key *key = nullptr;
        if (eq >= 0) {
            fold(trimmed(line.content.first(eq)), m_encoding, name);
            const auto k = current->keyIndex.constFind(name);
            key = k == current->keyIndex.cend() ? nullptr : &current->keys[*k];
        }
        if (!key) {
            target += line.whole;
            continue;
        }
        const bool first = !key->found;
        key->found = true;
        // An entry moved to the end is written there; a later line of the key is dropped.
        if (first && !key->atEnd) {
            target += line.content.first(eq + 1);
            target += key->value;
            target += line.whole.sliced(line.content.size());
        }
    }
    finishSection();

    for (const Section &section : sections) {
        if (section.found || section.atEnd)
            continue;
        appendLine(out, start, section.header);
        for (const Key &key : section.keys)
            appendLine(out, start, key.line);
    }
    for (const Section &section : sections) {
        if (!section.atEnd)
            continue;
        if (section.found) {
            endLastLine(out, start, m_eol);
            out += section.moved;
        } else {
            appendLine(out, start, section.header);
            for (const Key &key : section.keys) {
                if (!key.atEnd)
                    appendLine(out, start, key.line);
            }
        }
        for (const Key &key : section.keys) {
            if (key.atEnd)
                appendLine(out, start, key.line);
        }
    }
    return out;
}

} // namespace vesko
