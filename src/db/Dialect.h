#pragma once

#include <QDate>
#include <QString>

namespace vesko::db {

// What a composed search statement writes differently per engine. Stored
// statements never pass through it: they reach the engine byte for byte.
class Dialect
{
public:
    enum class Engine {
        Jet,      // Access through ODBC: # ... # date literals
        Sqlite,   // dates are text: a range starts at the bare date
        Postgres, // backslash is LIKE's escape
        Standard, // any other server: quoted ISO literals
    };

    explicit Dialect(Engine engine = Engine::Standard)
        : m_engine(engine)
    {
    }

    Engine engine() const { return m_engine; }

    // The bounds of a range of whole days. typed is the date as the clerk
    // typed or picked it, date what it reads as; Jet keeps the typed text.
    //   Jet       # <typed> 00:00:00 #      # <typed> 23:59:59#
    //   SQLite    '2012-03-05'              '2012-03-05 23:59:59'
    //   others    '2012-03-05 00:00:00'     '2012-03-05 23:59:59'
    QString rangeStart(const QString &typed, const QDate &date) const;
    QString rangeEnd(const QString &typed, const QDate &date) const;

    // A text searched for inside LIKE '%...%', so that each character the
    // clerk typed stands for itself where the engine would read it as an
    // escape; '%' and '_' stay wildcards. The caller still doubles quotes.
    QString likeText(const QString &text) const;

private:
    Engine m_engine;
};

} // namespace vesko::db
