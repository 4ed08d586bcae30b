#include "core/config/ProfileStore.h"

#include "core/config/Gbk.h"
#include "core/platform/MessageService.h"
#include "core/platform/RegularFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

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

QByteArrayView lineContent(const QByteArray &data, const Line &line)
{
    return QByteArrayView(data.constData() + line.begin, line.end - line.begin);
}

QByteArray withLineEnd(QByteArray bytes, const QByteArray &eol)
{
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
        bytes += eol;
    return bytes;
}

// The file with one entry stored in it.
QByteArray applied(const QByteArray &data, const ProfileEntry &entry)
{
    const QByteArray value = toGbk(withoutLineBreaks(entry.value));
    const QByteArray entryLine = toGbk(entry.key) + '=' + value;
    const QByteArray eol = lineEndOf(data);
    const QList<Line> lines = splitLines(data);
    const Location at = locate(data, lines, entry.section, entry.key);

    if (at.section < 0)
        return withLineEnd(data, eol) + '[' + toGbk(entry.section) + ']' + eol + entryLine + eol;

    // The section's last line that is not blank.
    qsizetype last = at.section;
    for (qsizetype i = at.section + 1; i < at.sectionEnd; ++i) {
        if (!trimmed(lineContent(data, lines[i])).isEmpty())
            last = i;
    }

    if (entry.atEnd) {
        const qsizetype begin = lines[at.section].begin;
        const qsizetype end = lines[last].next;
        QByteArray section = data.sliced(begin, end - begin);
        if (at.entry >= 0)
            section.remove(lines[at.entry].begin - begin, lines[at.entry].next - lines[at.entry].begin);
        const QByteArray rest = data.first(begin) + data.sliced(end);
        return withLineEnd(withLineEnd(rest, eol) + section, eol) + entryLine + eol;
    }

    if (at.entry >= 0) {
        const Line &line = lines[at.entry];
        const qsizetype valueBegin = data.indexOf('=', line.begin) + 1;
        return data.first(valueBegin) + value + data.sliced(line.end);
    }

    const Line &line = lines[last];
    return withLineEnd(data.first(line.next), eol) + entryLine + eol + data.sliced(line.next);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The former file's bytes and status; nothing when there is no file.
std::optional<std::pair<QByteArray, struct stat>> readFormer(const QString &path)
{
    QByteArray bytes;
    try {
        bytes = readRegularFile(path, ProfileStore::kMaxFileSize);
    } catch (const FileError &error) {
        if (error.kind() == FileError::Kind::Missing)
            return std::nullopt;
        throw;
    }
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    return std::pair(bytes, info);
}

// The new file takes the former one's owner and mode. Only root may give a
// file away; anyone else's new file stays theirs, as a copy of it would.
void keepOwnerAndMode(const QString &path, int fd, const struct stat &former)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    if ((now.st_uid != former.st_uid || now.st_gid != former.st_gid)
        && ::fchown(fd, former.st_uid, former.st_gid) != 0 && errno != EPERM)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    if ((now.st_mode & 07777) != (former.st_mode & 07777) && ::fchmod(fd, former.st_mode & 07777) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
}

void replaceFile(const QString &path, const QByteArray &bytes, const struct stat *former)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(FileError::Kind::Failed, path, file.errorString());
    try {
        if (former)
            keepOwnerAndMode(path, file.handle(), *former);
        // QSaveFile buffers small writes: a full disk shows only at the flush.
        if (file.write(bytes) != bytes.size() || !file.flush())
            throw FileError(FileError::Kind::Failed, path, file.errorString());
    } catch (const FileError &) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw FileError(FileError::Kind::Failed, path, file.errorString());
}

} // namespace

QString ProfileStore::read(const QString &section, const QString &key, const QString &path)
{
    QByteArray data;
    try {
        data = readRegularFile(path, kMaxFileSize);
    } catch (const FileError &) {
        return kNotSet;
    }
    const QList<Line> lines = splitLines(data);
    const Location at = locate(data, lines, section, key);
    if (at.entry < 0)
        return kNotSet;
    const QByteArrayView content = lineContent(data, lines[at.entry]);
    return fromGbk(trimmed(content.sliced(content.indexOf('=') + 1)));
}

void ProfileStore::write(const QList<ProfileEntry> &entries, const QString &path)
{
    const auto former = readFormer(path);
    QByteArray data;
    if (former) {
        // A file marked read-only stays as it is, whoever runs the program.
        if (!(former->second.st_mode & S_IWUSR))
            throw FileError(FileError::Kind::Failed, path, systemReason(EACCES));
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0)
            throw FileError(FileError::Kind::Failed, path, systemReason(errno));
        data = former->first;
    }
    for (const ProfileEntry &entry : entries)
        data = applied(data, entry);
    replaceFile(path, data, former ? &former->second : nullptr);
}

void ProfileStore::write(const QString &section, const QString &key, const QString &value,
                         const QString &path)
{
    write(QList<ProfileEntry>{{section, key, value}}, path);
}

void writeProfileValues(const QList<ProfileEntry> &entries, const QString &path,
                        MessageService &messages)
{
    try {
        ProfileStore::write(entries, path);
    } catch (const FileError &error) {
        messages.show(QStringLiteral("写出错！"), MessageService::Icon::None, error.detail());
    }
}

void writeProfileValue(const QString &section, const QString &key, const QString &value,
                       const QString &path, MessageService &messages)
{
    writeProfileValues({{section, key, value}}, path, messages);
}

} // namespace vesko
