#include "core/search/PickListReader.h"

#include "core/config/TextEncoding.h"
#include "core/platform/RegularFile.h"

#include <utility>

namespace vesko {

namespace {

bool canBeFileName(const QString &columnName)
{
    return columnName != u"." && columnName != u".." && !columnName.contains(u'/') && !columnName.contains(u'\\')
        && !columnName.contains(QChar(0));
}

// The lines of a text, or nothing when there are more than kMaxEntries.
std::optional<QStringList> lines(QStringView text)
{
    QStringList out;
    qsizetype begin = 0;
    // The last line counts also without a line end.
    while (begin < text.size()) {
        if (out.size() == PickListReader::kMaxEntries)
            return std::nullopt;
        qsizetype end = begin;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        out.append(text.sliced(begin, end - begin).toString());
        begin = end;
        if (begin < text.size() && text[begin] == u'\r')
            ++begin;
        if (begin < text.size() && text[begin] == u'\n')
            ++begin;
    }
    return out;
}

} // namespace

PickListReader::PickListReader(ProgramDirectory programDirectory)
    : m_programDirectory(std::move(programDirectory))
{
}

std::optional<QStringList> PickListReader::read(const QString &columnName) const
{
    if (!canBeFileName(columnName))
        return std::nullopt;
    const QString path =
        m_programDirectory.file(QStringLiteral("set_info/bg_info/field_list/") + columnName + QStringLiteral(".flt"));
    try {
        const QByteArray bytes = readRegularFile(path, kMaxBytes);
        return lines(decode(bytes, encodingOf(bytes)));
    } catch (const FileError &) {
        return std::nullopt;
    }
}

int PickListReader::listHeight(qsizetype entryCount)
{
    return entryCount < 10 ? 100 : 200;
}

} // namespace vesko
