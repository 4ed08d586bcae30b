#pragma once

#include "core/platform/ProgramDirectory.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vesko {

// The entries of one column's pick-list file.
struct PickList
{
    QStringList entries;     // the lines in file order, verbatim
    bool found = false;      // something exists at the column's path
    bool completed = false;  // the file was read to its end
};

// Reads pick-list files: set_info/bg_info/field_list/<column name>.flt under
// the program directory, GBK text, one entry per line. Lines end with CR LF,
// a lone CR or a lone LF; a final line end adds no entry; blanks, empty lines
// and repeats are kept; an empty file has no entries. Nothing is cached: each
// read opens the file anew.
class PickListReader
{
public:
    explicit PickListReader(ProgramDirectory programDirectory);

    // The file of a column, or none when the name cannot be a file of the
    // list folder: it holds "/", "\\" or NUL, or is "." or "..".
    std::optional<QString> path(const QString &columnName) const;

    // A column without a usable name or without a file gives found = false
    // and no entries. A file that cannot be opened or fails part-way gives
    // the entries read so far with completed = false.
    PickList read(const QString &columnName) const;

    // The height of the list in pixels: 100 for fewer than 10 entries, else 200.
    static int listHeight(qsizetype entryCount);

private:
    ProgramDirectory m_programDirectory;
};

} // namespace vesko
