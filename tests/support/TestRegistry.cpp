#include "support/TestRegistry.h"

#include "core/config/ProfileStore.h"
#include "core/config/StoredTexts.h"
#include "db/Connection.h"

#include <QFile>

namespace vesko::test {

TestRegistry::TestRegistry() = default;

void TestRegistry::sql(const QStringList &statements) const
{
    // The engine opens only a file that is there.
    QFile(file(QStringLiteral("registry.db"))).open(QIODevice::Append);
    const db::ConnectionPtr registry = db::Connection::open(connection(), path());
    for (const QString &statement : statements)
        registry->execute(statement);
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
    const QString texts[] = {connection, defaultStatement, all, spare1, spare2};
    for (std::size_t i = 0; i < kStoredTexts.size(); ++i) {
        if (!texts[i].isNull())
            ProfileStore::write(kStoredTexts[i].section, ini::kValue, texts[i], file(QStringLiteral("vesko.ini")));
    }
}

} // namespace vesko::test
