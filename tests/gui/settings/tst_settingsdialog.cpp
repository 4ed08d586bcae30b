#include "core/config/MainConfig.h"
#include "gui/settings/SettingsDialog.h"
#include "support/Desk.h"
#include "support/FileBytes.h"
#include "support/Messages.h"
#include "support/TestRunner.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace vesko;
using namespace vesko::test;

class TestSettingsDialog : public QObject
{
    Q_OBJECT

    // Opens the desk on three people, with vesko.ini holding its connection, the
    // default statement and 全部, and then its settings dialog.
    static SettingsDialog *openSettings(Desk &desk, const QString &all = QString())
    {
        desk.registry.people(3);
        desk.registry.writeIni(desk.registry.connection(), "select * from 登记", all);
        desk.open();
        return desk.openSettings();
    }

private slots:
    void testsRunOverTheTypedConnection()
    {
        Desk desk;
        SettingsDialog *dialog = openSettings(desk, "select * from 科室表");
        const QByteArray stored = readBytes(desk.ini());
        desk.click("Command1");

        // The statement test runs the box's statement over the typed
        // connection, shows its result and stores nothing.
        TestRegistry other;
        other.sql({"create table 科室表 (科室 TEXT, 人数 INTEGER)", "insert into 科室表 values ('内科', 2)"});
        dialog->findChild<QLineEdit *>("t_cn")->setText("Provider=SQLite;Data Source=" + other.file("registry.db"));
        QCOMPARE(desk.openSettings(), dialog); // the one dialog, with what was typed
        desk.click("Command3");
        QCOMPARE(desk.count(), QStringLiteral("共有 1 人"));
        QCOMPARE(desk.config.connectionString, desk.registry.connection());
        QCOMPARE(readBytes(desk.ini()), stored);

        dialog->findChild<QLineEdit *>("t_cn")->setText("Provider=SQLite;Data Source=missing.db");
        desk.click("Command1");
        QCOMPARE(desk.messages.texts(), QStringList({"数据库连接成功！", kConnectMessage}));
    }

    // A close during a test waits for the test to end, then stores and
    // applies as any close does.
    void closeDuringATestWaitsForIt()
    {
        Desk desk;
        // 全部 never ends.
        SettingsDialog *dialog = openSettings(
            desk, "with recursive r(n) as (select 1 union all select n + 1 from r) select count(*) from r");
        dialog->findChild<QLineEdit *>("t_qt1")->setText("select 1");
        QTimer::singleShot(0, dialog, [&] {
            QVERIFY(!dialog->close());
            QTest::keyClick(desk.window.get(), Qt::Key_Escape);
        });
        desk.click("Command3");
        QTRY_VERIFY(!desk.window->settingsDialog());
        QCOMPARE(readStoredTexts(desk.ini()).spare1Statement, QStringLiteral("select 1"));
        QCOMPARE(desk.count(), QStringLiteral("共有 3 人"));
    }

    void closingStoresAndApplies_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("closeMainWindow");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("stored"); // 备用一 in vesko.ini afterwards
        const QString longStatement = "select * from 登记 where 编号 < 3 and 姓名 <> '" + QString(300, 'x') + "'";
        dataRow("reconnects", "t_sql", longStatement, false, QStringList(), "共有 2 人", "select 1");
        dataRow("without a connection", "t_cn", "", false, QStringList({kConnectMessage, kQueryMessage}), "共有 3 人",
                "select 1");
        dataRow("without a default statement", "t_sql", "", false, QStringList({kUnsetMessage}), "共有 3 人", "");
        dataRow("main window closing: no reconnect", "t_cn", "Provider=SQLite;Data Source=missing.db", true,
                QStringList(), "共有 3 人", "select 1");
    }

    void closingStoresAndApplies()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, text);
        QFETCH(bool, closeMainWindow);
        Desk desk;
        SettingsDialog *dialog = openSettings(desk);
        dialog->findChild<QLineEdit *>(boxName)->setText(text);
        dialog->findChild<QLineEdit *>("t_qt1")->setText("select 1");
        if (closeMainWindow)
            desk.window->close();
        else
            dialog->close();
        QTEST(desk.messages.texts(), "expected");
        QTEST(desk.count(), "count");
        // The window runs on what vesko.ini holds, the typed values or the old.
        const RunConfig kept = readStoredTexts(desk.ini());
        QTEST(kept.spare1Statement, "stored");
        QCOMPARE(desk.config.spare1Statement, kept.spare1Statement);
        QCOMPARE(desk.config.connectionString, kept.connectionString);
    }
};

VESKO_TEST_MAIN(TestSettingsDialog, QApplication)
#include "tst_settingsdialog.moc"
