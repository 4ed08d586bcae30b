#include "db/OdbcConnection.h"

#include "db/ConnectionString.h"
#include "db/HandlePtr.h"
#include "db/OdbcDataSource.h"
#include "db/SnapshotBuilder.h"
#include "db/TypeCode.h"

#include <sql.h>
#include <sqlext.h>

#include <QStringList>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vesko::db {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

template<SQLSMALLINT Type>
void freeHandle(SQLHANDLE handle)
{
    SQLFreeHandle(Type, handle);
}

void disconnectAndFree(SQLHDBC connection)
{
    SQLDisconnect(connection);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
}

using StatementPtr = HandlePtr<void, freeHandle<SQL_HANDLE_STMT>>;

const SQLWCHAR *wide(const QString &text)
{
    return reinterpret_cast<const SQLWCHAR *>(text.utf16());
}

// Text that a driver wrote into a buffer of capacity units. Some drivers
// (the SQLite one among them) report the length in bytes rather than in
// characters, so the closing zero bounds it as well.
QString fromWide(const SQLWCHAR *text, qsizetype reported, qsizetype capacity)
{
    const qsizetype bound = qBound<qsizetype>(0, reported, capacity - 1);
    const qsizetype length = std::find(text, text + bound, SQLWCHAR(0)) - text;
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), length);
}

// UTF-16 as the driver gives it, appended as UTF-8 without a QString in
// between; a lone surrogate becomes U+FFFD, as QString would make it.
void appendUtf8(const char16_t *text, std::size_t units, std::string &out)
{
    const std::size_t start = out.size();
    out.resize(start + units * 3);
    char *to = out.data() + start;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *to++ = char(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xE000) {
            const bool paired = c < 0xDC00 && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
            c = paired ? 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00) : 0xFFFD;
        }
        if (c < 0x800) {
            *to++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *to++ = char(0xE0 | (c >> 12));
            *to++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            // Two UTF-16 units became four bytes: within the room of six.
            *to++ = char(0xF0 | (c >> 18));
            *to++ = char(0x80 | ((c >> 12) & 0x3F));
            *to++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *to++ = char(0x80 | (c & 0x3F));
    }
    out.resize(std::size_t(to - out.data()));
}

// Every diagnostic record of a handle, with its SQLSTATE. A state of class
// 08, or PostgreSQL's 57P (the server ended the session), means the
// connection was lost.
DbError failure(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList records;
    DbError::Kind kind = DbError::Kind::Failed;
    SQLWCHAR state[6];
    SQLWCHAR message[1024];
    for (SQLSMALLINT i = 1;; ++i) {
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            SQLGetDiagRecW(type, handle, i, state, &native, message, SQLSMALLINT(std::size(message)), &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString code = fromWide(state, 5, 6);
        if (code.startsWith(u"08") || code.startsWith(u"57P"))
            kind = DbError::Kind::ConnectionLost;
        records.append(QStringLiteral("[%1] %2").arg(code, fromWide(message, length, std::size(message))));
    }
    if (records.isEmpty())
        return DbError(text::kNoOdbcDiagnostic);
    return DbError::fromEngine(records.join(u'\n'), kind);
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle)
{
    if (!SQL_SUCCEEDED(rc))
        throw failure(type, handle);
}

TypeCode typeFromSql(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return TypeCode::Integer;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIMESTAMP:
        return TypeCode::Date;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return TypeCode::Double;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return TypeCode::Numeric;
    case SQL_BIT:
        return TypeCode::Boolean;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return TypeCode::Binary;
    default:
        return TypeCode::Text;
    }
}

// The rows of an executed statement, as the snapshot builder reads them.
class OdbcRows
{
public:
    OdbcRows(SQLHSTMT statement, SQLSMALLINT columns, std::function<bool()> cancelled)
        : m_statement(statement)
        , m_cancelled(std::move(cancelled))
        , m_columns(columns)
        , m_buffer(4096)
    {
    }

    QList<Snapshot::ColumnInfo> columns()
    {
        QList<Snapshot::ColumnInfo> info;
        for (SQLUSMALLINT c = 1; c <= m_columns; ++c) {
            SQLWCHAR name[256];
            SQLSMALLINT nameLength = 0;
            SQLSMALLINT sqlType = 0;
            SQLULEN size = 0;
            SQLSMALLINT digits = 0;
            SQLSMALLINT nullable = 0;
            check(SQLDescribeColW(m_statement, c, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType, &size,
                                  &digits, &nullable),
                  SQL_HANDLE_STMT, m_statement);
            info.append({fromWide(name, nameLength, std::size(name)), typeFromSql(sqlType)});
            m_types.push_back(info.back().type);
        }
        return info;
    }

