#pragma once

#include "db/Connection.h"

#include <memory>

namespace vesko::db {

// A connection through the ODBC driver manager; the connection string goes
// to the driver as it is, with its data source written out as it is on disk
// now (withDataSourceWrittenOut), except that PostgreSQL's driver is told to
// read results through a cursor unless the string sets UseDeclareFetch, and
// to name the session as its application_name key says, or else vesko.
// Each statement runs in a transaction of its own.
//
// A cancel is passed to the driver by a thread of its own, which repeats
// SQLCancel every 250 ms while the statement runs, since a driver may block
// in it and may drop one that comes before the statement starts.
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
    static constexpr int kCancelRepeatMs = 250;

    void connect(const QString &connectionString);
    // The dialect from the name the driver gives its database system.
    void detectDialect();
    // Runs the statement and reads its rows; the caller ends the transaction.
    ResultPtr runStatement(const QString &statement);

    // Sets the MySQL family's own limit to the command timeout.
    void limitStatementTime();

    // The time limit the server was last told; -1 before.
    int m_serverTimeoutSeconds = -1;
    struct Handles;
    // Shared with the cancelling thread, which may outlive the connection.
    std::shared_ptr<Handles> m_handles;
};

} // namespace vesko::db
