#pragma once

#include "db/Connection.h"
#include "db/HandlePtr.h"

#include <QDeadlineTimer>

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
    // Called by SQLite every few hundred steps of its machine; stops the
    // statement once it is cancelled or silent for too long.
    static int checkProgress(void *connection);

    HandlePtr<sqlite3, sqlite3_close_v2> m_db;
    // When the running statement has gone too long without a row.
    QDeadlineTimer m_silentUntil;
    bool m_silenceExpired = false;
};

} // namespace vesko::db
