#include "core/config/ProfileStore.h"

#include "core/config/ProfileText.h"
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
    return ProfileText(data).value(section, key).value_or(kNotSet);
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
    ProfileText text(data);
    for (const ProfileEntry &entry : entries)
        text.store(entry);
    replaceFile(path, text.bytes(), former ? &former->second : nullptr);
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
