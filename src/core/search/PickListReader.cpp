#include "core/search/PickListReader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace vesko {

namespace {

// Splits decoded text into lines as it arrives; a CR LF split across two
// chunks still ends one line.
class LineSplitter
{
public:
    explicit LineSplitter(QStringList &lines) : m_lines(lines) {}

    void add(QStringView text)
    {
        for (const QChar c : text) {
            if (c == u'\n') {
                if (!m_afterCr)
                    endLine();
                m_afterCr = false;
            } else if (c == u'\r') {
                endLine();
                m_afterCr = true;
            } else {
                m_line += c;
                m_afterCr = false;
            }
        }
    }

    // The last line counts also without a line end, but a final line end
    // starts no further entry.
    void finish()
    {
        if (!m_line.isEmpty())
            m_lines.append(m_line);
    }

private:
    void endLine()
    {
        m_lines.append(m_line);
        m_line.clear();
    }

    QStringList &m_lines;
    QString m_line;
    bool m_afterCr = false;
};

} // namespace

PickListReader::PickListReader(ProgramDirectory programDirectory)
    : m_programDirectory(std::move(programDirectory))
{
}

std::optional<QString> PickListReader::path(const QString &columnName) const
{
    if (columnName == u"." || columnName == u".." || columnName.contains(u'/')
        || columnName.contains(u'\\') || columnName.contains(QChar(0)))
        return std::nullopt;
    return m_programDirectory.file(QStringLiteral("set_info/bg_info/field_list/")
                                   + columnName + QStringLiteral(".flt"));
}

PickList PickListReader::read(const QString &columnName) const
{
    PickList list;
    const std::optional<QString> file = path(columnName);
    if (!file || !QFileInfo::exists(*file))
        return list;
    list.found = true;

    QFile in(*file);
    if (!in.open(QIODevice::ReadOnly))
        return list;

    QStringDecoder decoder("GB18030");
    LineSplitter lines(list.entries);
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            return list;
        if (n == 0)
            break;
        const QString text = decoder.decode(QByteArrayView(buffer, n));
        lines.add(text);
    }
    lines.finish();
    list.completed = true;
    return list;
}

int PickListReader::listHeight(qsizetype entryCount)
{
    return entryCount < 10 ? 100 : 200;
}

} // namespace vesko
