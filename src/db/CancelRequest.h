#pragma once

#include <atomic>
#include <memory>
#include <mutex>

namespace vesko::db {

class Connection;

// The request to stop one statement. It is made before the statement starts
// and shared by the thread that runs it and whoever may cancel it, so that a
// cancel is never lost: one that comes before the statement reaches the
// engine stops it there, one that comes while it runs reaches the engine at
// once, and it stays in force until the statement ends.
class CancelRequest
{
public:
    // Safe from any thread; never blocks on the engine.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }

private:
    friend class Connection;
    // The connection runs the statement from attach() to detach(); attach()
    // refuses when the request came first.
    bool attach(Connection *running);
    void detach();

    std::mutex m_lock;
    std::atomic<bool> m_cancelled{false};
    Connection *m_running = nullptr;
};

using CancelRequestPtr = std::shared_ptr<CancelRequest>;

} // namespace vesko::db
