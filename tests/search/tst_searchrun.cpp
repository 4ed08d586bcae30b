#include "SearchWindow.h"

#include "main/db/Connection.h"

#include <QCoreApplication>
#include <QDateTime>

using namespace vesko;
using namespace vesko::test;

// 查询 end to end: criteria set with clicks and keys on the real window, the
// composed statement run by SQLite and by a PostgreSQL server.
class TestSearchRun : public QObject
{
    Q_OBJECT

    QString m_pgTable;
    db::ConnectionPtr m_pg;

    static QString env(const char *name) { return qEnvironmentVariable(name); }

    static QString pgConnection()
    {
        return QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=postgres;User ID=%3;Password={%4}")
            .arg(env("VESKO_TEST_PG_HOST"), env("VESKO_TEST_PG_PORT"), env("VESKO_TEST_PG_USER"),
                 env("VESKO_TEST_PG_PASSWORD"));
    }

private slots:
    void initTestCase()
    {
        if (env("VESKO_TEST_PG_HOST").isEmpty())
            return;
        m_pgTable = QStringLiteral("vesko_search_%1_%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(QDateTime::currentMSecsSinceEpoch());
        m_pg = db::Connection::open(pgConnection(), QString());
        for (const QString &statement : peopleStatements(m_pgTable))
            m_pg->execute(statement);
    }

    void cleanupTestCase()
    {
        if (m_pg)
            m_pg->execute(QStringLiteral("drop table %1").arg(m_pgTable));
    }

    void search_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("age");
        QTest::addColumn<QStringList>("range"); // 登记日期 by the date frame
        QTest::addColumn<QString>("typedDate"); // 登记日期 typed, frame closed
        QTest::addColumn<bool>("opAnd");
        QTest::addColumn<bool>("substring");
        QTest::addColumn<QList<int>>("ids");

        const QStringList range57 = {"2012", "3", "5", "2012", "3", "7"};
        const QStringList range68 = {"2012", "3", "6", "2012", "3", "8"};
        for (const char *engine : {"sqlite", "postgresql"}) {
            auto row = [engine](const char *name) -> QTestData & {
                const QString tag = QStringLiteral("%1: %2").arg(QLatin1String(engine), QString::fromUtf8(name));
                return QTest::newRow(qPrintable(tag)) << QString::fromLatin1(engine);
            };
            row("name exact") << "张三" << "" << QStringList() << "" << false << false << QList<int>{1};
            row("name substring") << "张三" << "" << QStringList() << "" << false << true << QList<int>{1, 2};
            row("age") << "" << "30" << QStringList() << "" << false << false << QList<int>{1, 3};
            row("date range") << "" << "" << range57 << "" << false << false << QList<int>{1, 2};
            row("typed date") << "" << "" << QStringList() << "2012-3-8" << false << false << QList<int>{5};
            row("name and age") << "张三" << "45" << QStringList() << "" << true << false << QList<int>{};
            row("name or age") << "张三" << "45" << QStringList() << "" << false << false << QList<int>{1, 2};
            row("substring and age") << "张" << "30" << QStringList() << "" << true << true << QList<int>{1};
            row("substring or age") << "张" << "30" << QStringList() << "" << false << true << QList<int>{1, 2, 3};
            row("substring and range") << "张" << "" << range68 << "" << true << true << QList<int>{2};
            row("quote exact") << "O'Neil" << "" << QStringList() << "" << false << false << QList<int>{4};
            row("quote substring") << "'Ne" << "" << QStringList() << "" << false << true << QList<int>{4};
        }
    }

    void search()
    {
        QFETCH(QString, engine);
        QFETCH(QString, name);
        QFETCH(QString, age);
        QFETCH(QStringList, range);
        QFETCH(QString, typedDate);
        QFETCH(bool, opAnd);
        QFETCH(bool, substring);
        QFETCH(QList<int>, ids);

        SearchWindow w;
        if (engine == "sqlite") {
            w.registry.sql(peopleStatements(QStringLiteral("人员")));
            QVERIFY(w.open(w.registry.connection(), peopleStatement(QStringLiteral("人员"))));
        } else {
            if (!m_pg)
                QSKIP("VESKO_TEST_PG_HOST is not set");
            QVERIFY(w.open(pgConnection(), peopleStatement(m_pgTable)));
        }
        QCOMPARE(w.count(), QStringLiteral("共有 5 人"));

        if (opAnd)
            w.click("op_and");
        if (substring)
            w.click("ck_mohu");
        const QString nameColumn = QStringLiteral("姓名");
        const QString ageColumn = QStringLiteral("年龄");
        const QString dateColumn = QStringLiteral("登记日期");
        if (!name.isEmpty()) {
            w.tick(nameColumn);
            type(w.box(nameColumn), name);
        }
        if (!age.isEmpty()) {
            w.tick(ageColumn);
            type(w.box(ageColumn), age);
        }
        if (!typedDate.isEmpty()) {
            w.tick(dateColumn);
            w.click(w.child("fm_cx"), {5, 245});
            type(w.box(dateColumn), typedDate);
        }
        if (!range.isEmpty()) {
            // Left open: 查询 confirms it first.
            w.tick(dateColumn);
            w.chooseDates(range);
        }
        w.click("exbt_find");

        QCOMPARE(w.messages.texts(), QStringList());
        QCOMPARE(w.ids(), ids);
        QCOMPARE(w.count(), QStringLiteral("共有 %1 人").arg(ids.size()));
    }
};

QTEST_MAIN(TestSearchRun)
#include "tst_searchrun.moc"
