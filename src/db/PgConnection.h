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
    // A statement that receives nothing for this long fails.
    static constexpr int kSilenceLimitMs = 30000;
    // How long a cancelled statement waits for the server to confirm.
    static constexpr int kCancelGraceMs = 1000;

    // The next result of the running statement, null after the last one.
    // Throws DbError for an error result, once the statement has ended.
    PgResultPtr nextResult();
    void waitUntilReady();
    void sendCancel() const;
    DbError failure(const pg_result *result);

    HandlePtr<pg_conn, PQfinish> m_connection;
    std::shared_ptr<pg_cancel> m_cancel;
    WakeSignal m_wake;
    // When a cancelled statement stops waiting for the server; forever
    // while no cancel was asked for.
    QDeadlineTimer m_giveUpAt;
    // Set once the connection can no longer take a statement.
    bool m_lost = false;
};

} // namespace vesko::db
