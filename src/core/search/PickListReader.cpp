#include "core/search/PickListReader.h"

#include "core/config/Gbk.h"
#include "core/platform/RegularFile.h"

#include <utility>

namespace vesko {

namespace {

bool canBeFileName(const QString &columnName)
{
    return columnName != u"." && columnName != u".." && !columnName.contains(u'/')
            && !columnName.contains(u'\\') && !columnName.contains(QChar(0));
}

QStringList lines(QStringView text)
{
    QStringList out;
    QString line;
    bool afterCr = false;
    for (const QChar c : text) {
        if (c == u'\n') {
            if (!afterCr)
                out.append(std::exchange(line, QString()));
            afterCr = false;
        } else if (c == u'\r') {
            out.append(std::exchange(line, QString()));
            afterCr = true;
        } else {
            line += c;
            afterCr = false;
        }
    }
    // The last line counts also without a line end.
    if (!line.isEmpty())
        out.append(line);
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
    const QString path = m_programDirectory.file(QStringLiteral("set_info/bg_info/field_list/")
                                                 + columnName + QStringLiteral(".flt"));
    try {
        return lines(fromGbk(readRegularFile(path, kMaxBytes)));
    } catch (const FileError &) {
        return std::nullopt;
    }
}

int PickListReader::listHeight(qsizetype entryCount)
{
    return entryCount < 10 ? 100 : 200;
}

} // namespace vesko
