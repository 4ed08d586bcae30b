#pragma once

#include <QString>

#include <atomic>
#include <thread>

namespace vesko::test {

// A TCP proxy in front of a PostgreSQL server that passes sessions through
// and takes every cancel request without ever answering it, as a broken
// middlebox would. One thread of its own, from construction to destruction.
class CancelSwallowingProxy
{
public:
    CancelSwallowingProxy(const QString &host, quint16 port);
    ~CancelSwallowingProxy();
    CancelSwallowingProxy(const CancelSwallowingProxy &) = delete;
    CancelSwallowingProxy &operator=(const CancelSwallowingProxy &) = delete;

    quint16 port() const { return m_port; }
    int cancelsSwallowed() const { return m_swallowed.load(); }

private:
    void serve(const QString &host, quint16 port);

    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<int> m_swallowed{0};
    std::thread m_thread;
};

} // namespace vesko::test
