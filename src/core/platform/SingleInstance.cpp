#include "core/platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vesko {

namespace {

constexpr int kConnectWaitMs = 2000;

} // namespace

SingleInstance::SingleInstance(const QString &programDirectory, QObject *parent)
    : QObject(parent)
{
    const QString canonical = QFileInfo(programDirectory).canonicalFilePath();
    m_directory = canonical.isEmpty() ? programDirectory : canonical;
    // An abstract socket: no file to leave behind, no folder from the environment.
    const QByteArray hash = QCryptographicHash::hash(m_directory.toUtf8(), QCryptographicHash::Sha256).toHex();
    m_serverName = QStringLiteral("vesko-") + QString::fromLatin1(hash.left(32));
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::acquire()
{
    if (m_server)
        return true;
    // Only a lock that another copy holds refuses the start: where the
    // directory cannot be opened or locked we cannot tell, and refusing would
    // lock the desk out.
    const int fd = ::open(QFile::encodeName(m_directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
    } else if (fd >= 0) {
        const bool heldByAnotherCopy = errno == EWOULDBLOCK;
        ::close(fd);
        if (heldByAnotherCopy)
            return false;
    }

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            socket->deleteLater();
        emit showRequested();
    });
    // Without the socket a second start still ends; it only cannot raise us.
    m_server->listen(m_serverName);
    return true;
}

void SingleInstance::askRunningCopyToShow()
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_serverName);
    if (socket.waitForConnected(kConnectWaitMs))
        socket.disconnectFromServer();
}

} // namespace vesko
