#include "db/OdbcConnection.h"

#include "db/DateLiteral.h"
#include "db/Snapshot.h"
#include "db/TypeCode.h"

#include <sql.h>
#include <sqlext.h>

#include <QStringList>

#include <algorithm>
#include <vector>

namespace vesko::db {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

// One ODBC handle, freed with its own type.
template<SQLSMALLINT HandleType>
class Handle
{
public:
    Handle() = default;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (m_handle != SQL_NULL_HANDLE)
            SQLFreeHandle(HandleType, m_handle);
    }
    SQLHANDLE get() const { return m_handle; }
    SQLHANDLE *out() { return &m_handle; }

private:
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

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

// Every diagnostic record of a handle, with its SQLSTATE.
QString diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList records;
    SQLWCHAR state[6];
    SQLWCHAR message[1024];
    for (SQLSMALLINT i = 1;; ++i) {
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, message,
                                            SQLSMALLINT(std::size(message)), &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        records.append(QStringLiteral("[%1] %2").arg(
            fromWide(state, 5, 6), fromWide(message, length, std::size(message))));
    }
    return records.isEmpty() ? QStringLiteral("ODBC call failed without a diagnostic")
                             : records.join(u'\n');
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle)
{
    if (!SQL_SUCCEEDED(rc))
        throw DbError(diagnostics(type, handle));
}

int typeFromSql(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return TypeInteger;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIMESTAMP:
        return TypeDate;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return TypeDouble;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return TypeNumeric;
    case SQL_BIT:
        return TypeBoolean;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return TypeBinary;
    default:
        return TypeText;
    }
}

} // namespace

struct OdbcConnection::Handles
{
    Handle<SQL_HANDLE_ENV> environment;
    Handle<SQL_HANDLE_DBC> connection;
};

OdbcConnection::OdbcConnection(const QString &connectionString)
    : Connection(Dialect())
    , m_handles(std::make_unique<Handles>())
{
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, m_handles->environment.out())))
        throw DbError(QStringLiteral("The ODBC driver manager could not allocate an environment"));
    SQLHENV env = m_handles->environment.get();
    check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, env);
    check(SQLAllocHandle(SQL_HANDLE_DBC, env, m_handles->connection.out()), SQL_HANDLE_ENV, env);
    SQLHDBC dbc = m_handles->connection.get();
    SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    check(SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR *>(wide(connectionString)),
                            SQLSMALLINT(connectionString.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc);

    SQLWCHAR dbms[64] = {};
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, dbms, sizeof(dbms), &length))) {
        const QString name = fromWide(dbms, length / 2, std::size(dbms));
        m_jet = name.compare(u"ACCESS", Qt::CaseInsensitive) == 0;
        if (m_jet)
            setDialect(Dialect(Dialect::Engine::Jet));
        else if (name.startsWith(u"SQLite", Qt::CaseInsensitive))
            setDialect(Dialect(Dialect::Engine::Sqlite));
        else if (name.startsWith(u"PostgreSQL", Qt::CaseInsensitive))
            setDialect(Dialect(Dialect::Engine::Postgres));
    }
}

OdbcConnection::~OdbcConnection()
{
    if (m_handles->connection.get() != SQL_NULL_HANDLE)
        SQLDisconnect(m_handles->connection.get());
}

ResultPtr OdbcConnection::execute(const QString &statement)
{
    if (statement.trimmed().isEmpty())
        throw emptyStatementError();
    const QString sql = m_jet ? statement : rewriteDateLiterals(statement);
    Handle<SQL_HANDLE_STMT> handle;
    check(SQLAllocHandle(SQL_HANDLE_STMT, m_handles->connection.get(), handle.out()), SQL_HANDLE_DBC,
          m_handles->connection.get());
    SQLHSTMT stmt = handle.get();
    const SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR *>(wide(sql)), SQLINTEGER(sql.size()));
    if (rc != SQL_NO_DATA)
        check(rc, SQL_HANDLE_STMT, stmt);
    SQLSMALLINT columns = 0;
    check(SQLNumResultCols(stmt, &columns), SQL_HANDLE_STMT, stmt);
    if (columns == 0)
        return std::make_shared<Snapshot>();

    QList<Snapshot::ColumnInfo> info;
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        check(SQLDescribeColW(stmt, c, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType, &size,
                              &digits, &nullable),
              SQL_HANDLE_STMT, stmt);
        info.append({fromWide(name, nameLength, std::size(name)), typeFromSql(sqlType)});
    }

    auto snapshot = std::make_shared<Snapshot>(info);
    std::vector<SQLWCHAR> buffer(4096);
    const SQLLEN bufferBytes = SQLLEN(buffer.size() * sizeof(SQLWCHAR));
    QString value;
    SQLRETURN fetched;
    while ((fetched = SQLFetch(stmt)) != SQL_NO_DATA) {
        check(fetched, SQL_HANDLE_STMT, stmt);
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            value.clear();
            bool null = false;
            // A long value comes in pieces; each but the last fills the
            // buffer up to its closing zero.
            for (;;) {
                SQLLEN indicator = 0;
                const SQLRETURN got = SQLGetData(stmt, c, SQL_C_WCHAR, buffer.data(), bufferBytes, &indicator);
                if (got == SQL_NO_DATA)
                    break;
                check(got, SQL_HANDLE_STMT, stmt);
                if (indicator == SQL_NULL_DATA) {
                    null = true;
                    break;
                }
                const bool truncated = indicator == SQL_NO_TOTAL || indicator >= bufferBytes;
                const qsizetype units = truncated ? qsizetype(buffer.size() - 1)
                                                  : qsizetype(indicator / SQLLEN(sizeof(SQLWCHAR)));
                value.append(QStringView(reinterpret_cast<const char16_t *>(buffer.data()), units));
                if (!truncated)
                    break;
            }
            ColumnStore &cells = snapshot->cells(c - 1);
            if (null) {
                cells.appendNull();
            } else {
                const QByteArray utf8 = value.toUtf8();
                cells.append(utf8.constData(), std::size_t(utf8.size()));
            }
        }
    }
    snapshot->finish();
    return snapshot;
}

} // namespace vesko::db
