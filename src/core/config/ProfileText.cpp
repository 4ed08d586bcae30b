#include "core/config/ProfileText.h"

#include "core/config/Gbk.h"

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

// Profile names match without regard to ASCII letter case only: other
// characters must be equal, so GBK text never folds into another name.
bool sameName(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return false;
    }
    return true;
}

// The name of a section header line, or nothing when the line is not one.
std::optional<QString> sectionName(QByteArrayView content)
{
    const QByteArrayView t = trimmed(content);
    if (t.isEmpty() || t[0] != '[')
        return std::nullopt;
    qsizetype close = t.indexOf(']');
    if (close < 0)
        close = t.size();
    return fromGbk(trimmed(t.sliced(1, close - 1)));
}

QByteArray lineEndOf(QByteArrayView bytes)
{
    const qsizetype i = bytes.indexOf('\n');
    const qsizetype j = bytes.indexOf('\r');
    if (j >= 0 && (i < 0 || j < i))
        return j + 1 < bytes.size() && bytes[j + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
    if (i >= 0)
        return QByteArrayLiteral("\n");
    return QByteArrayLiteral("\r\n");
}

// A raw line break would forge entries or sections of the file.
QString withoutLineBreaks(QString value)
{
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

} // namespace

ProfileText::ProfileText(QByteArrayView bytes)
    : m_eol(lineEndOf(bytes))
{
    const qsizetype size = bytes.size();
    qsizetype begin = 0;
    while (begin < size) {
        qsizetype end = begin;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size && bytes[next] == '\r')
            ++next;
        if (next < size && bytes[next] == '\n' && (next == end || bytes[next - 1] == '\r'))
            ++next;
        Line line{bytes.sliced(begin, end - begin).toByteArray(), bytes.sliced(end, next - end).toByteArray(),
                  std::nullopt, std::nullopt};
        line.section = sectionName(line.content);
        const qsizetype eq = line.content.indexOf('=');
        if (!line.section && eq >= 0)
            line.key = fromGbk(trimmed(QByteArrayView(line.content).first(eq)));
        m_lines.append(std::move(line));
        begin = next;
    }
}

ProfileText::Place ProfileText::find(const QString &section, const QString &key) const
{
    Place at;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines[i];
        if (line.section) {
            if (at.section >= 0) {
                at.sectionEnd = i;
                return at;
            }
            if (sameName(*line.section, section))
                at.section = i;
        } else if (at.section >= 0 && at.entry < 0 && line.key && sameName(*line.key, key)) {
            at.entry = i;
        }
    }
    if (at.section >= 0)
        at.sectionEnd = m_lines.size();
    return at;
}

std::optional<QString> ProfileText::value(const QString &section, const QString &key) const
{
    const Place at = find(section, key);
    if (at.entry < 0)
        return std::nullopt;
    const QByteArrayView content = m_lines[at.entry].content;
    return fromGbk(trimmed(content.sliced(content.indexOf('=') + 1)));
}

void ProfileText::endLine(qsizetype index)
{
    if (index >= 0 && m_lines[index].end.isEmpty())
        m_lines[index].end = m_eol;
}

void ProfileText::store(const ProfileEntry &entry)
{
    const QByteArray value = toGbk(withoutLineBreaks(entry.value));
    const Line newLine{toGbk(entry.key) + '=' + value, m_eol, std::nullopt, entry.key};
    const Place at = find(entry.section, entry.key);
    if (at.section < 0) {
        endLine(m_lines.size() - 1);
        m_lines.append({'[' + toGbk(entry.section) + ']', m_eol, entry.section, std::nullopt});
        m_lines.append(newLine);
        return;
    }

    // The section's last line that is not blank.
    qsizetype last = at.section;
    for (qsizetype i = at.section + 1; i < at.sectionEnd; ++i) {
        if (!trimmed(m_lines[i].content).isEmpty())
            last = i;
    }

    if (entry.atEnd) {
        QList<Line> moved = m_lines.mid(at.section, last + 1 - at.section);
        if (at.entry >= 0)
            moved.removeAt(at.entry - at.section);
        m_lines.remove(at.section, last + 1 - at.section);
        endLine(m_lines.size() - 1);
        m_lines.append(moved);
        endLine(m_lines.size() - 1);
        m_lines.append(newLine);
    } else if (at.entry >= 0) {
        QByteArray &content = m_lines[at.entry].content;
        content = content.first(content.indexOf('=') + 1) + value;
    } else {
        endLine(last);
        m_lines.insert(last + 1, newLine);
    }
}

QByteArray ProfileText::bytes() const
{
    QByteArray out;
    for (const Line &line : m_lines)
        out += line.content + line.end;
    return out;
}

} // namespace vesko
