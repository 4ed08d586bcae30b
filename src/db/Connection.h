#pragma once

#include "db/DbError.h"
#include "db/Dialect.h"
#include "db/Result.h"

#include <QString>

#include <memory>

namespace vesko::db {

// An open connection to one engine. Statements run synchronously and give a
// complete snapshot.
class Connection
{
public:
    virtual ~Connection() = default;

    // Opens a connection from a connection string such as
    //   Provider=SQLite;Data Source=registry.db
    //   Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=...
    //   Provider=ODBC;DSN=...   (or any string with a DSN or Driver key)
    // A relative SQLite path is taken from programDir. Throws DbError, with
    // the engine's own text, on any failure.
    static std::shared_ptr<Connection> open(const QString &connectionString,
                                            const QString &programDir);

    // Runs a statement and returns its snapshot; a statement without a result
    // set (an update, say) is carried out and gives a result that is not open.
    // #...# date literals are rewritten for the engine first. Throws DbError.
    virtual ResultPtr execute(const QString &statement) = 0;

    // How a composed search statement writes dates and patterns here.
    const Dialect &dialect() const { return m_dialect; }

protected:
    explicit Connection(Dialect dialect)
        : m_dialect(dialect)
    {
    }
    void setDialect(Dialect dialect) { m_dialect = dialect; }

private:
    Dialect m_dialect;
};

using ConnectionPtr = std::shared_ptr<Connection>;

} // namespace vesko::db
