#pragma once

#include "db/Connection.h"

#include <memory>

namespace vesko::db {

// A connection through the ODBC driver manager; the connection string goes
// to the driver as it is, except that PostgreSQL's driver is told to read
// results through a cursor unless the string sets UseDeclareFetch itself.
// Each statement runs in a transaction of its own.
class OdbcConnection final : public Connection
{
public:
    // Throws DbError with the driver's diagnostics when the connection fails.
    explicit OdbcConnection(const QString &connectionString);
    ~OdbcConnection() override;

protected:
    ResultPtr run(const QString &statement) override;
    void interrupt() override;

private:
    // A statement the driver gets no answer for fails after this long.
    static constexpr long kQueryTimeoutSeconds = 30;

    void connect(const QString &connectionString);
    // The dialect from the name the driver gives its database system.
    void detectDialect();
    // Runs the statement and reads its rows; the caller ends the transaction.
    ResultPtr runStatement(const QString &statement);

    struct Handles;
    std::unique_ptr<Handles> m_handles;
};

} // namespace vesko::db
