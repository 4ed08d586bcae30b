#pragma once

#include "core/config/ProfileStore.h"
#include "core/config/TextEncoding.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vesko {

// The bytes of a profile file, read and edited in one pass over them each
// time, with no copy of its lines: the time and memory a file takes grow
// with its size alone. Names are compared as bytes in the file's encoding,
// ASCII letters without regard to case. Every byte that no entry changes
// stays as it was, a byte order mark included.
class ProfileText
{
public:
    // The bytes must outlive the object.
    ProfileText(QByteArrayView bytes, TextEncoding encoding);

    // The stored value of each key, or nothing when its section or the key
    // is missing.
    QList<std::optional<QString>> values(const QList<ProfileKey> &keys) const;

    // The file with the entries stored by the rules of ProfileStore::write.
    QByteArray withEntries(const QList<ProfileEntry> &entries) const;

private:
    QByteArrayView m_byteOrderMark;
    QByteArrayView m_lines; // the rest of the file
    TextEncoding m_encoding;
    QByteArray m_eol; // the file's own line end, CR LF for a new file
};

} // namespace vesko
