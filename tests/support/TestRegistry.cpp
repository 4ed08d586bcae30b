#include "support/TestRegistry.h"

#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"

#include <sqlite3.h>

#include <QFile>

#include <stdexcept>

namespace vesko::test {

TestRegistry::TestRegistry() = default;

void TestRegistry::sql(const QStringList &statements) const
{
    sqlite3 *db = nullptr;
    const QByteArray path = QFile::encodeName(file(QStringLiteral("registry.db")));
    if (sqlite3_open(path.constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open test registry");
    }
    for (const QString &statement : statements) {
        char *error = nullptr;
        if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "sqlite error";
            sqlite3_free(error);
            sqlite3_close(db);
            throw std::runtime_error(message);
        }
    }
    sqlite3_close(db);
}

void TestRegistry::people(int rows) const
{
    QStringList statements = {
        QStringLiteral("create table 登记 (编号 INTEGER, 姓名 TEXT, 年龄 INTEGER, 登记日期 DATETIME)"),
        QStringLiteral("begin")};
    for (int i = 1; i <= rows; ++i)
        statements.append(QStringLiteral("insert into 登记 values (%1, '人%1', %2, '2012-03-%3 10:00:00')")
                              .arg(i)
                              .arg(20 + i % 50)
                              .arg(1 + i % 28, 2, 10, QLatin1Char('0')));
    statements.append(QStringLiteral("commit"));
    sql(statements);
}

QString TestRegistry::connection() const
{
    return QStringLiteral("Provider=SQLite;Data Source=registry.db");
}

void TestRegistry::writeIni(const QString &connection, const QString &defaultStatement, const QString &all,
                            const QString &spare1, const QString &spare2) const
{
    const QString ini = file(QStringLiteral("vesko.ini"));
    ProfileStore::write(ini::kConnection, ini::kValue, connection, ini);
    ProfileStore::write(ini::kDefault, ini::kValue, defaultStatement, ini);
    if (!all.isNull())
        ProfileStore::write(ini::kAll, ini::kValue, all, ini);
    if (!spare1.isNull())
        ProfileStore::write(ini::kSpare1, ini::kValue, spare1, ini);
    if (!spare2.isNull())
        ProfileStore::write(ini::kSpare2, ini::kValue, spare2, ini);
}

} // namespace vesko::test
