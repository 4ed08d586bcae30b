#include "db/SqliteConnection.h"

#include "db/DateLiteral.h"
#include "db/Snapshot.h"
#include "db/TypeCode.h"

#include <sqlite3.h>

namespace vesko::db {

namespace {

struct StatementFinalizer
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// SQLite keeps no column types of its own; the declared type of the result
// column decides, by the engine's own affinity rules where they apply.
int typeFromDeclaration(const char *declared)
{
    const QByteArray type = QByteArray(declared).toUpper();
    if (type.contains("INT"))
        return TypeInteger;
    if (type.contains("DATE") || type.contains("TIMESTAMP"))
        return TypeDate;
    if (type.contains("CHAR") || type.contains("CLOB") || type.contains("TEXT"))
        return TypeText;
    if (type.contains("BLOB"))
        return TypeBinary;
    if (type.contains("REAL") || type.contains("FLOA") || type.contains("DOUB"))
        return TypeDouble;
    if (type.contains("BOOL"))
        return TypeBoolean;
    if (type.contains("NUM") || type.contains("DEC"))
        return TypeNumeric;
    return TypeText;
}

// A column without a declared type (an expression) takes the type of its
// first value that is not Null.
int typeFromValue(int storageClass)
{
    switch (storageClass) {
    case SQLITE_INTEGER:
        return TypeInteger;
    case SQLITE_FLOAT:
        return TypeDouble;
    case SQLITE_BLOB:
        return TypeBinary;
    default:
        return TypeText;
    }
}

QString errorText(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

void SqliteConnection::Closer::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

SqliteConnection::SqliteConnection(const QString &path)
    : Connection(Dialect(Dialect::Engine::Sqlite))
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    m_db.reset(db);
    if (rc != SQLITE_OK) {
        const QString reason = db ? errorText(db) : QString::fromUtf8(sqlite3_errstr(rc));
        throw DbError(QStringLiteral("%1: %2").arg(reason, path));
    }
    // The file is read lazily; reading the schema now tells a file that is
    // not a database from one that is.
    char *message = nullptr;
    if (sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, &message) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(message);
        sqlite3_free(message);
        throw DbError(QStringLiteral("%1: %2").arg(reason, path));
    }
    sqlite3_busy_timeout(db, 5000);
}

ResultPtr SqliteConnection::execute(const QString &statement)
{
    const QByteArray sql = rewriteDateLiterals(statement).toUtf8();
    const char *tail = sql.constData();
    const char *const end = sql.constData() + sql.size();
    auto result = std::make_shared<Snapshot>();
    bool ran = false;
    // Several statements run in turn; the last one gives the result.
    while (tail < end) {
        sqlite3_stmt *raw = nullptr;
        if (sqlite3_prepare_v2(m_db.get(), tail, int(end - tail), &raw, &tail) != SQLITE_OK)
            throw DbError(errorText(m_db.get()));
        if (!raw)
            continue;
        ran = true;
        const StatementPtr stmt(raw);
        const int columns = sqlite3_column_count(raw);
        if (columns == 0) {
            int rc;
            while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE)
                throw DbError(errorText(m_db.get()));
            result = std::make_shared<Snapshot>();
            continue;
        }

        QList<Snapshot::ColumnInfo> info;
        std::vector<int> untyped;
        for (int c = 0; c < columns; ++c) {
            const char *declared = sqlite3_column_decltype(raw, c);
            if (declared && !*declared)
                declared = nullptr;
            if (!declared)
                untyped.push_back(c);
            info.append({QString::fromUtf8(sqlite3_column_name(raw, c)),
                         declared ? typeFromDeclaration(declared) : TypeText});
        }
        result = std::make_shared<Snapshot>(info);
        std::vector<ColumnStore *> stores;
        for (int c = 0; c < columns; ++c)
            stores.push_back(&result->cells(c));
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            // Before the text is read: reading converts the value.
            for (auto it = untyped.begin(); it != untyped.end();) {
                const int storageClass = sqlite3_column_type(raw, *it);
                if (storageClass == SQLITE_NULL) {
                    ++it;
                    continue;
                }
                result->setColumnType(*it, typeFromValue(storageClass));
                it = untyped.erase(it);
            }
            for (int c = 0; c < columns; ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(raw, c));
                if (text)
                    stores[std::size_t(c)]->append(text, std::size_t(sqlite3_column_bytes(raw, c)));
                else if (sqlite3_column_type(raw, c) == SQLITE_NULL)
                    stores[std::size_t(c)]->appendNull();
                else
                    stores[std::size_t(c)]->append("", 0);
            }
        }
        if (rc != SQLITE_DONE)
            throw DbError(errorText(m_db.get()));
        result->finish();
    }
    if (!ran)
        throw emptyStatementError();
    return result;
}

} // namespace vesko::db
