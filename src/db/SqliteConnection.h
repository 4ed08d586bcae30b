#pragma once

#include "db/Connection.h"

#include <memory>

struct sqlite3;

namespace vesko::db {

// A connection to an SQLite file that must already exist.
class SqliteConnection final : public Connection
{
public:
    // Throws DbError when the file is missing or is not a database.
    explicit SqliteConnection(const QString &path);

    ResultPtr execute(const QString &statement) override;

private:
    struct Closer
    {
        void operator()(sqlite3 *db) const;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
};

} // namespace vesko::db
