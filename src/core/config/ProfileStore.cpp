#include "core/config/ProfileStore.h"

#include "core/config/Gbk.h"
#include "core/platform/MessageService.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace vesko {

namespace {

struct Line
{
    qsizetype begin = 0;  // first byte of the line
    qsizetype end = 0;    // one past its last byte, line end excluded
    qsizetype next = 0;   // first byte of the following line
};

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

QList<Line> splitLines(const QByteArray &data)
{
    QList<Line> lines;
    qsizetype begin = 0;
    const qsizetype size = data.size();
    while (begin < size) {
        qsizetype end = begin;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size && data[next] == '\r')
            ++next;
        if (next < size && data[next] == '\n' && (next == end || data[next - 1] == '\r'))
            ++next;
        lines.append({begin, end, next});
        begin = next;
    }
    return lines;
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

// Where a section and an entry stand in the file.
struct Location
{
    qsizetype section = -1;    // index of the header line
    qsizetype sectionEnd = -1; // index of the line after the section
    qsizetype entry = -1;      // index of the entry line
};

Location locate(const QByteArray &data, const QList<Line> &lines, const QString &section,
                const QString &key)
{
    Location at;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArrayView content(data.constData() + lines[i].begin, lines[i].end - lines[i].begin);
        if (const auto name = sectionName(content)) {
            if (at.section >= 0) {
                at.sectionEnd = i;
                return at;
            }
            if (sameName(*name, section))
                at.section = i;
            continue;
        }
        if (at.section < 0 || at.entry >= 0)
            continue;
        const qsizetype eq = content.indexOf('=');
        if (eq >= 0 && sameName(fromGbk(trimmed(content.first(eq))), key))
            at.entry = i;
    }
    if (at.section >= 0)
        at.sectionEnd = lines.size();
    return at;
}

QByteArray lineEndOf(const QByteArray &data)
{
    const qsizetype i = data.indexOf('\n');
    const qsizetype j = data.indexOf('\r');
    if (j >= 0 && (i < 0 || j < i))
        return j + 1 < data.size() && data[j + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
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

bool readFile(const QString &path, QByteArray *data, bool *exists)
{
    QFile file(path);
    *exists = file.exists();
    if (!*exists)
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *data = file.readAll();
    return file.error() == QFileDevice::NoError;
}

} // namespace

QString ProfileStore::read(const QString &section, const QString &key, const QString &path)
{
    QByteArray data;
    bool exists = false;
    if (!readFile(path, &data, &exists) || !exists)
        return kNotSet;
    const QList<Line> lines = splitLines(data);
    const Location at = locate(data, lines, section, key);
    if (at.entry < 0)
        return kNotSet;
    const Line &line = lines[at.entry];
    const QByteArrayView content(data.constData() + line.begin, line.end - line.begin);
    return fromGbk(trimmed(content.sliced(content.indexOf('=') + 1)));
}

bool ProfileStore::write(const QString &section, const QString &key, const QString &value,
                         const QString &path)
{
    QByteArray data;
    bool exists = false;
    if (!readFile(path, &data, &exists))
        return false;
    if (exists) {
        // A file marked read-only stays as it is, whoever runs the program.
        const QFileInfo info(path);
        if (!info.isFile() || !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner))
            return false;
    }

    const QByteArray encodedValue = toGbk(withoutLineBreaks(value));
    const QByteArray eol = lineEndOf(data);
    const QList<Line> lines = splitLines(data);
    const Location at = locate(data, lines, section, key);

    QByteArray out;
    if (at.entry >= 0) {
        const Line &line = lines[at.entry];
        const qsizetype valueBegin = data.indexOf('=', line.begin) + 1;
        out = data.first(valueBegin) + encodedValue + data.sliced(line.end);
    } else if (at.section >= 0) {
        // After the last line of the section that is not blank.
        qsizetype after = at.section;
        for (qsizetype i = at.section + 1; i < at.sectionEnd; ++i) {
            const Line &line = lines[i];
            if (!trimmed(QByteArrayView(data.constData() + line.begin, line.end - line.begin)).isEmpty())
                after = i;
        }
        const Line &line = lines[after];
        const bool hasLineEnd = line.next > line.end;
        out = data.first(line.next);
        if (!hasLineEnd)
            out += eol;
        out += toGbk(key) + '=' + encodedValue + eol;
        out += data.sliced(line.next);
    } else {
        out = data;
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
            out += eol;
        out += '[' + toGbk(section) + ']' + eol + toGbk(key) + '=' + encodedValue + eol;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void writeProfileValue(const QString &section, const QString &key, const QString &value,
               const QString &path, MessageService &messages)
{
    if (!ProfileStore::write(section, key, value, path))
        messages.show(QStringLiteral("写出错！"), MessageService::Icon::None);
}

} // namespace vesko
