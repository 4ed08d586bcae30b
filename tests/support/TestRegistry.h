#pragma once

#include "core/config/ProfileStore.h"
#include "core/config/StoredTexts.h"
#include "db/Connection.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vesko::test {

// A program directory in a temporary folder with a real SQLite file in it.
class TestRegistry
{
public:
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // The connection string of registry.db.
    QString connection() const { return QStringLiteral("Provider=SQLite;Data Source=registry.db"); }

    // Runs statements on registry.db (created on first use).
    void sql(const QStringList &statements) const
    {
        // The engine opens only a file that is there.
        QFile(file(QStringLiteral("registry.db"))).open(QIODevice::Append);
        const db::ConnectionPtr registry = db::Connection::open(connection(), path());
        for (const QString &statement : statements)
            registry->execute(statement);
    }

    // A table 登记 (编号 INTEGER, 姓名 TEXT, 年龄 INTEGER, 登记日期 DATETIME)
    // with rows rows (1 .. rows, named 人1 .. ).
    void people(int rows) const
    {
        QStringList statements = {"create table 登记 (编号 INTEGER, 姓名 TEXT, 年龄 INTEGER, 登记日期 DATETIME)",
                                  "begin"};
        for (int i = 1; i <= rows; ++i)
            statements.append(QStringLiteral("insert into 登记 values (%1, '人%1', %2, '2012-03-%3 10:00:00')")
                                  .arg(i)
                                  .arg(20 + i % 50)
                                  .arg(1 + i % 28, 2, 10, QLatin1Char('0')));
        statements.append("commit");
        sql(statements);
    }

    // Writes vesko.ini with a connection string and a default statement
    // (and the optional three).
    void writeIni(const QString &connection, const QString &defaultStatement, const QString &all = QString(),
                  const QString &spare1 = QString(), const QString &spare2 = QString()) const
    {
        const QString texts[] = {connection, defaultStatement, all, spare1, spare2};
        for (std::size_t i = 0; i < kStoredTexts.size(); ++i) {
            if (!texts[i].isNull())
                ProfileStore::write(kStoredTexts[i].section, ini::kValue, texts[i], file(QStringLiteral("vesko.ini")));
        }
    }

private:
    QTemporaryDir m_dir;
};

} // namespace vesko::test