    bool next()
    {
        // Between the driver's calls a cancel ends the fetch here.
        if (m_cancelled())
            throw Connection::cancelledError();
        const SQLRETURN fetched = SQLFetch(m_statement);
        if (fetched == SQL_NO_DATA)
            return false;
        check(fetched, SQL_HANDLE_STMT, m_statement);
        return true;
    }

    Cell cell(int column)
    {
        m_utf8.clear();
        const SQLLEN bufferBytes = SQLLEN(m_buffer.size() * sizeof(SQLWCHAR));
        // A long value comes in pieces; each but the last fills the buffer
        // up to its closing zero. A piece may end inside a surrogate pair,
        // so the pieces are joined before they are converted.
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN got = SQLGetData(m_statement, SQLUSMALLINT(column + 1), SQL_C_WCHAR, m_buffer.data(),
                                             bufferBytes, &indicator);
            if (got == SQL_NO_DATA)
                break;
            check(got, SQL_HANDLE_STMT, m_statement);
            if (indicator == SQL_NULL_DATA)
                return {"", 0, true};
            const bool truncated = indicator == SQL_NO_TOTAL || indicator >= bufferBytes;
            const std::size_t units = truncated ? m_buffer.size() - 1 : std::size_t(indicator) / sizeof(SQLWCHAR);
            if (!truncated && m_pieces.empty()) {
                appendUtf8(reinterpret_cast<const char16_t *>(m_buffer.data()), units, m_utf8);
                return {m_utf8.data(), m_utf8.size(), false};
            }
            m_pieces.insert(m_pieces.end(), m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(units));
            if (!truncated)
                break;
        }
        appendUtf8(reinterpret_cast<const char16_t *>(m_pieces.data()), m_pieces.size(), m_utf8);
        m_pieces.clear();
        return {m_utf8.data(), m_utf8.size(), false};
    }

    TypeCode columnType(int column) const { return m_types[std::size_t(column)]; }

private:
    SQLHSTMT m_statement;
    std::function<bool()> m_cancelled;
    SQLSMALLINT m_columns;
    std::vector<SQLWCHAR> m_buffer;
    std::vector<TypeCode> m_types;
    std::vector<SQLWCHAR> m_pieces;
    std::string m_utf8;
};

// The string that PostgreSQL's driver is given, with what it lacks: the
// driver holds a whole result in its own memory, beside the snapshot, unless
// it reads through a cursor, and the administrator sees the desks by name
// among the sessions from their start, as with a direct connection. The
// driver ignores an application_name key; libpq takes it through pqopt.
QString postgresString(const QString &connectionString)
{
    const ConnectionString settings(connectionString);
    QString additions;
    if (!settings.contains(QStringLiteral("UseDeclareFetch")))
        additions += QStringLiteral("UseDeclareFetch=1;Fetch=10000;");
    QString rest = connectionString;
    const QString own = settings.value(QStringLiteral("pqopt"));
    if (!own.contains(u"application_name", Qt::CaseInsensitive)) {
        QString name = settings.contains(QStringLiteral("application_name"))
            ? settings.value(QStringLiteral("application_name"))
            : QStringLiteral("vesko");
        name.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        additions +=
            QStringLiteral("pqopt={%1application_name='%2'};").arg(own.isEmpty() ? QString() : own + u' ', name);
        rest = ConnectionString(settings.without(QStringLiteral("pqopt"))).without(QStringLiteral("application_name"));
    }
    if (additions.isEmpty())
        return connectionString;
    return rest + (rest.trimmed().endsWith(u';') || rest.trimmed().isEmpty() ? "" : ";") + additions;
}

} // namespace

struct OdbcConnection::Handles
{
    HandlePtr<void, freeHandle<SQL_HANDLE_ENV>> environment;
    HandlePtr<void, disconnectAndFree> connection;
    // The statement that runs, for the cancelling thread. stateLock is
    // never held across a driver call; cancelLock is held across SQLCancel,
    // and the statement is freed only under it.
    std::mutex stateLock;
    std::condition_variable stateChanged;
    std::mutex cancelLock;
    SQLHSTMT running = SQL_NULL_HANDLE;
    quint64 runNumber = 0;
    bool cancelling = false;

    // Repeats SQLCancel on statement run until that statement ends.
    static void cancelUntilDone(const std::shared_ptr<Handles> &handles, quint64 run)
    {
        for (;;) {
            {
                const std::lock_guard cancelGuard(handles->cancelLock);
                SQLHSTMT statement = SQL_NULL_HANDLE;
                {
                    const std::lock_guard guard(handles->stateLock);
                    if (handles->runNumber != run || handles->running == SQL_NULL_HANDLE)
                        return;
                    statement = handles->running;
                }
                SQLCancel(statement);
            }
            std::unique_lock guard(handles->stateLock);
            if (handles->stateChanged.wait_for(guard, std::chrono::milliseconds(kCancelRepeatMs), [&] {
                    return handles->runNumber != run || handles->running == SQL_NULL_HANDLE;
                }))
                return;
        }
    }
};

