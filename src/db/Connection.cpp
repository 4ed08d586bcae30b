#include "db/Connection.h"

#include "db/ConnectionString.h"
#include "db/OdbcConnection.h"
#include "db/PgConnection.h"
#include "db/SqliteConnection.h"

#include <QDir>

namespace vesko::db {

namespace {

const QString kCommandTimeout = QStringLiteral("Command Timeout");

int commandTimeout(const ConnectionString &settings)
{
    if (!settings.contains(kCommandTimeout))
        return Connection::kDefaultCommandTimeoutSeconds;
    bool ok = false;
    const int seconds = settings.value(kCommandTimeout).toInt(&ok);
    if (!ok || seconds < 0)
        throw DbError(QStringLiteral("Command Timeout must be a number of seconds (0 for no limit): %1")
                          .arg(settings.value(kCommandTimeout)));
    return seconds;
}

std::shared_ptr<Connection> openEngine(const ConnectionString &settings, const QString &programDir)
{
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

} // namespace

std::shared_ptr<Connection> Connection::open(const QString &connectionString, const QString &programDir)
{
    const ConnectionString given(connectionString);
    const int timeout = commandTimeout(given);
    std::shared_ptr<Connection> connection = openEngine(ConnectionString(given.without(kCommandTimeout)), programDir);
    connection->m_commandTimeoutSeconds = timeout;
    return connection;
}

ResultPtr Connection::execute(const QString &statement, CancelRequestPtr cancel)
{
    if (statement.trimmed().isEmpty())
        throw emptyStatementError();
    // SQLite's parser stops at a NUL and libpq's text ends there: what ran
    // would not be what was stored.
    if (statement.contains(QChar(u'\0')))
        throw DbError(QStringLiteral("The statement contains a NUL character."));
    m_rowsFetched.store(0, std::memory_order_relaxed);
    m_cancel = cancel ? std::move(cancel) : std::make_shared<CancelRequest>();
    if (!m_cancel->attach(this))
        throw cancelledError();
    struct Finished
    {
        CancelRequest &cancel;
        ~Finished() { cancel.detach(); }
    } finished{*m_cancel};
    return run(statement);
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

DbError Connection::silenceError(int seconds)
{
    return DbError(QStringLiteral("The server did not answer in time: nothing came for %1 seconds.").arg(seconds));
}

DbError Connection::cancelledError()
{
    return DbError(QStringLiteral("The statement was cancelled."), DbError::Kind::Cancelled);
}

} // namespace vesko::db
