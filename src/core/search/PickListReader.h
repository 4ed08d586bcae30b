#pragma once

#include "core/platform/ProgramDirectory.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vesko {

// Reads pick-list files: set_info/bg_info/field_list/<column name>.flt under
// the program directory, GBK text (or UTF-8, see encodingOf, without its
// byte order mark), one entry per line. Lines end with CR LF,
// a lone CR or a lone LF; a final line end adds no entry; blanks, empty lines
// and repeats are kept; an empty file has no entries. Nothing is cached: each
// read opens the file anew.
class PickListReader
{
public:
    // A pick list holds at most this many bytes and entries: far more than
    // a desk's lists, and few enough to be read and shown at every focus of
    // a box in a fraction of a second.
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    static constexpr qsizetype kMaxEntries = 50000;

    explicit PickListReader(ProgramDirectory programDirectory);

    // The entries in file order, verbatim. A list counts as missing (none)
    // when the column's name cannot be a file of the list folder ("/", "\\"
    // or NUL in it, or "." or ".."), or its file is not a regular file, is
    // larger than kMaxBytes, holds more than kMaxEntries or cannot be read.
    // Never blocks on a FIFO.
    std::optional<QStringList> read(const QString &columnName) const;

    // The height of the list in pixels: 100 for fewer than 10 entries, else 200.
    static int listHeight(qsizetype entryCount);

private:
    ProgramDirectory m_programDirectory;
};

} // namespace vesko
