#include "core/config/Gbk.h"
#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "support/Desk.h"
#include "support/FileBytes.h"
#include "support/Messages.h"
#include "gui/widgets/ResultGrid.h"

#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTest>

using namespace vesko;
using namespace vesko::test;

namespace {

const QString kPeople = QStringLiteral("select * from 登记");

// A registry of rows people, named in vesko.ini with its default statement.
void prepare(Desk &desk, int rows, const QString &statement = kPeople)
{
    desk.registry.people(rows);
    desk.registry.writeIni(desk.registry.connection(), statement);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void startup_data()
    {
        QTest::addColumn<QString>("connection"); // "-" leaves it unset
        QTest::addColumn<QString>("statement");  // "-" leaves it unset
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top"); // when stored, the window goes to position
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("count");

        const QString good = QStringLiteral("Provider=SQLite;Data Source=registry.db");
        const QStringList failed{kStartupMessage};
        QTest::newRow("working") << good << kPeople << "" << "" << QPoint() << QStringList() << "共有 3 人";
        QTest::newRow("no configuration") << "-" << "-" << "" << "" << QPoint() << failed << "";
        QTest::newRow("default statement not set") << good << "-" << "" << "" << QPoint() << failed << "";
        QTest::newRow("connection fails") << "Provider=SQLite;Data Source=missing.db" << kPeople << "" << ""
                                          << QPoint() << QStringList({kConnectMessage, kQueryMessage, kStartupMessage}) << "";
        QTest::newRow("default statement fails") << good << "select * from nowhere" << "" << "" << QPoint()
                                                 << QStringList({kQueryMessage, kStartupMessage}) << "";
        QTest::newRow("stored position not a number") << good << kPeople << "abc" << "" << QPoint() << failed
                                                      << "共有 3 人";
        QTest::newRow("negative left goes to the edge") << good << kPeople << "-300" << "750" << QPoint(0, 50)
                                                        << QStringList() << "共有 3 人";
        QTest::newRow("top 0") << good << kPeople << "1500" << "0" << QPoint(100, 0) << QStringList() << "共有 3 人";
    }

    void startup()
    {
        QFETCH(QString, connection);
        QFETCH(QString, statement);
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(QPoint, position);
        QFETCH(QStringList, expected);
        QFETCH(QString, count);
        Desk desk;
        desk.registry.people(3);
        const QString ini = desk.ini();
        if (connection != "-")
            ProfileStore::write(ini::kConnection, ini::kValue, connection, ini);
        if (statement != "-")
            ProfileStore::write(ini::kDefault, ini::kValue, statement, ini);
        if (!left.isEmpty())
            ProfileStore::write(ini::kPosition, ini::kLeft, left, ini);
        if (!top.isEmpty())
            ProfileStore::write(ini::kPosition, ini::kTop, top, ini);
        desk.open();
        if (!top.isEmpty())
            QCOMPARE(desk.window->pos(), position);

        QCOMPARE(desk.messages.texts(), expected);
        QCOMPARE(desk.count(), count);
        if (count.isEmpty()) {
            QCOMPARE(desk.gridRows(), 0);
        } else {
            QCOMPARE(desk.gridRows(), 3);
            QCOMPARE(desk.selectedRow(), 0);
        }
        if (connection == "-")
            QVERIFY(desk.config.connectionString.isEmpty());
        else
            QCOMPARE(desk.config.connectionString, connection);
        QVERIFY(!QFile::exists(desk.brinfo()));
    }

    void engineErrorIsShownAsDetail()
    {
        Desk desk;
        desk.registry.writeIni("Provider=SQLite;Data Source=missing.db", "select 1");
        desk.open();
        QVERIFY(desk.messages.messages.first().detail.contains("missing.db"));
        QCOMPARE(desk.messages.messages[0].icon, MessageService::Icon::None);
        QCOMPARE(desk.messages.messages[1].icon, MessageService::Icon::Information);
    }

    void everyCloseWritesTheStopSignal_data()
    {
        QTest::addColumn<bool>("byExitButton");
        QTest::addColumn<Qt::WindowState>("state");
        QTest::addColumn<bool>("positionSaved");
        QTest::newRow("退出 in the normal state") << true << Qt::WindowNoState << true;
        QTest::newRow("退出 while minimised") << true << Qt::WindowMinimized << false;
        QTest::newRow("title bar close") << false << Qt::WindowNoState << false;
    }

    void everyCloseWritesTheStopSignal()
    {
        QFETCH(bool, byExitButton);
        QFETCH(Qt::WindowState, state);
        QFETCH(bool, positionSaved);
        Desk desk; // no vesko.ini: a failed start-up
        desk.open();
        desk.window->move(40, 30);
        desk.window->setWindowState(state);
        if (byExitButton)
            desk.click("exbt_exit");
        else
            desk.window->close();
        QVERIFY(!desk.window->isVisible());
        QCOMPARE(readBytes(desk.brinfo()),
                 "[" + toGbk(QStringLiteral("登记程序")) + "]\r\nvalue=stop\r\n");
        const QByteArray ini = readBytes(desk.ini());
        if (positionSaved)
            QCOMPARE(ini, "[" + toGbk(QStringLiteral("vesko窗口位置")) + "]\r\nleft=600\r\ntop=450\r\n");
        else
            QCOMPARE(ini, kMissingFile);
    }

    void dataLink()
    {
        Desk desk;
        prepare(desk, 5);
        desk.registry.sql({"create table 空 (a TEXT)"});
        desk.open();

        DataLink &link = desk.window->dataLink();
        link.refresh("select * from 登记 where 编号 <= 4");
        QCOMPARE(desk.count(), QStringLiteral("共有 4 人"));
        QCOMPARE(desk.selectedRow(), 3);
        QCOMPARE(link.result()->currentRow(), 3);

        // The grid's selection is the result's current row.
        desk.window->grid()->view()->selectRow(1);
        QCOMPARE(link.result()->currentRow(), 1);

        link.refresh("select * from 空");
        QCOMPARE(desk.count(), QStringLiteral("共有 0 人"));
        QCOMPARE(desk.gridRows(), 0);

        link.refresh("select * from");
        QCOMPARE(desk.messages.texts(), QStringList({kQueryMessage}));
        QCOMPARE(desk.count(), QStringLiteral("共有 0 人"));

        link.reconnectAndShow(kPeople);
        QCOMPARE(desk.count(), QStringLiteral("共有 5 人"));
        QCOMPARE(desk.selectedRow(), 0);

        // connected follows the last connect; the label keeps its text.
        QVERIFY(desk.config.connected);
        desk.config.connectionString = "Provider=SQLite;Data Source=missing.db";
        link.openConnection();
        QVERIFY(!desk.config.connected);
        link.refresh(kPeople);
        QCOMPARE(desk.messages.texts(), QStringList({kQueryMessage, kConnectMessage, kQueryMessage}));
        QCOMPARE(desk.count(), QStringLiteral("共有 5 人"));
    }

    void presetButtons()
    {
        Desk desk;
        desk.registry.people(6);
        desk.registry.sql({"create table 科室表 (科室 TEXT)", "insert into 科室表 values ('内科')"});
        desk.registry.writeIni(desk.registry.connection(), "select * from 登记 where 编号 <= 2",
                               "select * from 科室表");
        desk.open();
        desk.config.spare1Statement = "   "; // as the settings dialog may set it

        desk.click("exbt_qt2"); // not set: nothing at all
        QVERIFY(desk.messages.messages.isEmpty());
        QCOMPARE(desk.count(), QStringLiteral("共有 2 人"));

        desk.click("exbt_showall");
        QCOMPARE(desk.count(), QStringLiteral("共有 1 人"));
        QCOMPARE(desk.window->grid()->view()->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("科室"));

        desk.click("exbt_qt1"); // blanks only: runs and fails
        QCOMPARE(desk.messages.texts(), QStringList({kQueryMessage}));

        desk.click("exbt_ref");
        QCOMPARE(desk.count(), QStringLiteral("共有 2 人"));
        QCOMPARE(desk.selectedRow(), 1);
    }

    void handOffTakesTheSelectedRow()
    {
        Desk desk;
        prepare(desk, 3, "select 编号, 姓名, 登记日期 from 登记");
        desk.registry.sql({"update 登记 set 姓名 = null where 编号 = 2"});
        desk.open();
        const QString brinfo = desk.brinfo();
        const QByteArray expected = toGbk(QStringLiteral(
            "[字段总数]\r\n值=3\r\n[字段名]\r\n0=编号\r\n1=姓名\r\n2=登记日期\r\n"
            "[字段值]\r\n0=2\r\n1=\r\n2=2012/3/3 10:00:00\r\n[over]\r\nvalue=yes\r\n"));

        // A double-click on a row hands that row over, and so does 导入 then.
        QTableView *view = desk.window->grid()->view();
        const QRect cell = view->visualRect(view->model()->index(1, 0));
        QVERIFY(QTest::qWaitForWindowExposed(desk.window.get()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(readBytes(brinfo), expected);
        QVERIFY(QFile::remove(brinfo));
        desk.click("exbt_in");
        QCOMPARE(readBytes(brinfo), expected);
        QVERIFY(desk.messages.messages.isEmpty());
    }

    void noRecordNoHandOff_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("empty result") << "select * from 登记 where 编号 < 0";
        QTest::newRow("no open result") << "select * from nowhere";
    }

    void noRecordNoHandOff()
    {
        QFETCH(QString, statement);
        Desk desk;
        prepare(desk, 2);
        desk.open();
        desk.window->dataLink().refresh(statement);
        desk.messages.clear();
        desk.click("exbt_in");
        QCOMPARE(desk.messages.texts(), QStringList({"没有可以导入的记录！"}));
        QVERIFY(!QFile::exists(desk.brinfo()));
    }

    void secondCopyEndsSilently()
    {
        QTemporaryDir dir;
        const QString exe = dir.filePath("vesko");
        QVERIFY(QFile::copy(QStringLiteral(VESKO_EXECUTABLE), exe));
        qputenv("QT_QPA_PLATFORM", "offscreen"); // for the copies started below
        QProcess first, second, third;
        first.start(exe);
        QVERIFY(first.waitForStarted());
        QTest::qWait(1500); // the first copy shows its start-up message and waits

        second.start(exe);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // A copy that crashed leaves no lock behind that blocks the next start.
        first.kill();
        first.waitForFinished();
        third.start(exe);
        QVERIFY(third.waitForStarted());
        QVERIFY(!third.waitForFinished(1500));
        third.kill();
        third.waitForFinished();

        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"vesko"}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
