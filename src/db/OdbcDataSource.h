#pragma once

#include <QString>

namespace vesko::db {

// The ODBC connection string with its data source written out as the
// odbc.ini files hold it now. unixODBC keeps what it read from them for a
// while in every process (20 seconds after the last look, one entry at a
// time), so a data source fixed on disk went on failing, and a broken one
// went on working, in a program that stays open.
//
// DSN=<name> gives way to every key of the section [name] (in any letter
// case) that the string does not give itself, Driver included; the keys of
// the string stay as written and win. The section comes from the user's file
// ($ODBCINI, else ~/.odbc.ini) or, when that lacks it, from the system's
// ($ODBCSYSINI/odbc.ini, else /etc/odbc.ini), as unixODBC looks for it. A
// string without a DSN key is returned as it is. Throws DbError when neither
// file holds the data source.
QString withDataSourceWrittenOut(const QString &connectionString);

} // namespace vesko::db
