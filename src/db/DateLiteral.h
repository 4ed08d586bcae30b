#pragma once

#include <QString>

namespace vesko::db {

// The search statement writes dates as # 2012-3-5 01:01:01 #, which only
// the Jet/Access engine accepts. This rewrites every #...# that stands
// outside quoted strings ('...') and quoted names ("...", [...], `...`) into
// '2012-03-05 01:01:01', which SQLite, PostgreSQL and ODBC servers compare
// and coerce correctly. A lone # without a partner is left as it is.
// Throws DbError when the text between a pair of # is not a year-month-day
// (separated by - or /) with an optional h:m or h:m:s time.
QString rewriteDateLiterals(const QString &statement);

} // namespace vesko::db
