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
// The model, for every database call of the program:
// - Threads. The window's thread owns every widget and all state, starts the
//   call, waits for it in a nested event loop (CallWaiter) and is the only
//   one to read its outcome. The call's thread owns only what the job holds:
//   its connection and the snapshot it builds, handed over when it finishes.
//   A cancel reaches the engine through a db::CancelRequest made before the
//   call starts, so that a cancel at any moment, before the engine starts
//   included, stops that call's statement. PostgreSQL's cancel requests and
//   ODBC's SQLCancel go out from threads of their own; the window's thread
//   never waits on an engine.
// - Timeouts. 500 ms: a cancelled call the engine has not ended by then is
//   abandoned. 1 s: a cancelled PostgreSQL statement the server has not ended
//   by then is given up and its connection closed (each cancel request is
//   repeated every 250 ms and may take 2 s). 30 s: a statement that receives
//   nothing for this long fails (Command Timeout in the connection string
//   changes it, 0 for none). 15 s: a connect that gets no answer fails. 5 s:
//   an SQLite file locked by another program is waited for this long.
// - What is left. A cancel the engine answered leaves the connection ready
//   for the next statement and drops the rows fetched so far. An abandoned
//   call counts as finished and cancelled; its thread stops fetching at the
//   next batch of rows and ends on its own with its connection, which the
//   caller no longer uses. A lost connection gives DbError of kind
//   ConnectionLost and is replaced by a fresh one.
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
