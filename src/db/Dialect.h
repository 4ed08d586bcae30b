#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace vesko::db {

// What a composed search statement writes differently per engine. Stored
// statements never pass through it: they reach the engine byte for byte.
//
// The servers it knows, and how a value reaches each exactly as typed (the
// ODBC names are those a driver gives as SQL_DBMS_NAME, see ofServer):
//
//   Engine    recognised by                      text literal and LIKE operand
//   Jet       ODBC: ACCESS                       '...' with ' doubled; LIKE as typed
//   Sqlite    Provider=SQLite; ODBC: SQLite      '...' with ' doubled; a backslash is
//                                                plain text, also in LIKE
//   Postgres  Provider=PostgreSQL;               '...' with ' doubled, the session runs
//             ODBC: PostgreSQL                   standard_conforming_strings on; in LIKE
//                                                a backslash is doubled, being its escape
//   MySql     ODBC: MySQL, MariaDB               '...' with ' doubled; a value holding a
//                                                backslash goes as _utf8mb4 X'<its UTF-8
//                                                in hex>', which no sql_mode reads as an
//                                                escape, and as a LIKE operand with
//                                                ESCAPE '!' ('!' doubled in it)
//   Standard  any other server                   '...' with ' doubled; a value holding a
//                                                backslash is refused, since the server
//                                                might read it as an escape
class Dialect
{
public:
    enum class Engine { Jet, Sqlite, Postgres, MySql, Standard };

    explicit Dialect(Engine engine = Engine::Standard)
        : m_engine(engine)
    {
    }

    // The dialect of the server whose ODBC driver gives this SQL_DBMS_NAME:
    // the first known name it begins with, in any letter case, else Standard.
    static Dialect ofServer(const QString &dbmsName);

    Engine engine() const { return m_engine; }

    // The condition that column holds a time on one of the whole days from
    // start to end. typedStart and typedEnd are the dates as the clerk typed
    // or picked them, start and end what they read as; Jet keeps the typed
    // text. SQLite keeps dates as text, so every text that begins with a day
    // of the range counts, whatever follows it:
    //   Jet       N  between  # <typed> 00:00:00 #  and  # <typed> 23:59:59#
    //   SQLite    substr(N, 1, 10)  between  '2012-03-05'  and  '2012-03-07'
    //   others    N  between  '2012-03-05 00:00:00'  and  '2012-03-07 23:59:59'
    QString dayRange(const QString &column, const QString &typedStart, const QDate &start, const QString &typedEnd,
                     const QDate &end) const;

    // A literal that the server reads as exactly value; none where the
    // server's reading of it is not known.
    std::optional<QString> literal(const QString &value) const;

    // The operand of LIKE that matches every text holding text, '%' and '_'
    // still wildcards, with the ESCAPE clause it needs; none as for literal.
    std::optional<QString> containsPattern(const QString &text) const;

private:
    Engine m_engine;
};

} // namespace vesko::db
