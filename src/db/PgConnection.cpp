#include "db/PgConnection.h"

#include "db/DateLiteral.h"
#include "db/Snapshot.h"
#include "db/TypeCode.h"

#include <libpq-fe.h>

#include <vector>

namespace vesko::db {

namespace {

struct ResultClearer
{
    void operator()(PGresult *result) const { PQclear(result); }
};
using PgResultPtr = std::unique_ptr<PGresult, ResultClearer>;

// Type OIDs of the built-in types, from pg_type.
int typeFromOid(Oid oid)
{
    switch (oid) {
    case 20: // int8
    case 21: // int2
    case 23: // int4
        return TypeInteger;
    case 1082: // date
    case 1114: // timestamp
    case 1184: // timestamptz
        return TypeDate;
    case 700: // float4
    case 701: // float8
        return TypeDouble;
    case 1700: // numeric
        return TypeNumeric;
    case 16: // bool
        return TypeBoolean;
    case 17: // bytea
        return TypeBinary;
    default:
        return TypeText;
    }
}

QString libpqKey(const QString &key)
{
    static const std::pair<QString, QString> renamed[] = {
        {QStringLiteral("Host"), QStringLiteral("host")},
        {QStringLiteral("Port"), QStringLiteral("port")},
        {QStringLiteral("Database"), QStringLiteral("dbname")},
        {QStringLiteral("User ID"), QStringLiteral("user")},
        {QStringLiteral("Password"), QStringLiteral("password")},
    };
    for (const auto &[ours, theirs] : renamed) {
        if (key.compare(ours, Qt::CaseInsensitive) == 0)
            return theirs;
    }
    return key.toLower();
}

QString trimmedMessage(const char *message)
{
    return QString::fromUtf8(message).trimmed();
}

} // namespace

void PgConnection::Finisher::operator()(pg_conn *connection) const
{
    PQfinish(connection);
}

PgConnection::PgConnection(const ConnectionString &settings)
    : Connection(Dialect(Dialect::Engine::Postgres))
{
    std::vector<QByteArray> keys;
    std::vector<QByteArray> values;
    auto set = [&](const QByteArray &key, const QByteArray &value) {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) {
                values[i] = value;
                return;
            }
        }
        keys.push_back(key);
        values.push_back(value);
    };
    // Defaults that a string may override: the text comes as UTF-8, and a
    // server that does not answer fails after 15 seconds, not never.
    set("client_encoding", "UTF8");
    set("connect_timeout", "15");
    for (const ConnectionString::Pair &pair : settings.pairs()) {
        if (pair.key.compare(u"Provider", Qt::CaseInsensitive) != 0)
            set(libpqKey(pair.key).toUtf8(), pair.value.toUtf8());
    }
    std::vector<const char *> keyPointers;
    std::vector<const char *> valuePointers;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keyPointers.push_back(keys[i].constData());
        valuePointers.push_back(values[i].constData());
    }
    keyPointers.push_back(nullptr);
    valuePointers.push_back(nullptr);

    m_connection.reset(PQconnectdbParams(keyPointers.data(), valuePointers.data(), 0));
    if (!m_connection)
        throw DbError(QStringLiteral("libpq could not allocate a connection"));
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        throw DbError(trimmedMessage(PQerrorMessage(m_connection.get())));
    // Dates come back as 2012-03-05 whatever the server's default style.
    const PgResultPtr style(PQexec(m_connection.get(), "SET DateStyle TO ISO"));
    if (PQresultStatus(style.get()) != PGRES_COMMAND_OK)
        throw DbError(trimmedMessage(PQerrorMessage(m_connection.get())));
}

ResultPtr PgConnection::execute(const QString &statement)
{
    const QByteArray sql = rewriteDateLiterals(statement).toUtf8();
    const PgResultPtr result(PQexec(m_connection.get(), sql.constData()));
    switch (PQresultStatus(result.get())) {
    case PGRES_TUPLES_OK:
        break;
    case PGRES_COMMAND_OK:
        return std::make_shared<Snapshot>();
    case PGRES_EMPTY_QUERY:
        throw emptyStatementError();
    default:
        throw DbError(trimmedMessage(result ? PQresultErrorMessage(result.get())
                                            : PQerrorMessage(m_connection.get())));
    }

    PGresult *const rows = result.get();
    const int columns = PQnfields(rows);
    QList<Snapshot::ColumnInfo> info;
    for (int c = 0; c < columns; ++c)
        info.append({QString::fromUtf8(PQfname(rows, c)), typeFromOid(PQftype(rows, c))});
    auto snapshot = std::make_shared<Snapshot>(info);
    std::vector<ColumnStore *> stores;
    for (int c = 0; c < columns; ++c)
        stores.push_back(&snapshot->cells(c));
    const int count = PQntuples(rows);
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < columns; ++c) {
            // Null reads as empty; only an empty value needs the Null test.
            const int length = PQgetlength(rows, r, c);
            if (length == 0 && PQgetisnull(rows, r, c))
                stores[std::size_t(c)]->appendNull();
            else
                stores[std::size_t(c)]->append(PQgetvalue(rows, r, c), std::size_t(length));
        }
    }
    snapshot->finish();
    return snapshot;
}

} // namespace vesko::db
