#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <exception>
#include <functional>
#include <memory>

namespace vesko {

// One connect or statement run on a thread of its own while the window's
// thread waits for it and keeps painting. The job may throw; rethrow() gives
// its exception back on the waiting side.
//
// cancel() asks the engine to stop; when the engine does not answer within
// half a second the call is abandoned: it counts as finished and cancelled, and
// its thread ends on its own later, with everything the job holds.
class DatabaseCall : public QObject
{
    Q_OBJECT

public:
    using Job = std::function<void()>;

    // job runs on the call's thread; cancelEngine (may be empty) runs on the
    // caller's thread and must be safe while the job runs; rowsFetched (may
    // be empty) tells the rows fetched so far.
    DatabaseCall(Job job, std::function<void()> cancelEngine, std::function<qint64()> rowsFetched);
    ~DatabaseCall() override;

    void start();
    bool isFinished() const { return m_finished; }
    bool wasCancelled() const { return m_cancelled; }
    // Cancelled, and the engine did not stop in time: whatever the job used
    // (its connection) is lost to the caller.
    bool wasAbandoned() const { return m_abandoned; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    qint64 rowsFetched() const;

    // Rethrows what the job threw; nothing when it ended normally.
    void rethrow() const;

public slots:
    void cancel();

signals:
    void finished();

private:
    struct Shared;
    void finish();

    std::shared_ptr<Shared> m_shared;
    std::function<void()> m_cancelEngine;
    std::function<qint64()> m_rowsFetched;
    QElapsedTimer m_clock;
    bool m_finished = false;
    bool m_cancelled = false;
    bool m_abandoned = false;
};

// How the window's thread waits for a call: returns once it is finished.
class CallWaiter
{
public:
    virtual ~CallWaiter() = default;
    virtual void waitFor(DatabaseCall &call) = 0;
};

} // namespace vesko
