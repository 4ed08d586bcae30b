#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

namespace vesko {

// The system's own text for an errno value, under the program's heading.
QString systemReason(int error);

// A file of the program directory that could not be read or written. what()
// names the file and the system's reason, for a message box's detail.
class FileError : public std::runtime_error
{
public:
    enum class Kind {
        Missing,    // nothing at the path
        NotRegular, // a FIFO, a device, a directory, or a link to one
        TooLarge,   // larger than the reader's cap
        Failed,     // the system refused a read or a write
    };

    FileError(Kind kind, const QString &path, const QString &reason);

    Kind kind() const { return m_kind; }
    // The file and the system's reason, as text::fileFailed words them.
    QString detail() const;

private:
    Kind m_kind;
};

// Owns a file descriptor: closed when it goes; negative for none.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads a whole regular file of at most maxBytes. The file is opened without
// blocking and checked on the open descriptor, so a FIFO or a device (or a
// link to one) is refused without waiting and without reading from it.
// Throws FileError.
QByteArray readRegularFile(const QString &path, qint64 maxBytes);

} // namespace vesko
