#pragma once

#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/HandlePtr.h"
#include "db/WakeSignal.h"

#include <QDeadlineTimer>

#include <memory>

struct pg_conn;
struct pg_cancel;
struct pg_result;
extern "C" void PQfinish(pg_conn *);
extern "C" void PQclear(pg_result *);

namespace vesko::db {

using PgResultPtr = HandlePtr<pg_result, PQclear>;

// A connection to a PostgreSQL server through libpq. Every session reads
// string literals by the standard (a backslash is an ordinary character),
// writes dates in ISO style, uses TCP keepalives and names itself vesko,
// unless the connection string says otherwise. Rows come over one at a time,
// so libpq never holds a whole result beside the snapshot.
//
// A cancel is sent at once and again every 250 ms while the statement runs,
// since a server ignores one that comes before the statement starts; rows
// that arrive meanwhile are dropped. Each request goes out from a child
// process that is killed after 2 seconds, as libpq's own request has no time
// limit. When the server has not ended the statement a second after the
// first request, or a request fails, the connection is closed; the server
// notices a closed connection within a second and ends the session.
class PgConnection final : public Connection
{
public:
    // Host, Port, Database, User ID and Password map to libpq's host, port,
    // dbname, user and password; other keys go to libpq as they are.
    // Throws DbError with the server's text when the connection fails.
    explicit PgConnection(const ConnectionString &settings);
    ~PgConnection() override;

protected:
    ResultPtr run(const QString &statement) override;
    void interrupt() override;

private:
    // How long a cancelled statement waits for the server to end it.
    static constexpr int kCancelGraceMs = 1000;
    static constexpr int kCancelRepeatMs = 250;
    static constexpr int kCancelRequestLimitSeconds = 2;

    struct CancelSending;

    // The next result of the running statement, null after the last one.
    // Throws DbError for an error result, once the statement has ended.
    PgResultPtr nextResult();
    // nextResult() for the rows of a result: once the statement is
    // cancelled it drops the rest and throws.
    PgResultPtr nextRow();
    void waitUntilReady();
    // Sends and repeats the cancel; gives the statement up when its time is
    // over.
    void pursueCancel();
    // Closes the connection, ending the session on the server.
    void giveUp();
    DbError failure(const pg_result *result);

    HandlePtr<pg_conn, PQfinish> m_connection;
    std::shared_ptr<pg_cancel> m_cancel;
    std::shared_ptr<CancelSending> m_sending;
    WakeSignal m_wake;
    // When a cancelled statement is given up, and when its cancel is sent
    // again; forever while no cancel was asked for.
    QDeadlineTimer m_giveUpAt;
    QDeadlineTimer m_resendAt;
    // Set once the connection can no longer take a statement.
    bool m_lost = false;
};

} // namespace vesko::db
