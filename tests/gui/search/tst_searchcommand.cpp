#include "db/Connection.h"
#include "gui/search/SearchBox.h"
#include "support/Desk.h"
#include "support/Messages.h"
#include "support/TestRunner.h"
#include "support/TestServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QTest>

using namespace vesko;
using namespace vesko::test;

// 查询 end to end: the panel's rows, composed in each engine's dialect and run
// by SQLite, a PostgreSQL server and a MariaDB server through ODBC. How ODBC
// finds the dialect, and every server mode, the database tests hold.
class TestSearchCommand : public QObject
{
    Q_OBJECT

    const QString m_table = QStringLiteral("vesko_search_%1").arg(QCoreApplication::applicationPid());
    QList<db::ConnectionPtr> m_servers; // each holding the table

    // Five people. 1 registered at 00:30 on the first day of the range 3-5 .. 3-7
    // and 3 at 23:59:30 on its last. 出生日期 is a date; 来访 holds bare dates and
    // times, which SQLite keeps as the text given.
    static QStringList people(const QString &table)
    {
        QStringList out = {QStringLiteral("create table %1 (编号 INTEGER, 姓名 VARCHAR(20), 年龄 INTEGER,"
                                          " 出生日期 DATE, 登记日期 TIMESTAMP, 来访 TIMESTAMP)")
                               .arg(table)};
        for (const char *row : {"1, '张三', 30, '2020-01-01', '2012-03-05 00:30:00', '2012-03-05'",
                                "2, '张三丰', 45, '2020-01-02', '2012-03-06 12:00:00', '2012-03-06 10:00:00'",
                                "3, '李四', 30, '1996-07-08', '2012-03-07 23:59:30', '2012-03-07 23:59:30'",
                                "4, 'O''Neil', 52, '1974-02-03', '2012-03-04 23:59:59', '2012-03-04'",
                                "5, 'a\\b', 28, '1998-03-04', '2012-03-08 09:00:00', '2012-03-08'"})
            out.append(QStringLiteral("insert into %1 values (%2)").arg(table, QString::fromUtf8(row)));
        return out;
    }

private slots:
    void initTestCase()
    {
        for (const QString &server : {postgresConnection(), mariadbConnection()}) {
            if (server.isEmpty())
                continue;
            m_servers.append(db::Connection::open(server, QString()));
            // 'a\b' as typed on MariaDB too.
            if (server == mariadbConnection())
                m_servers.last()->execute("set sql_mode = concat(@@sql_mode, ',NO_BACKSLASH_ESCAPES')");
            for (const QString &statement : people(m_table))
                m_servers.last()->execute(statement);
        }
    }

    void cleanupTestCase()
    {
        for (const db::ConnectionPtr &server : std::as_const(m_servers))
            server->execute(QStringLiteral("drop table %1").arg(m_table));
    }

    void search_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QStringList>("options"); // buttons clicked first
        // Column, value pairs; a value "frame" sets 3-5 .. 3-7, "empty frame" an empty year.
        QTest::addColumn<QStringList>("criteria");
        QTest::addColumn<QList<int>>("ids");   // in the default statement's order; none: refused, nothing sent
        QTest::addColumn<int>("dateMessages"); // shown before the search

        for (const char *engine : {"sqlite", "postgresql", "mariadb"}) {
            auto row = [engine](const char *name, const QStringList &options, const QStringList &criteria,
                                const QList<int> &ids, int dateMessages = 0) {
                QTest::addRow("%s: %s", engine, name)
                    << QString::fromLatin1(engine) << options << criteria << ids << dateMessages;
            };
            row("substring and age", {"op_and", "ck_mohu"}, {"姓名", "张", "年龄", "30"}, {1});
            row("backslash substring", {"ck_mohu"}, {"姓名", "a\\b"}, {5});
            row("whole days of a range, frame open", {}, {"登记日期", "frame"}, {3, 2, 1});
            row("typed into the open frame's box", {}, {"登记日期", "20120308"}, {5});
            row("typed over a confirmed range", {}, {"登记日期", "confirmed frame", "登记日期", "2012年3月4日"}, {4});
            row("bare date in a time column", {}, {"来访", "2012-3-5"}, {1});
            // 全部 shows only 姓名: the panel keeps the types of the columns it was built for.
            row("after 全部", {"exbt_showall"}, {"登记日期", "2012-3-5"}, {1});
            row("empty year: a message per ticked date row", {}, {"来访", "frame", "登记日期", "empty frame"}, {}, 2);
            row("not a date", {}, {"姓名", "张三", "出生日期", "2020-13-1"}, {});
        }
    }

    void search()
    {
        QFETCH(QString, engine);
        QFETCH(QStringList, options);
        QFETCH(QStringList, criteria);
        QFETCH(QList<int>, ids);
        QFETCH(int, dateMessages);
        Desk desk;
        const QString connection = engine == "sqlite" ? desk.registry.connection()
            : engine == "postgresql"                  ? postgresConnection()
                                                      : mariadbConnection();
        if (connection.isEmpty())
            QSKIP("no server of this engine");
        if (engine == "sqlite")
            desk.registry.sql(people(m_table));
        const QStringList columns = {"编号", "姓名", "年龄", "出生日期", "登记日期", "来访"};
        desk.registry.writeIni(connection,
                               QStringLiteral("select %1 from %2 order by 编号 desc").arg(columns.join(", "), m_table),
                               QStringLiteral("select 姓名 from %1").arg(m_table));
        desk.open();
        for (const QString &option : options)
            desk.click(qPrintable(option));
        for (qsizetype i = 0; i < criteria.size(); i += 2) {
            const qsizetype column = columns.indexOf(criteria.at(i));
            auto *check = desk.window->findChild<QCheckBox *>(QStringLiteral("c_field_%1").arg(column));
            if (!check->isChecked())
                QTest::mouseClick(check, Qt::LeftButton);
            const QString &value = criteria.at(i + 1);
            if (value.endsWith("frame")) {
                const QStringList frame = {value == "empty frame" ? "" : "2012", "3", "5", "2012", "3", "7"};
                for (int n = 0; n < 6; ++n)
                    desk.window->findChild<QComboBox *>("Combo" + QString::number(n + 1))->setCurrentText(frame.at(n));
                if (value == "confirmed frame")
                    desk.click("Command2");
                continue;
            }
            auto *box = desk.window->findChild<SearchBox *>(QStringLiteral("t_field_%1").arg(column));
            box->selectAll();
            // Typed as the input method commits text.
            QInputMethodEvent commit;
            commit.setCommitString(value);
            QCoreApplication::sendEvent(box, &commit);
        }
        desk.click("exbt_find");

        // Start-up and search say nothing; a refused search names the last
        // criterion (an open frame's box reads as empty) and leaves the result
        // shown before.
        const QString last = criteria.last().endsWith("frame") ? QString() : criteria.last();
        QCOMPARE(desk.messages.texts(),
                 QStringList(dateMessages, kDateMessage)
                     + (ids.isEmpty() ? QStringList{kInformationMark
                                                    + unreadableDateMessage(criteria.at(criteria.size() - 2), last)}
                                      : QStringList()));
        QList<int> found;
        const db::Result &rs = *desk.window->dataLink().result();
        for (qint64 r = 0; r < rs.rowCount(); ++r)
            found.append(rs.text(r, 0).toInt());
        QCOMPARE(found, ids.isEmpty() ? QList<int>({5, 4, 3, 2, 1}) : ids);
    }
};

VESKO_TEST_MAIN(TestSearchCommand, QApplication)
#include "tst_searchcommand.moc"
