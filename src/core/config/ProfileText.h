#pragma once

#include "core/config/ProfileStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vesko {

// The bytes of a profile file held as lines, with section and key names
// decoded once, so that many entries are read or stored in one pass over the
// file each. Every byte that no entry changes stays as it was.
class ProfileText
{
public:
    explicit ProfileText(QByteArrayView bytes);

    // The stored value, or nothing when the section or the key is missing.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Stores one entry by the rules of ProfileStore::write.
    void store(const ProfileEntry &entry);

    QByteArray bytes() const;

private:
    struct Line
    {
        QByteArray content;             // without its line end
        QByteArray end;                 // CR LF, LF, CR, or nothing at the end of the file
        std::optional<QString> section; // the name, for a section header
        std::optional<QString> key;     // the name, for a line with an '='
    };

    // Where a section and an entry stand, as line indexes.
    struct Place
    {
        qsizetype section = -1;
        qsizetype sectionEnd = -1; // the line after the section
        qsizetype entry = -1;
    };

    Place find(const QString &section, const QString &key) const;
    // Gives the line a line end when it has none (the last line of a file).
    void endLine(qsizetype index);

    QList<Line> m_lines;
    QByteArray m_eol; // the file's own line end, CR LF for a new file
};

} // namespace vesko
