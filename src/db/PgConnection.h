#pragma once

#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/HandlePtr.h"

struct pg_conn;
extern "C" void PQfinish(pg_conn *);

namespace vesko::db {

// A connection to a PostgreSQL server through libpq. Every session reads
// string literals by the standard (a backslash is an ordinary character)
// and writes dates in ISO style, whatever the server's defaults.
class PgConnection final : public Connection
{
public:
    // Host, Port, Database, User ID and Password map to libpq's host, port,
    // dbname, user and password; other keys go to libpq as they are.
    // Throws DbError with the server's text when the connection fails.
    explicit PgConnection(const ConnectionString &settings);

protected:
    ResultPtr run(const QString &statement) override;

private:
    HandlePtr<pg_conn, PQfinish> m_connection;
};

} // namespace vesko::db
