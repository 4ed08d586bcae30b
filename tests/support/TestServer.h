#pragma once

#include <QFile>
#include <QString>

namespace vesko::test {

// The connection strings of the servers that scripts/test.sh starts
// (VESKO_TEST_PG_HOST, VESKO_TEST_MARIADB_HOST and friends), with more pairs
// after them; empty when there is none.

// PostgreSQL, directly or through ODBC.
inline QString postgresConnection(bool viaOdbc = false, const QString &more = QString())
{
    if (qEnvironmentVariableIsEmpty("VESKO_TEST_PG_HOST"))
        return QString();
    return QString(viaOdbc ? "Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=postgres;Uid=%3;Pwd={%4}"
                           : "Provider=PostgreSQL;Host=%1;Port=%2;Database=postgres;User ID=%3;Password={%4}")
               .arg(qEnvironmentVariable("VESKO_TEST_PG_HOST"), qEnvironmentVariable("VESKO_TEST_PG_PORT"),
                    qEnvironmentVariable("VESKO_TEST_PG_USER"), qEnvironmentVariable("VESKO_TEST_PG_PASSWORD"))
        + more;
}

// MariaDB through ODBC, on database, by default the one the script made.
inline QString mariadbConnection(const QString &database = qEnvironmentVariable("VESKO_TEST_MARIADB_DATABASE"),
                                 const QString &more = QString())
{
    if (qEnvironmentVariableIsEmpty("VESKO_TEST_MARIADB_HOST"))
        return QString();
    return QStringLiteral("Driver={MariaDB};Server=%1;Port=%2;Database=%3;Uid=%4;Pwd={%5}")
               .arg(qEnvironmentVariable("VESKO_TEST_MARIADB_HOST"), qEnvironmentVariable("VESKO_TEST_MARIADB_PORT"),
                    database, qEnvironmentVariable("VESKO_TEST_MARIADB_USER"),
                    qEnvironmentVariable("VESKO_TEST_MARIADB_PASSWORD"))
        + more;
}

// The parent of a process, from /proc: a PostgreSQL session's postmaster.
inline qint64 parentProcess(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // pid (name) state ppid ...: the name may hold blanks, not a ')'.
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

} // namespace vesko::test
