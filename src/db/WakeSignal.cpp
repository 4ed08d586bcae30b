#include "db/WakeSignal.h"

#include "db/DbError.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <sys/eventfd.h>
#include <unistd.h>

namespace vesko::db {

WakeSignal::WakeSignal()
    : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        throw DbError(text::systemCallFailed("eventfd", QString::fromLocal8Bit(std::strerror(errno))));
}

WakeSignal::~WakeSignal()
{
    close(m_fd);
}

void WakeSignal::raise() const
{
    const std::uint64_t one = 1;
    // A full counter is already readable: nothing is lost when this fails.
    [[maybe_unused]] const ssize_t written = write(m_fd, &one, sizeof one);
}

void WakeSignal::clear() const
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_fd, &count, sizeof count);
}

} // namespace vesko::db
