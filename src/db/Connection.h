#pragma once

#include "db/CancelRequest.h"
#include "db/DbError.h"
#include "db/Dialect.h"
#include "db/Result.h"

#include <QString>

#include <atomic>
#include <memory>

namespace vesko::db {

// An open connection to one engine. Statements run synchronously, one thread
// at a time, and give a complete snapshot; another thread may watch the rows
// come in and cancel through the statement's CancelRequest. A failure of kind
// ConnectionLost asks for a new connection; the connection that gave it only
// repeats it.
class Connection
{
public:
    virtual ~Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens a connection from a connection string such as
    //   Provider=SQLite;Data Source=registry.db
    //   Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=...
    //   Provider=ODBC;DSN=...   (or any string with a DSN or Driver key)
    // A relative SQLite path is taken from programDir. The key
    // Command Timeout=<seconds> (any engine; 0 for none) sets how long a
    // statement may go without receiving anything, 30 seconds unless given.
    // Throws DbError, with the engine's own text, on any failure.
    static std::shared_ptr<Connection> open(const QString &connectionString, const QString &programDir);

    // Runs one statement and returns its snapshot; a statement without a
    // result set (an update, say) is carried out and gives a result that is
    // not open. The text reaches the engine byte for byte.
    //
    // Exactly one statement runs. A text holding a second statement is
    // refused with DbError and none of its statements takes effect: SQLite
    // and PostgreSQL refuse it before anything runs; through ODBC a driver
    // that runs them all has its work rolled back (a COMMIT among them is
    // beyond recall). A blank text, or one with a NUL character, is refused
    // before the engine sees it. Throws DbError.
    //
    // A cancel of the request ends the statement with DbError of kind
    // Cancelled, whenever it comes: a request cancelled before the call runs
    // nothing. The rows fetched so far are dropped at the next batch.
    ResultPtr execute(const QString &statement, CancelRequestPtr cancel = {});

    // How a composed search statement writes dates and patterns here.
    const Dialect &dialect() const { return m_dialect; }

    // Rows the running statement has fetched so far; safe from any thread.
    qint64 rowsFetched() const { return m_rowsFetched.load(std::memory_order_relaxed); }

    // The failure of a cancelled statement, in the same words on every engine.
    static DbError cancelledError();

    static constexpr int kDefaultCommandTimeoutSeconds = 30;

protected:
    explicit Connection(Dialect dialect)
        : m_dialect(dialect)
    {
    }
    void setDialect(Dialect dialect) { m_dialect = dialect; }

    // The engine's own run of one statement that is neither blank nor holds
    // a NUL character.
    virtual ResultPtr run(const QString &statement) = 0;

    // Passes a cancel to the engine while run() works; called on the
    // cancelling thread, which it must not keep waiting.
    virtual void interrupt() = 0;

    // Whether the running statement was cancelled; on the statement's thread.
    bool cancelRequested() const { return m_cancel && m_cancel->isCancelled(); }
    // Seconds a statement may go without receiving anything; 0 for no limit.
    int commandTimeoutSeconds() const { return m_commandTimeoutSeconds; }

    std::atomic<qint64> &fetchCounter() { return m_rowsFetched; }

    // The failures every engine reports in the same words.
    static DbError emptyStatementError();
    static DbError severalStatementsError();
    static DbError silenceError(int seconds);

private:
    friend class CancelRequest;

    Dialect m_dialect;
    std::atomic<qint64> m_rowsFetched{0};
    CancelRequestPtr m_cancel;
    int m_commandTimeoutSeconds = kDefaultCommandTimeoutSeconds;
};

using ConnectionPtr = std::shared_ptr<Connection>;

} // namespace vesko::db
