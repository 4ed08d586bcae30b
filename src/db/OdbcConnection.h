#pragma once

#include "db/Connection.h"

#include <memory>

namespace vesko::db {

// A connection through the ODBC driver manager; the connection string goes
// to the driver as it is.
class OdbcConnection final : public Connection
{
public:
    // Throws DbError with the driver's diagnostics when the connection fails.
    explicit OdbcConnection(const QString &connectionString);
    ~OdbcConnection() override;

    ResultPtr execute(const QString &statement) override;

private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
    // The Jet/Access engine reads #...# date literals itself.
    bool m_jet = false;
};

} // namespace vesko::db
