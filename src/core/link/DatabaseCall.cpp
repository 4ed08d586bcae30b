#include "core/link/DatabaseCall.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <thread>

namespace vesko {

namespace {

// Cancelled engines that do not stop within this time are left behind, so
// that the window is usable again well within a second.
constexpr int kAbandonAfterMs = 500;

} // namespace

// What the call's thread and the waiting side share; it outlives an
// abandoned call.
struct DatabaseCall::Shared
{
    DatabaseCall::Job job;
    std::exception_ptr error;
    std::atomic<bool> done = false;
    std::thread thread;
};

DatabaseCall::DatabaseCall(Job job, std::function<void()> cancelEngine, std::function<qint64()> rowsFetched)
    : m_shared(std::make_shared<Shared>())
    , m_cancelEngine(std::move(cancelEngine))
    , m_rowsFetched(std::move(rowsFetched))
{
    m_shared->job = std::move(job);
}

DatabaseCall::~DatabaseCall()
{
    if (!m_shared->thread.joinable())
        return;
    if (m_shared->done)
        m_shared->thread.join();
    else
        m_shared->thread.detach();
}

void DatabaseCall::start()
{
    m_clock.start();
    QPointer<DatabaseCall> self(this);
    std::shared_ptr<Shared> shared = m_shared;
    shared->thread = std::thread([shared, self] {
        try {
            shared->job();
        } catch (...) {
            // Handed over whole to the waiting side, which rethrows it.
            shared->error = std::current_exception();
        }
        shared->job = nullptr;
        shared->done = true;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self] {
                if (self)
                    self->finish();
            },
            Qt::QueuedConnection);
    });
}

qint64 DatabaseCall::rowsFetched() const
{
    return m_rowsFetched ? m_rowsFetched() : 0;
}

void DatabaseCall::rethrow() const
{
    if (!m_cancelled && m_shared->error)
        std::rethrow_exception(m_shared->error);
}

void DatabaseCall::cancel()
{
    if (m_finished || m_cancelled)
        return;
    m_cancelled = true;
    if (m_cancelEngine)
        m_cancelEngine();
    QTimer::singleShot(kAbandonAfterMs, this, [this] {
        if (!m_finished) {
            m_finished = true;
            m_abandoned = true;
            emit finished();
        }
    });
}

void DatabaseCall::finish()
{
    // An abandoned call has already finished for its waiter.
    if (m_finished)
        return;
    m_finished = true;
    emit finished();
}

} // namespace vesko
