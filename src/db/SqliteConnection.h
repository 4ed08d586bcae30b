#pragma once

#include "db/Connection.h"
#include "db/HandlePtr.h"

struct sqlite3;
extern "C" int sqlite3_close_v2(sqlite3 *);

namespace vesko::db {

// A connection to an SQLite file that must already exist.
class SqliteConnection final : public Connection
{
public:
    // Throws DbError when the file is missing or is not a database.
    explicit SqliteConnection(const QString &path);

protected:
    ResultPtr run(const QString &statement) override;
    void interrupt() override;

private:
    static int waitForLock(void *connection, int attempts);

    HandlePtr<sqlite3, sqlite3_close_v2> m_db;
};

} // namespace vesko::db