OdbcConnection::OdbcConnection(const QString &connectionString)
    : Connection(Dialect())
    , m_handles(std::make_shared<Handles>())
{
    SQLHENV env = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw DbError(text::kNoOdbcEnvironment);
    m_handles->environment.reset(env);
    check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), SQL_HANDLE_ENV,
          env);
    SQLHDBC dbc = SQL_NULL_HANDLE;
    check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_HANDLE_ENV, env);
    m_handles->connection.reset(dbc);
    SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    const QString written = withDataSourceWrittenOut(connectionString);
    connect(written);
    detectDialect();
    if (dialect().engine() == Dialect::Engine::Postgres) {
        if (const QString completed = postgresString(written); completed != written) {
            SQLDisconnect(dbc);
            connect(completed);
        }
        // A backslash in a literal the search composed cannot end it.
        runStatement(QStringLiteral("SET standard_conforming_strings TO on"));
    }
    // Each statement runs in a transaction of its own, so that the work of a
    // second statement in one text can be taken back.
    check(SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
          SQL_HANDLE_DBC, dbc);
}

void OdbcConnection::connect(const QString &connectionString)
{
    SQLHDBC dbc = m_handles->connection.get();
    check(SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR *>(wide(connectionString)),
                            SQLSMALLINT(connectionString.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc);
}

void OdbcConnection::detectDialect()
{
    SQLHDBC dbc = m_handles->connection.get();
    SQLWCHAR dbms[64] = {};
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, dbms, sizeof(dbms), &length))) {
        setDialect(Dialect::ofServer(fromWide(dbms, length / 2, std::size(dbms))));
    }
}

OdbcConnection::~OdbcConnection() = default;

ResultPtr OdbcConnection::run(const QString &statement)
{
    SQLHDBC dbc = m_handles->connection.get();
    if (dialect().engine() == Dialect::Engine::MySql && m_serverTimeoutSeconds != commandTimeoutSeconds())
        limitStatementTime();
    try {
        const ResultPtr result = runStatement(statement);
        check(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_HANDLE_DBC, dbc);
        return result;
    } catch (const DbError &) {
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
        if (cancelRequested())
            throw cancelledError();
        throw;
    }
}

void OdbcConnection::limitStatementTime()
{
    // The MySQL family's driver ignores the query timeout; the server
    // enforces a time limit of its own, MariaDB's or MySQL's.
    const int seconds = commandTimeoutSeconds();
    try {
        runStatement(QStringLiteral("SET SESSION max_statement_time = %1").arg(seconds));
    } catch (const DbError &) {
        runStatement(QStringLiteral("SET SESSION max_execution_time = %1").arg(qint64(seconds) * 1000));
    }
    m_serverTimeoutSeconds = seconds;
}

void OdbcConnection::interrupt()
{
    const std::lock_guard guard(m_handles->stateLock);
    if (m_handles->running == SQL_NULL_HANDLE || m_handles->cancelling)
        return;
    m_handles->cancelling = true;
    std::thread(&Handles::cancelUntilDone, m_handles, m_handles->runNumber).detach();
}

ResultPtr OdbcConnection::runStatement(const QString &statement)
{
    SQLHDBC dbc = m_handles->connection.get();
    SQLHSTMT raw = SQL_NULL_HANDLE;
    check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &raw), SQL_HANDLE_DBC, dbc);
    const StatementPtr handle(raw);
    // A driver without a query timeout runs without one.
    SQLSetStmtAttrW(raw, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(commandTimeoutSeconds())), 0);
    {
        const std::lock_guard guard(m_handles->stateLock);
        m_handles->running = raw;
        ++m_handles->runNumber;
        m_handles->cancelling = false;
    }
    struct Finished
    {
        Handles &handles;
        ~Finished()
        {
            const std::lock_guard cancelGuard(handles.cancelLock);
            const std::lock_guard guard(handles.stateLock);
            handles.running = SQL_NULL_HANDLE;
            handles.stateChanged.notify_all();
        }
    } finished{*m_handles};
    // A cancel that came before found no statement to cancel.
    if (cancelRequested())
        throw cancelledError();
    const SQLRETURN rc = SQLExecDirectW(raw, const_cast<SQLWCHAR *>(wide(statement)), SQLINTEGER(statement.size()));
    if (rc != SQL_NO_DATA)
        check(rc, SQL_HANDLE_STMT, raw);
    SQLSMALLINT columns = 0;
    check(SQLNumResultCols(raw, &columns), SQL_HANDLE_STMT, raw);
    ResultPtr result = std::make_shared<Snapshot>();
    if (columns > 0) {
        OdbcRows rows(raw, columns, [this] { return cancelRequested(); });
        result = buildSnapshot(rows, fetchCounter());
    }
    if (SQLMoreResults(raw) != SQL_NO_DATA)
        throw severalStatementsError();
    return result;
}

} // namespace vesko::db
