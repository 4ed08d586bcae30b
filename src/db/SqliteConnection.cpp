#include "db/SqliteConnection.h"

#include "db/SnapshotBuilder.h"
#include "db/TypeCode.h"

#include <sqlite3.h>

#include <functional>
#include <vector>

namespace vesko::db {

namespace {

using StatementPtr = HandlePtr<sqlite3_stmt, sqlite3_finalize>;

// SQLite keeps no column types of its own; the declared type of the result
// column decides, by the engine's own affinity rules where they apply.
TypeCode typeFromDeclaration(const char *declared)
{
    const QByteArray type = QByteArray(declared).toUpper();
    if (type.contains("INT"))
        return TypeCode::Integer;
    if (type.contains("DATE") || type.contains("TIMESTAMP"))
        return TypeCode::Date;
    if (type.contains("CHAR") || type.contains("CLOB") || type.contains("TEXT"))
        return TypeCode::Text;
    if (type.contains("BLOB"))
        return TypeCode::Binary;
    if (type.contains("REAL") || type.contains("FLOA") || type.contains("DOUB"))
        return TypeCode::Double;
    if (type.contains("BOOL"))
        return TypeCode::Boolean;
    if (type.contains("NUM") || type.contains("DEC"))
        return TypeCode::Numeric;
    return TypeCode::Text;
}

// A column without a declared type (an expression) takes the type of its
// first value that is not Null.
TypeCode typeFromValue(int storageClass)
{
    switch (storageClass) {
    case SQLITE_INTEGER:
        return TypeCode::Integer;
    case SQLITE_FLOAT:
        return TypeCode::Double;
    case SQLITE_BLOB:
        return TypeCode::Binary;
    default:
        return TypeCode::Text;
    }
}

QString errorText(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// The rows of a prepared statement, as the snapshot builder reads them.
class SqliteRows
{
public:
    SqliteRows(sqlite3_stmt *statement, std::function<void()> rowArrived, std::function<DbError()> failure)
        : m_statement(statement)
        , m_rowArrived(std::move(rowArrived))
        , m_failure(std::move(failure))
    {
    }

    QList<Snapshot::ColumnInfo> columns()
    {
        QList<Snapshot::ColumnInfo> info;
        for (int c = 0; c < sqlite3_column_count(m_statement); ++c) {
            const char *declared = sqlite3_column_decltype(m_statement, c);
            if (declared && !*declared)
                declared = nullptr;
            if (!declared)
                m_untyped.push_back(c);
            info.append({QString::fromUtf8(sqlite3_column_name(m_statement, c)),
                         declared ? typeFromDeclaration(declared) : TypeCode::Text});
            m_types.push_back(info.back().type);
        }
        return info;
    }

    bool next()
    {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_DONE)
            return false;
        if (rc != SQLITE_ROW)
            throw m_failure();
        m_rowArrived();
        // Before the text is read: reading converts the value.
        for (auto it = m_untyped.begin(); it != m_untyped.end();) {
            const int storageClass = sqlite3_column_type(m_statement, *it);
            if (storageClass == SQLITE_NULL) {
                ++it;
                continue;
            }
            m_types[std::size_t(*it)] = typeFromValue(storageClass);
            it = m_untyped.erase(it);
        }
        return true;
    }

    Cell cell(int column) const
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        if (text)
            return {text, std::size_t(sqlite3_column_bytes(m_statement, column)), false};
        return {"", 0, sqlite3_column_type(m_statement, column) == SQLITE_NULL};
    }

    TypeCode columnType(int column) const { return m_types[std::size_t(column)]; }

private:
    sqlite3_stmt *m_statement;
    std::function<void()> m_rowArrived;
    std::function<DbError()> m_failure;
    std::vector<TypeCode> m_types;
    std::vector<int> m_untyped;
};

} // namespace

SqliteConnection::SqliteConnection(const QString &path)
    : Connection(Dialect(Dialect::Engine::Sqlite))
{
    sqlite3 *db = nullptr;
    // One thread at a time runs statements here, so the connection needs no
    // mutex of its own; sqlite3_interrupt takes none either. Each cell read
    // otherwise locks and unlocks one.
    const int rc =
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db.reset(db);
    if (rc != SQLITE_OK) {
        const QString reason = db ? errorText(db) : QString::fromUtf8(sqlite3_errstr(rc));
        throw DbError(text::databaseFile(path), DbError::Kind::Failed, reason);
    }
    // The file is read lazily; reading the schema now tells a file that is
    // not a database from one that is.
    char *message = nullptr;
    if (sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, &message) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(message);
        sqlite3_free(message);
        throw DbError(text::databaseFile(path), DbError::Kind::Failed, reason);
    }
    sqlite3_busy_handler(db, waitForLock, this);
    sqlite3_progress_handler(db, 1000, checkProgress, this);
}

// A file another program holds locked is waited for up to 5 seconds, in
// short naps so that a cancel ends the wait at once.
int SqliteConnection::waitForLock(void *connection, int attempts)
{
    if (static_cast<const SqliteConnection *>(connection)->cancelRequested() || attempts >= 500)
        return 0;
    sqlite3_sleep(10);
    return 1;
}

int SqliteConnection::checkProgress(void *connection)
{
    auto *self = static_cast<SqliteConnection *>(connection);
    if (self->cancelRequested())
        return 1;
    if (self->m_silentUntil.hasExpired()) {
        self->m_silenceExpired = true;
        return 1;
    }
    return 0;
}

void SqliteConnection::interrupt()
{
    // The progress handler reads the request on the statement's own thread:
    // no interrupt can land between two statements and be lost.
}

ResultPtr SqliteConnection::run(const QString &statement)
{
    const int limit = commandTimeoutSeconds();
    const auto restartSilence = [this, limit] {
        m_silentUntil = limit > 0 ? QDeadlineTimer(limit * 1000) : QDeadlineTimer(QDeadlineTimer::Forever);
    };
    restartSilence();
    m_silenceExpired = false;
    // A cancel also ends a wait for a lock, which fails as busy.
    const auto failure = [this, limit] {
        if (cancelRequested())
            return cancelledError();
        return m_silenceExpired ? silenceError(limit) : DbError::fromEngine(errorText(m_db.get()));
    };
    const QByteArray sql = statement.toUtf8();
    const char *const end = sql.constData() + sql.size();
    const char *tail = nullptr;
    sqlite3_stmt *first = nullptr;
    const int prepared = sqlite3_prepare_v2(m_db.get(), sql.constData(), int(sql.size()), &first, &tail);
    const StatementPtr statementHandle(first);
    // Reading the schema may wait for a lock, and a cancel ends that wait.
    if (prepared != SQLITE_OK)
        throw failure();
    if (!first)
        throw emptyStatementError();
    // Whatever follows the first statement may only be blanks and comments;
    // it is checked before the first one takes a step.
    sqlite3_stmt *second = nullptr;
    const int rest = sqlite3_prepare_v2(m_db.get(), tail, int(end - tail), &second, nullptr);
    const StatementPtr secondHandle(second);
    if (rest != SQLITE_OK || second)
        throw severalStatementsError();

    SqliteRows rows(first, restartSilence, failure);
    if (sqlite3_column_count(first) > 0)
        return buildSnapshot(rows, fetchCounter());
    while (rows.next()) {
    }
    return std::make_shared<Snapshot>();
}

} // namespace vesko::db
