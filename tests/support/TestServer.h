#pragma once

#include <QFile>
#include <QString>

namespace vesko::test {

// The connection string of the PostgreSQL server that scripts/test.sh starts
// (VESKO_TEST_PG_HOST and friends); empty when there is none.
inline QString postgresConnection()
{
    const QString host = qEnvironmentVariable("VESKO_TEST_PG_HOST");
    if (host.isEmpty())
        return QString();
    return QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=postgres;User ID=%3;Password={%4}")
        .arg(host, qEnvironmentVariable("VESKO_TEST_PG_PORT"), qEnvironmentVariable("VESKO_TEST_PG_USER"),
             qEnvironmentVariable("VESKO_TEST_PG_PASSWORD"));
}

// The ODBC connection string of the MariaDB server that scripts/test.sh
// starts (VESKO_TEST_MARIADB_HOST and friends), on database, by default the
// one the script made; empty when there is none.
inline QString mariadbConnection(const QString &database = qEnvironmentVariable("VESKO_TEST_MARIADB_DATABASE"))
{
    const QString host = qEnvironmentVariable("VESKO_TEST_MARIADB_HOST");
    if (host.isEmpty())
        return QString();
    return QStringLiteral("Driver={MariaDB};Server=%1;Port=%2;Database=%3;Uid=%4;Pwd={%5}")
        .arg(host, qEnvironmentVariable("VESKO_TEST_MARIADB_PORT"), database,
             qEnvironmentVariable("VESKO_TEST_MARIADB_USER"), qEnvironmentVariable("VESKO_TEST_MARIADB_PASSWORD"));
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
