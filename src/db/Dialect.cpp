#include "db/Dialect.h"

namespace vesko::db {

namespace {

QString isoDate(const QDate &date)
{
    return date.toString(u"yyyy-MM-dd");
}

QString quoted(QString value)
{
    return u'\'' + value.replace(u'\'', QStringLiteral("''")) + u'\'';
}

// MySQL and MariaDB read a backslash in a quoted literal as an escape unless
// the session's sql_mode holds NO_BACKSLASH_ESCAPES; a hex literal means the
// same in either mode, and its introducer makes it text rather than bytes.
QString utf8HexLiteral(const QString &value)
{
    return QStringLiteral("_utf8mb4 X'%1'").arg(QString::fromLatin1(value.toUtf8().toHex().toUpper()));
}

struct KnownServer
{
    QStringView dbmsName;
    Dialect::Engine engine;
};

constexpr KnownServer kKnownServers[] = {
    {u"ACCESS", Dialect::Engine::Jet},          {u"SQLite", Dialect::Engine::Sqlite},
    {u"PostgreSQL", Dialect::Engine::Postgres}, {u"MySQL", Dialect::Engine::MySql},
    {u"MariaDB", Dialect::Engine::MySql},
};

} // namespace

Dialect Dialect::ofServer(const QString &dbmsName)
{
    for (const KnownServer &server : kKnownServers) {
        if (dbmsName.startsWith(server.dbmsName, Qt::CaseInsensitive))
            return Dialect(server.engine);
    }
    return Dialect();
}

QString Dialect::dayRange(const QString &column, const QString &typedStart, const QDate &start, const QString &typedEnd,
                          const QDate &end) const
{
    switch (m_engine) {
    case Engine::Jet:
        return QStringLiteral("%1  between  # %2 00:00:00 #  and  # %3 23:59:59#").arg(column, typedStart, typedEnd);
    case Engine::Sqlite:
        return QStringLiteral("substr(%1, 1, 10)  between  '%2'  and  '%3'").arg(column, isoDate(start), isoDate(end));
    case Engine::Postgres:
    case Engine::MySql:
    case Engine::Standard:
        break;
    }
    return QStringLiteral("%1  between  '%2 00:00:00'  and  '%3 23:59:59'").arg(column, isoDate(start), isoDate(end));
}

std::optional<QString> Dialect::literal(const QString &value) const
{
    if (!value.contains(u'\\'))
        return quoted(value);
    switch (m_engine) {
    case Engine::Jet:
    case Engine::Sqlite:
    case Engine::Postgres:
        return quoted(value);
    case Engine::MySql:
        return utf8HexLiteral(value);
    case Engine::Standard:
        break;
    }
    return std::nullopt;
}

std::optional<QString> Dialect::containsPattern(const QString &text) const
{
    const QString pattern = u'%' + text + u'%';
    if (!text.contains(u'\\'))
        return quoted(pattern);
    switch (m_engine) {
    case Engine::Jet:
    case Engine::Sqlite:
        return quoted(pattern);
    case Engine::Postgres:
        return quoted(QString(pattern).replace(u'\\', QStringLiteral("\\\\")));
    case Engine::MySql:
        // Which character LIKE takes as its escape by default depends on
        // the server and its sql_mode; with '!' named it is the same on all.
        return utf8HexLiteral(QString(pattern).replace(u'!', QStringLiteral("!!"))) + QStringLiteral(" ESCAPE '!'");
    case Engine::Standard:
        break;
    }
    return std::nullopt;
}

} // namespace vesko::db
