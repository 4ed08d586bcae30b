#include "core/platform/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko {

namespace {

constexpr int kConnectWaitMs = 2000;

// Only the user's own processes may ask, and be asked, to come forward.
bool peerIsThisUser(const QLocalSocket &socket)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
        && peer.uid == ::geteuid();
}

// A folder in which no other user can take a name first.
bool isPrivateFolder(const QString &path)
{
    struct stat status;
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
}

} // namespace

SingleInstance::SingleInstance(const QString &programDirectory, const QString &runtimeFolder, QObject *parent)
    : QObject(parent)
{
    const QString canonical = QFileInfo(programDirectory).canonicalFilePath();
    m_directory = canonical.isEmpty() ? programDirectory : canonical;
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    if (executable.canonicalPath() == m_directory)
        m_executable = executable.canonicalFilePath();

    const QString name =
        QStringLiteral("vesko-")
        + QString::fromLatin1(
            QCryptographicHash::hash(m_directory.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
    m_abstract = !isPrivateFolder(runtimeFolder);
    m_serverName = m_abstract ? name : runtimeFolder + u'/' + name;
}

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::userRuntimeFolder()
{
    return QStringLiteral("/run/user/%1").arg(::geteuid());
}

SingleInstance::Claim SingleInstance::acquire()
{
    if (!m_locks.isEmpty())
        return Claim::Only;
    // Always in this order: of two copies that start together, one wins.
    const struct
    {
        QString path;
        int flags;
    } targets[] = {{m_directory, O_DIRECTORY}, {m_executable, 0}};
    for (const auto &target : targets) {
        if (target.path.isEmpty())
            continue;
        const int fd = ::open(QFile::encodeName(target.path).constData(), O_RDONLY | O_CLOEXEC | target.flags);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_locks.append(fd);
            continue;
        }
        const bool heldByAnotherCopy = errno == EWOULDBLOCK;
        ::close(fd);
        if (heldByAnotherCopy) {
            release();
            return Claim::AnotherRuns;
        }
    }
    if (m_locks.isEmpty())
        return Claim::CannotTell;
    listen();
    return Claim::Only;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            hear(socket);
    });
    if (m_abstract) {
        m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    } else {
        // Only this user can have left a socket here, and the claim says
        // that no copy of ours still listens on it.
        QLocalServer::removeServer(m_serverName);
    }
    // Without the socket a second start still ends; it only cannot raise us.
    m_server->listen(m_serverName);
}

void SingleInstance::hear(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!peerIsThisUser(*socket)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        socket->disconnectFromServer();
        emit showRequested();
    });
}

void SingleInstance::askRunningCopyToShow()
{
    QLocalSocket socket;
    if (m_abstract)
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kConnectWaitMs))
        return;
    // Connecting asks nothing yet: the request is a byte, for our own user only.
    if (peerIsThisUser(socket)) {
        socket.write("!", 1);
        socket.waitForBytesWritten(kConnectWaitMs);
    }
    socket.disconnectFromServer();
}

void SingleInstance::release()
{
    for (const int fd : std::as_const(m_locks))
        ::close(fd);
    m_locks.clear();
}

} // namespace vesko
