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
        throw DbError(text::badCommandTimeout(settings.value(kCommandTimeout)));
    return seconds;
}

std::shared_ptr<Connection> openEngine(const ConnectionString &settings, const QString &programDir)
{
    const QString provider = settings.value(QStringLiteral("Provider"));
    if (provider.compare(u"SQLite", Qt::CaseInsensitive) == 0) {
        const QString file = settings.value(QStringLiteral("Data Source"));
        if (file.isEmpty())
            throw DbError(text::kSqliteNeedsFile);
        return std::make_shared<SqliteConnection>(QDir(programDir).filePath(file));
    }
    if (provider.compare(u"PostgreSQL", Qt::CaseInsensitive) == 0)
        return std::make_shared<PgConnection>(settings);
    // Provider=MSDASQL, the OLE DB bridge to ODBC, counts as ODBC as well.
    if (provider.compare(u"ODBC", Qt::CaseInsensitive) == 0 || settings.contains(QStringLiteral("DSN"))
        || settings.contains(QStringLiteral("Driver")))
        return std::make_shared<OdbcConnection>(settings.without(QStringLiteral("Provider")));
    throw DbError(text::unknownProvider(provider));
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
        throw DbError(text::kNulInStatement);
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
    return DbError(text::kEmptyStatement);
}

DbError Connection::severalStatementsError()
{
    return DbError(text::kSeveralStatements);
}

DbError Connection::silenceError(int seconds)
{
    return DbError(text::silence(seconds));
}

DbError Connection::cancelledError()
{
    return DbError(text::kStatementCancelled, DbError::Kind::Cancelled);
}

} // namespace vesko::db
