#include "core/platform/RegularFile.h"

#include "texts/Texts.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko {

QString systemReason(int error)
{
    return text::kSystemSaid + QString::fromLocal8Bit(std::strerror(error));
}

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileError::FileError(Kind kind, const QString &path, const QString &reason)
    : std::runtime_error(text::fileFailed(path, reason).toStdString())
    , m_kind(kind)
{
}

QString FileError::detail() const
{
    return QString::fromStdString(what());
}

QByteArray readRegularFile(const QString &path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    const FileDescriptor fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        const int error = errno;
        throw FileError(error == ENOENT || error == ENOTDIR ? FileError::Kind::Missing : FileError::Kind::Failed, path,
                        systemReason(error));
    }
    struct stat info
    {
    };
    if (::fstat(fd.get(), &info) != 0)
        throw FileError(FileError::Kind::Failed, path, systemReason(errno));
    if (!S_ISREG(info.st_mode))
        throw FileError(FileError::Kind::NotRegular, path, text::kNotRegularFile);
    if (info.st_size > maxBytes)
        throw FileError(FileError::Kind::TooLarge, path, text::largerThan(maxBytes));

    QByteArray bytes;
    bytes.resize(qsizetype(info.st_size));
    qsizetype filled = 0;
    // The file may grow while it is read: never beyond the cap.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= maxBytes + 1)
                throw FileError(FileError::Kind::TooLarge, path, text::largerThan(maxBytes));
            bytes.resize(qMin<qint64>(maxBytes + 1, qMax<qint64>(bytes.size() * 2, 4096)));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, std::size_t(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(FileError::Kind::Failed, path, systemReason(errno));
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

} // namespace vesko
