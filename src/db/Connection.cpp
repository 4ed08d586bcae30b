#include "db/Connection.h"

#include "db/ConnectionString.h"
#include "db/OdbcConnection.h"
#include "db/PgConnection.h"
#include "db/SqliteConnection.h"

#include <QDir>

namespace vesko::db {

std::shared_ptr<Connection> Connection::open(const QString &connectionString, const QString &programDir)
{
    const ConnectionString settings(connectionString);
    const QString provider = settings.value(QStringLiteral("Provider"));
    if (provider.compare(u"SQLite", Qt::CaseInsensitive) == 0) {
        const QString file = settings.value(QStringLiteral("Data Source"));
        if (file.isEmpty())
            throw DbError(QStringLiteral("Provider=SQLite needs a Data Source, the database file"));
        return std::make_shared<SqliteConnection>(QDir(programDir).filePath(file));
    }
    if (provider.compare(u"PostgreSQL", Qt::CaseInsensitive) == 0)
        return std::make_shared<PgConnection>(settings);
    // Provider=MSDASQL, the OLE DB bridge to ODBC, counts as ODBC as well.
    if (provider.compare(u"ODBC", Qt::CaseInsensitive) == 0 || settings.contains(QStringLiteral("DSN"))
        || settings.contains(QStringLiteral("Driver")))
        return std::make_shared<OdbcConnection>(settings.without(QStringLiteral("Provider")));
    throw DbError(QStringLiteral("Unknown provider \"%1\". The providers are: "
                                 "Provider=SQLite;Data Source=<file>, "
                                 "Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=..., "
                                 "Provider=ODBC;<ODBC connection string> (or any string with a DSN or Driver key)")
                      .arg(provider));
}

ResultPtr Connection::execute(const QString &statement)
{
    if (statement.trimmed().isEmpty())
        throw emptyStatementError();
    // SQLite's parser stops at a NUL and libpq's text ends there: what ran
    // would not be what was stored.
    if (statement.contains(QChar(u'\0')))
        throw DbError(QStringLiteral("The statement contains a NUL character."));
    m_rowsFetched.store(0, std::memory_order_relaxed);
    m_cancelRequested = false;
    m_running = true;
    struct Finished
    {
        std::atomic<bool> &running;
        ~Finished() { running = false; }
    } finished{m_running};
    return run(statement);
}

void Connection::cancel()
{
    if (!m_running)
        return;
    m_cancelRequested = true;
    interrupt();
}

// A statement with nothing to run is refused, as the desk's original engine
// refused it, rather than passing as an empty success.
DbError Connection::emptyStatementError()
{
    return DbError(QStringLiteral("The statement is empty."));
}

DbError Connection::severalStatementsError()
{
    return DbError(QStringLiteral("The text holds more than one statement; none of them was run."));
}

DbError Connection::cancelledError()
{
    return DbError(QStringLiteral("The statement was cancelled."), DbError::Kind::Cancelled);
}

} // namespace vesko::db
