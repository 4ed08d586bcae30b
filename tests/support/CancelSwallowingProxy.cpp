#include "support/CancelSwallowingProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace vesko::test {

namespace {

// The first eight bytes of a cancel request: its length, then its code.
constexpr quint32 kCancelLength = 16;
constexpr quint32 kCancelCode = 80877102;

bool isCancelRequest(int client)
{
    unsigned char head[8];
    if (recv(client, head, sizeof head, MSG_PEEK | MSG_WAITALL) != sizeof head)
        return false;
    quint32 length;
    quint32 code;
    std::memcpy(&length, head, 4);
    std::memcpy(&code, head + 4, 4);
    return ntohl(length) == kCancelLength && ntohl(code) == kCancelCode;
}

int connectTo(const QString &host, quint16 port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

CancelSwallowingProxy::CancelSwallowingProxy(const QString &host, quint16 port)
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(m_listener, reinterpret_cast<sockaddr *>(&address), size);
    listen(m_listener, 16);
    getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size);
    m_port = ntohs(address.sin_port);
    [[maybe_unused]] const int piped = pipe2(m_stop, O_CLOEXEC);
    m_thread = std::thread([this, host, port] { serve(host, port); });
}

CancelSwallowingProxy::~CancelSwallowingProxy()
{
    [[maybe_unused]] const ssize_t written = write(m_stop[1], "x", 1);
    m_thread.join();
    close(m_stop[0]);
    close(m_stop[1]);
    close(m_listener);
}

void CancelSwallowingProxy::serve(const QString &host, quint16 port)
{
    // Pairs of client and server sockets; a swallowed cancel has no server.
    std::vector<std::pair<int, int>> links;
    for (;;) {
        std::vector<pollfd> watched = {{m_stop[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (const auto &[client, server] : links) {
            watched.push_back({client, POLLIN, 0});
            if (server >= 0)
                watched.push_back({server, POLLIN, 0});
        }
        if (poll(watched.data(), watched.size(), -1) < 0)
            continue;
        if (watched[0].revents)
            break;
        if (watched[1].revents & POLLIN) {
            const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (isCancelRequest(client)) {
                ++m_swallowed;
                links.emplace_back(client, -1);
            } else {
                links.emplace_back(client, connectTo(host, port));
            }
        }
        std::vector<std::pair<int, int>> open;
        for (const auto &[client, server] : links) {
            bool closed = false;
            for (const pollfd &p : watched) {
                if (!p.revents || (p.fd != client && p.fd != server))
                    continue;
                char buffer[65536];
                const ssize_t got = read(p.fd, buffer, sizeof buffer);
                const int to = p.fd == client ? server : client;
                if (got <= 0 || (to >= 0 && write(to, buffer, size_t(got)) != got))
                    closed = true;
            }
            if (closed) {
                close(client);
                if (server >= 0)
                    close(server);
            } else {
                open.emplace_back(client, server);
            }
        }
        links = std::move(open);
    }
    for (const auto &[client, server] : links) {
        close(client);
        if (server >= 0)
            close(server);
    }
}

} // namespace vesko::test
