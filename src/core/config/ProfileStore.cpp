#include "core/config/ProfileStore.h"

#include "core/config/ProfileText.h"
#include "core/platform/MessageService.h"
#include "core/platform/RegularFile.h"
#include "texts/Texts.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko {

namespace {

// The status of the file to be written; nothing when there is none.
std::optional<struct stat> writableFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    }
    if (!S_ISREG(info.st_mode))
        throw FileError(FileError::Kind::NotRegular, path, text::kNotRegularFile);
    // A file marked read-only stays as it is, whoever runs the program.
    if (!(info.st_mode & S_IWUSR))
        throw FileError(FileError::Kind::Failed, path, systemReason(EACCES));
    if (::access(name.constData(), W_OK) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    return info;
}

// The new file takes the former one's owner and mode. Only root may give a
// file away; anyone else's new file stays theirs, as a copy of it would.
void keepOwnerAndMode(const QString &path, int fd, const struct stat &former)
{
    struct stat now
    {
    };
    if (::fstat(fd, &now) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    if ((now.st_uid != former.st_uid || now.st_gid != former.st_gid) && ::fchown(fd, former.st_uid, former.st_gid) != 0
        && errno != EPERM)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    if ((now.st_mode & 07777) != (former.st_mode & 07777) && ::fchmod(fd, former.st_mode & 07777) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
}

bool folderTakesNewFiles(const QString &path)
{
    return ::access(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK | X_OK) == 0;
}

// Rewrites the file through its own inode: the new size is reserved before
// a byte changes, and the file is cut to its new length only after the new
// bytes are on disk.
void rewriteInPlace(const QString &path, const QByteArray &bytes)
{
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info
    {
    };
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    if (!S_ISREG(info.st_mode))
        throw FileError(FileError::Kind::NotRegular, path, text::kNotRegularFile);
    const off_t former = info.st_size;
    const off_t size = bytes.size();
    if (size > former) {
        if (const int error = ::posix_fallocate(fd.get(), 0, size); error != 0) {
            // A file system may have grown the file part of the way.
            const bool undone = ::ftruncate(fd.get(), former) == 0;
            throw FileError(FileError::Kind::Failed, path, systemReason(undone ? error : errno));
        }
    }
    for (off_t done = 0; done < size;) {
        const ssize_t written = ::pwrite(fd.get(), bytes.constData() + done, std::size_t(size - done), done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(FileError::Kind::Failed, path, systemReason(errno));
        }
        done += written;
    }
    if (::fdatasync(fd.get()) != 0 || (size < former && ::ftruncate(fd.get(), size) != 0))
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
}

void replaceFile(const QString &path, const QByteArray &bytes, const struct stat *former)
{
    QSaveFile file(path);
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

// Never a file that could not be read back.
void store(const QString &path, const QByteArray &bytes, const std::optional<struct stat> &former)
{
    if (bytes.size() > ProfileStore::kMaxFileSize)
        throw FileError(FileError::Kind::TooLarge, path, text::tooLargeToReadBack(ProfileStore::kMaxFileSize));
    if (former && !folderTakesNewFiles(path))
        rewriteInPlace(path, bytes);
    else
        replaceFile(path, bytes, former ? &*former : nullptr);
}

} // namespace

QString ProfileStore::read(const QString &section, const QString &key, const QString &path)
{
    return read(QList<ProfileKey>{{section, key}}, path).first();
}

QStringList ProfileStore::read(const QList<ProfileKey> &keys, const QString &path)
{
    QByteArray data;
    try {
        data = readRegularFile(path, kMaxFileSize);
    } catch (const FileError &) {
        return QStringList(keys.size(), kNotSet);
    }
    QStringList values;
    for (const std::optional<QString> &value : ProfileText(data, encodingOf(data)).values(keys))
        values.append(value.value_or(kNotSet));
    return values;
}

void ProfileStore::write(const QList<ProfileEntry> &entries, const QString &path, Encoding encoding)
{
    const auto former = writableFile(path);
    const QByteArray data = former ? readRegularFile(path, kMaxFileSize) : QByteArray();
    const TextEncoding textEncoding = encoding == Encoding::Gbk ? TextEncoding::Gbk : encodingOf(data);
    store(path, ProfileText(data, textEncoding).withEntries(entries), former);
}

void ProfileStore::write(const QString &section, const QString &key, const QString &value, const QString &path)
{
    write(QList<ProfileEntry>{{section, key, value}}, path);
}

void ProfileStore::replace(const QList<ProfileEntry> &entries, const QString &path)
{
    store(path, ProfileText(QByteArrayView(), TextEncoding::Gbk).withEntries(entries), writableFile(path));
}

void showWriteError(const FileError &error, MessageService &messages)
{
    messages.show(text::kWriteFailed, MessageService::Icon::None, error.detail());
}

bool writeProfileValues(const QList<ProfileEntry> &entries, const QString &path, MessageService &messages,
                        ProfileStore::Encoding encoding)
{
    try {
        ProfileStore::write(entries, path, encoding);
        return true;
    } catch (const FileError &error) {
        showWriteError(error, messages);
        return false;
    }
}

void writeProfileValue(const QString &section, const QString &key, const QString &value, const QString &path,
                       MessageService &messages)
{
    writeProfileValues({{section, key, value}}, path, messages);
}

} // namespace vesko
