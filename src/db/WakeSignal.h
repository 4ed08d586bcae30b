#pragma once

namespace vesko::db {

// A file descriptor that another thread makes readable, so that a thread
// waiting in poll() on a socket wakes up at once.
class WakeSignal
{
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal &) = delete;
    WakeSignal &operator=(const WakeSignal &) = delete;

    // Safe from any thread.
    void raise() const;
    // Makes the descriptor unreadable again.
    void clear() const;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace vesko::db
