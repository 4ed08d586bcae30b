#pragma once

#include "core/platform/RegularFile.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vesko {

class MessageService;

// One key=value in a section of a profile file. An entry marked atEnd is
// moved to the end of the file: its section (with the section's other
// entries) goes last, and the entry last within it.
struct ProfileEntry
{
    QString section;
    QString key;
    QString value;
    bool atEnd = false;
};

// A key in a section of a profile file.
struct ProfileKey
{
    QString section;
    QString key;
};

// The program's only access to profile (INI) files. Every call names the file;
// nothing is cached and no file is held open between calls.
//
// Files are GBK text, or UTF-8 where an administrator saved one so (see
// encodingOf). A line "[name]" opens a section; a line "key=value" inside it
// is an entry (the value is what follows the first '='). Section and key
// names match without regard to ASCII letter case; blanks around names and
// values are ignored on reading; the first match counts.
//
// Only regular files of at most kMaxFileSize bytes are read: a FIFO, a
// device or a larger file counts as unreadable. Reading and writing take
// time and memory in proportion to the file's size.
class ProfileStore
{
public:
    // The text read when the file, the section or the key does not exist.
    static inline const QString kNotSet = QStringLiteral("-1");
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

    enum class Encoding {
        AsFound, // the file's own: GBK, or UTF-8 for a file in UTF-8; GBK for a new file
        Gbk,     // GBK, whatever the file looks like
    };

    // The stored value, whole, or kNotSet. Never fails, never creates the file;
    // an unreadable file reads as a missing one.
    static QString read(const QString &section, const QString &key, const QString &path);
    // The values of several keys, in one pass over the file.
    static QStringList read(const QList<ProfileKey> &keys, const QString &path);

    // Stores each entry in turn: an existing entry is replaced in place, a
    // new one goes to the end of its section, a new section to the end of the
    // file, a missing file is created (CR LF line ends). A section that is
    // written keeps its first occurrence only, and each key written its first
    // line, so that a reader that takes another duplicate reads the same.
    // Every other byte of the file stays as it was. Control characters in a
    // value (line breaks included, a tab excepted) become blanks.
    //
    // All entries reach the file in one replacement of the whole file, so a
    // reader sees the former file or the new one, never a mixture; the mode
    // is kept, and the owner wherever the writer may give a file away (root).
    // Where the folder forbids a new file beside the old one, the file is
    // rewritten in place instead: its new size is reserved first, then the
    // bytes are written and flushed, and the file is cut to its new length
    // last, so a full disk or a size limit leaves the former file as it was.
    // A kill in the middle of that rewrite can still leave a mixture, the new
    // bytes up to some point and the former ones (or zeros) after them, until
    // the next write; no way around that exists without a second file.
    //
    // Throws FileError, leaving the former file as it was, when the file is
    // unreadable, read-only, or cannot be written whole, and (TooLarge) when
    // the new file would be larger than kMaxFileSize and so could not be
    // read back.
    static void write(const QList<ProfileEntry> &entries, const QString &path, Encoding encoding = Encoding::AsFound);
    static void write(const QString &section, const QString &key, const QString &value, const QString &path);

    // Replaces the file, whatever it holds and however large it is, by a GBK
    // file that holds these entries alone, in the same way as write.
    static void replace(const QList<ProfileEntry> &entries, const QString &path);
};

// Shows "写出错！" (no icon) with the file and the system's reason as detail.
void showWriteError(const FileError &error, MessageService &messages);

// Writes the entries; a failed write shows "写出错！". Returns whether the
// entries are in the file.
bool writeProfileValues(const QList<ProfileEntry> &entries, const QString &path, MessageService &messages,
                        ProfileStore::Encoding encoding = ProfileStore::Encoding::AsFound);
void writeProfileValue(const QString &section, const QString &key, const QString &value, const QString &path,
                       MessageService &messages);

} // namespace vesko
