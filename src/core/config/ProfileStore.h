#pragma once

#include <QString>

namespace vesko {

class MessageService;

// The program's only access to profile (INI) files. Every call names the file;
// nothing is cached and no file is held open between calls.
//
// Files are GBK text. A line "[name]" opens a section; a line "key=value"
// inside it is an entry (the value is what follows the first '='). Section
// and key names match without regard to ASCII letter case; blanks around
// names and values are ignored on reading; the first match counts.
class ProfileStore
{
public:
    // The text read when the file, the section or the key does not exist.
    static inline const QString kNotSet = QStringLiteral("-1");

    // The stored value, whole, or kNotSet. Never fails, never creates the file.
    static QString read(const QString &section, const QString &key, const QString &path);

    // Stores key=value in section: an existing entry is replaced in place, a
    // new one goes to the end of its section, a new section to the end of the
    // file, a missing file is created (CR LF line ends). Every other byte of
    // the file stays as it was. A line break in the value becomes a blank.
    // The file is replaced as a whole, so a reader never sees half a write.
    // Returns false, leaving the former file untouched, when it cannot write.
    static bool write(const QString &section, const QString &key, const QString &value,
                      const QString &path);
};

// Writes one value; a failed write shows "写出错！" (no icon) and
// the caller is not told.
void writeProfileValue(const QString &section, const QString &key, const QString &value,
               const QString &path, MessageService &messages);

} // namespace vesko
