#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vesko::test {

// A program directory in a temporary folder with a real SQLite file in it.
class TestRegistry
{
public:
    TestRegistry();

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Runs statements on registry.db (created on first use).
    void sql(const QStringList &statements) const;
    // A table 登记 (编号 INTEGER, 姓名 TEXT, 年龄 INTEGER, 登记日期 DATETIME)
    // with rows rows (1 .. rows, named 人1 .. ).
    void people(int rows) const;

    // The connection string of registry.db.
    QString connection() const;

    // Writes vesko.ini with a connection string and a default statement
    // (and the optional three).
    void writeIni(const QString &connection, const QString &defaultStatement, const QString &all = QString(),
                  const QString &spare1 = QString(), const QString &spare2 = QString()) const;

private:
    QTemporaryDir m_dir;
};

} // namespace vesko::test
