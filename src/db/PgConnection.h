#pragma once

#include "db/Connection.h"
#include "db/ConnectionString.h"

#include <memory>

struct pg_conn;

namespace vesko::db {

// A connection to a PostgreSQL server through libpq.
class PgConnection final : public Connection
{
public:
    // Host, Port, Database, User ID and Password map to libpq's host, port,
    // dbname, user and password; other keys go to libpq as they are.
    // Throws DbError with the server's text when the connection fails.
    explicit PgConnection(const ConnectionString &settings);

    ResultPtr execute(const QString &statement) override;

private:
    struct Finisher
    {
        void operator()(pg_conn *connection) const;
    };
    std::unique_ptr<pg_conn, Finisher> m_connection;
};

} // namespace vesko::db
