#include "support/Desk.h"
#include "support/Messages.h"
#include "support/TestServer.h"

#include "db/Connection.h"
#include "gui/search/SearchBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QInputMethodEvent>
#include <QTest>

using namespace vesko;
using namespace vesko::test;

namespace {

// Five people. 1 registered at 00:30 on the first day of the range 3-5 .. 3-7
// and 3 at 23:59:30 on its last. 出生日期 is a date; 来访 holds bare dates and
// times, which SQLite keeps as the text given.
QStringList people(const QString &table)
{
    QStringList out = {QStringLiteral("create table %1 (编号 INTEGER, 姓名 VARCHAR(20), 年龄 INTEGER,"
                                      " 出生日期 DATE, 登记日期 TIMESTAMP, 来访 TIMESTAMP)").arg(table)};
    for (const char *row : {"1, '张三', 30, '2020-01-01', '2012-03-05 00:30:00', '2012-03-05'",
                            "2, '张三丰', 45, '2020-01-02', '2012-03-06 12:00:00', '2012-03-06 10:00:00'",
                            "3, '李四', 30, '1996-07-08', '2012-03-07 23:59:30', '2012-03-07 23:59:30'",
                            "4, 'O''Neil', 52, '1974-02-03', '2012-03-04 23:59:59', '2012-03-04'",
                            "5, 'a\\b', 28, '1998-03-04', '2012-03-08 09:00:00', '2012-03-08'"})
        out.append(QStringLiteral("insert into %1 values (%2)").arg(table, QString::fromUtf8(row)));
    return out;
}

QString odbcPostgres()
{
    const QString host = qEnvironmentVariable("VESKO_TEST_PG_HOST");
    if (host.isEmpty() || qEnvironmentVariableIsEmpty("ODBCSYSINI"))
        return QString();
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=postgres;Uid=%3;Pwd={%4}")
        .arg(host, qEnvironmentVariable("VESKO_TEST_PG_PORT"), qEnvironmentVariable("VESKO_TEST_PG_USER"),
             qEnvironmentVariable("VESKO_TEST_PG_PASSWORD"));
}

// Latin-1 arrives as key presses, anything else from the input method.
void type(QWidget *widget, const QString &text)
{
    if (text.toLatin1() == text.toUtf8()) {
        QTest::keyClicks(widget, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(widget, &commit);
}

} // namespace

// 查询 end to end: the panel's rows, composed in each engine's dialect and run
// by SQLite and a PostgreSQL server, directly and through ODBC.
class TestSearchCommand : public QObject
{
    Q_OBJECT

    QString m_table = QStringLiteral("人员");
    db::ConnectionPtr m_pg;

private slots:
    void initTestCase()
    {
        if (postgresConnection().isEmpty())
            return;
        m_table = QStringLiteral("vesko_search_%1_%2").arg(QCoreApplication::applicationPid())
                      .arg(QDateTime::currentMSecsSinceEpoch());
        m_pg = db::Connection::open(postgresConnection(), QString());
        for (const QString &statement : people(m_table))
            m_pg->execute(statement);
    }

    void cleanupTestCase()
    {
        if (m_pg)
            m_pg->execute(QStringLiteral("drop table %1").arg(m_table));
    }

    void search_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("where"); // the default statement's tail
        QTest::addColumn<QStringList>("criteria"); // column, value pairs
        QTest::addColumn<QStringList>("range"); // 登记日期 by the date frame
        QTest::addColumn<bool>("opAnd");
        QTest::addColumn<bool>("substring");
        QTest::addColumn<QList<int>>("ids"); // {-1}: refused, nothing sent

        const QStringList range = {"2012", "3", "5", "2012", "3", "7"};
        for (const char *engine : {"sqlite", "postgresql", "odbc-postgresql"}) {
            auto row = [engine](const char *name) -> QTestData & {
                return QTest::addRow("%s: %s", engine, name) << QString::fromLatin1(engine);
            };
            row("substring and age") << "" << QStringList{"姓名", "张", "年龄", "30"} << QStringList() << true << true
                                     << QList<int>{1};
            row("quote") << "" << QStringList{"姓名", "O'Neil"} << QStringList() << false << false << QList<int>{4};
            row("backslash substring") << "" << QStringList{"姓名", "a\\b"} << QStringList() << false << true
                                       << QList<int>{5};
            row("whole days of a range, frame open") << "" << QStringList() << range << false << false
                                                     << QList<int>{1, 2, 3};
            row("typed into the open frame's box") << "" << QStringList{"登记日期", "2012-3-8"} << QStringList()
                                                   << false << false << QList<int>{5};
            row("typed over a confirmed range") << "" << QStringList{"登记日期", "2012/3/4"} << range << false
                                                << false << QList<int>{4};
            row("first day of a date column") << "" << QStringList{"出生日期", "2020-1-1"} << QStringList() << false
                                              << false << QList<int>{1};
            row("month first") << "" << QStringList{"出生日期", "1/2/2020"} << QStringList() << false << false
                               << QList<int>{2};
            row("not a date") << "" << QStringList{"姓名", "张三", "出生日期", "2020-13-1"} << QStringList() << false
                              << false << QList<int>{-1};
            row("bare date in a time column") << "" << QStringList{"来访", "2012-3-5"} << QStringList() << false
                                              << false << QList<int>{1};
            row("WHERE in capitals") << " WHERE 编号>1" << QStringList{"年龄", "30"} << QStringList() << false
                                     << false << QList<int>{1, 3};
        }
    }

    void search()
    {
        QFETCH(QString, engine);
        QFETCH(QStringList, criteria);
        QFETCH(QStringList, range);
        QFETCH(QList<int>, ids);
        const QString connection = engine == "sqlite" ? QString() : engine == "postgresql" ? postgresConnection() : odbcPostgres();
        if (engine != "sqlite" && connection.isEmpty())
            QSKIP("no PostgreSQL server or no ODBC drivers");
        Desk desk;
        if (engine == "sqlite")
            desk.registry.sql(people(m_table));
        QFETCH(QString, where);
        desk.registry.writeIni(engine == "sqlite" ? desk.registry.connection() : connection,
                               QStringLiteral("select 编号, 姓名, 年龄, 出生日期, 登记日期, 来访 from %1%2").arg(m_table, where));
        desk.open();
        QVERIFY(QTest::qWaitForWindowActive(desk.window.get()));
        QCOMPARE(desk.messages.texts(), QStringList());
        const QString before = desk.count();

        QFETCH(bool, opAnd);
        QFETCH(bool, substring);
        if (opAnd)
            desk.click("op_and");
        if (substring)
            desk.click("ck_mohu");
        if (!range.isEmpty()) {
            QTest::mouseClick(desk.fieldCheck(QStringLiteral("登记日期")), Qt::LeftButton);
            for (int i = 0; i < 6; ++i) {
                auto *combo = desk.window->findChild<QComboBox *>(QStringLiteral("Combo%1").arg(i + 1));
                combo->setCurrentIndex(combo->findText(range.at(i)));
            }
            if (!criteria.isEmpty())
                desk.click("Command2");
        }
        for (qsizetype i = 0; i < criteria.size(); i += 2) {
            QCheckBox *check = desk.fieldCheck(criteria.at(i));
            if (!check->isChecked())
                QTest::mouseClick(check, Qt::LeftButton);
            SearchBox *box = desk.fieldBox(criteria.at(i));
            box->selectAll();
            type(box, criteria.at(i + 1));
        }
        desk.click("exbt_find");

        if (ids == QList<int>{-1}) {
            QCOMPARE(desk.messages.texts(), QStringList{kQueryMessage});
            QCOMPARE(desk.count(), before);
            return;
        }
        QCOMPARE(desk.messages.texts(), QStringList());
        const db::Result &rs = *desk.window->dataLink().result();
        QList<int> found;
        for (qint64 r = 0; r < rs.rowCount(); ++r)
            found.append(rs.text(r, 0).toInt());
        std::sort(found.begin(), found.end());
        QCOMPARE(found, ids);
    }
};

QTEST_MAIN(TestSearchCommand)
#include "tst_searchcommand.moc"
