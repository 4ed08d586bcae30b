#include "db/PgConnection.h"

#include "db/SnapshotBuilder.h"
#include "db/TypeCode.h"

#include <libpq-fe.h>

#include <vector>

namespace vesko::db {

namespace {

using PgResultPtr = HandlePtr<PGresult, PQclear>;

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

// The rows of a result, as the snapshot builder reads them.
class PgRows
{
public:
    explicit PgRows(const PGresult *result)
        : m_result(result)
        , m_count(PQntuples(result))
    {
    }

    QList<Snapshot::ColumnInfo> columns() const
    {
        QList<Snapshot::ColumnInfo> info;
        for (int c = 0; c < PQnfields(m_result); ++c)
            info.append({QString::fromUtf8(PQfname(m_result, c)), typeFromOid(PQftype(m_result, c))});
        return info;
    }

    bool next() { return ++m_row < m_count; }

    Cell cell(int column) const
    {
        // Null reads as empty; only an empty value needs the Null test.
        const int length = PQgetlength(m_result, m_row, column);
        return {PQgetvalue(m_result, m_row, column), std::size_t(length),
                length == 0 && PQgetisnull(m_result, m_row, column)};
    }

    int columnType(int column) const { return typeFromOid(PQftype(m_result, column)); }

private:
    const PGresult *m_result;
    int m_count;
    int m_row = -1;
};

} // namespace

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
    // Defaults that a string may override: the text comes as UTF-8, a
    // server that does not answer fails after 15 seconds, not never, a
    // dropped network shows through keepalives, and the administrator sees
    // the desks by name among the sessions.
    set("client_encoding", "UTF8");
    set("connect_timeout", "15");
    set("keepalives", "1");
    set("application_name", "vesko");
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
    // Dates come back as 2012-03-05 whatever the server's default style,
    // and a backslash in a literal the search composed cannot end it.
    for (const char *setting : {"SET DateStyle TO ISO", "SET standard_conforming_strings TO on"}) {
        const PgResultPtr set(PQexec(m_connection.get(), setting));
        if (PQresultStatus(set.get()) != PGRES_COMMAND_OK)
            throw DbError(trimmedMessage(PQerrorMessage(m_connection.get())));
    }
}

ResultPtr PgConnection::run(const QString &statement)
{
    const QByteArray sql = statement.toUtf8();
    // The extended protocol runs a single statement and refuses a text
    // holding several.
    const PgResultPtr result(
        PQexecParams(m_connection.get(), sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0));
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
    PgRows rows(result.get());
    return buildSnapshot(rows, fetchCounter());
}

} // namespace vesko::db
