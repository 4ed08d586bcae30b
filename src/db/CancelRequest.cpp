#include "db/CancelRequest.h"

#include "db/Connection.h"

namespace vesko::db {

void CancelRequest::cancel()
{
    m_cancelled = true;
    // Under the lock the connection cannot end the statement in between.
    const std::lock_guard lock(m_lock);
    if (m_running)
        m_running->interrupt();
}

bool CancelRequest::attach(Connection *running)
{
    const std::lock_guard lock(m_lock);
    if (m_cancelled)
        return false;
    m_running = running;
    return true;
}

void CancelRequest::detach()
{
    const std::lock_guard lock(m_lock);
    m_running = nullptr;
}

} // namespace vesko::db
