#include "core/config/Gbk.h"
#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "gui/main/MainWindow.h"
#include "gui/settings/SettingsDialog.h"
#include "support/Desk.h"
#include "support/FileBytes.h"
#include "support/Messages.h"
#include "support/TestServer.h"
#include "gui/widgets/ResultGrid.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace vesko;
using namespace vesko::test;

namespace {

const QString kDefault = QStringLiteral("select * from 登记");

void click(QWidget *dialog, const char *button)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
}

// Opens the desk on three people, with vesko.ini holding its connection, the
// default statement and the given optional ones, and then its settings dialog.
SettingsDialog *openSettings(Desk &desk, const QString &all = QString(), const QString &spare1 = QString())
{
    desk.registry.people(3);
    desk.registry.writeIni(desk.registry.connection(), kDefault, all, spare1);
    desk.open();
    return desk.openSettings();
}

} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void loadsStoredValuesAndLeavesUnsetOnesEmpty()
    {
        Desk desk;
        SettingsDialog *dialog = openSettings(desk, "", "-1");
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("网络连接接口-SQL语句设置"));
        QCOMPARE(dialog->findChild<QLineEdit *>("t_cn")->text(), desk.registry.connection());
        QCOMPARE(dialog->findChild<QLineEdit *>("t_sql")->text(), kDefault);
        QVERIFY(dialog->findChild<QLineEdit *>("t_all")->text().isEmpty());
        QVERIFY(dialog->findChild<QLineEdit *>("t_qt1")->text().isEmpty());
        QVERIFY(dialog->findChild<QLineEdit *>("t_qt2")->text().isEmpty());

        // A second click keeps the one dialog and what was typed in it.
        dialog->findChild<QLineEdit *>("t_qt2")->setText("typed");
        QCOMPARE(desk.openSettings(), dialog);
        QCOMPARE(dialog->findChild<QLineEdit *>("t_qt2")->text(), QStringLiteral("typed"));
        QCOMPARE(desk.window->findChildren<SettingsDialog *>().size(), 1);
    }

    void connectionTest()
    {
        Desk desk;
        SettingsDialog *dialog = openSettings(desk);
        click(dialog, "Command1");
        QCOMPARE(desk.messages.texts(), QStringList({"数据库连接成功！"}));

        desk.messages.clear();
        dialog->findChild<QLineEdit *>("t_cn")->setText("Provider=SQLite;Data Source=missing.db");
        click(dialog, "Command1");
        QCOMPARE(desk.messages.texts(), QStringList({kConnectMessage}));
        QCOMPARE(desk.config.connectionString, desk.registry.connection());
    }

    void testsRunOverTheTypedConnection()
    {
        const QString server = postgresConnection();
        if (server.isEmpty())
            QSKIP("VESKO_TEST_PG_HOST is not set");
        Desk desk;
        SettingsDialog *dialog = openSettings(desk);
        dialog->findChild<QLineEdit *>("t_cn")->setText(server);
        click(dialog, "Command1");
        QCOMPARE(desk.messages.texts(), QStringList({"数据库连接成功！"}));
        dialog->findChild<QLineEdit *>("t_qt2")->setText("select 1 as 甲, '乙' as 乙 union all select 2, null");
        click(dialog, "Command5");
        QCOMPARE(desk.messages.texts(), QStringList({"数据库连接成功！"}));
        QCOMPARE(desk.count(), QStringLiteral("共有 2 人"));
        QCOMPARE(desk.config.connectionString, desk.registry.connection());
    }

    void statementTestShowsItsResultWithoutStoringIt()
    {
        Desk desk;
        desk.registry.sql({"create table 科室表 (科室 TEXT, 人数 INTEGER)", "insert into 科室表 values ('内科', 2)"});
        SettingsDialog *dialog = openSettings(desk, "select * from 科室表");
        const QByteArray before = readBytes(desk.ini());
        click(dialog, "Command3");
        QVERIFY(desk.messages.messages.isEmpty());
        QCOMPARE(desk.count(), QStringLiteral("共有 1 人"));
        QCOMPARE(desk.window->grid()->view()->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("人数"));
        QCOMPARE(desk.config.allStatement, QStringLiteral("select * from 科室表"));
        QCOMPARE(readBytes(desk.ini()), before);
    }

    void closingStoresAppliesAndReconnects()
    {
        Desk desk;
        SettingsDialog *dialog = openSettings(desk);
        const QString longStatement = "select * from 登记 where 姓名 <> '" + QString(300, 'x') + "'";
        dialog->findChild<QLineEdit *>("t_sql")->setText(longStatement);
        dialog->findChild<QLineEdit *>("t_qt1")->setText("select 1");
        dialog->close();
        QVERIFY(desk.messages.messages.isEmpty());
        QCOMPARE(desk.config.defaultStatement, longStatement);
        QCOMPARE(desk.config.spare1Statement, QStringLiteral("select 1"));
        QCOMPARE(fromGbk(readBytes(desk.ini())),
                 "[数据连接]\r\nvalue=" + desk.registry.connection() + "\r\n[默认查询]\r\nvalue=" + longStatement
                     + "\r\n[全部]\r\nvalue=\r\n[备用一]\r\nvalue=select 1\r\n[备用二]\r\nvalue=\r\n");

        // Reopening, and a restart, see what the close stored, whole.
        QCOMPARE(desk.openSettings()->findChild<QLineEdit *>("t_sql")->text(), longStatement);
        RunConfig restarted;
        QVERIFY(readStartupConfig(desk.ini(), restarted));
        QCOMPARE(restarted.defaultStatement, longStatement);
    }

    void closingWithoutConnectionReportsBothFailures()
    {
        Desk desk;
        SettingsDialog *dialog = openSettings(desk);
        dialog->findChild<QLineEdit *>("t_cn")->clear();
        dialog->close();
        QCOMPARE(desk.messages.texts(), QStringList({kConnectMessage, kQueryMessage}));
        QVERIFY(desk.config.connectionString.isEmpty());
        QCOMPARE(ProfileStore::read(ini::kConnection, ini::kValue, desk.ini()), QString());
    }

    void closingWithoutDefaultStatementStoresNothing()
    {
        Desk desk;
        SettingsDialog *dialog = openSettings(desk);
        const QByteArray before = readBytes(desk.ini());
        dialog->findChild<QLineEdit *>("t_cn")->setText("changed");
        dialog->findChild<QLineEdit *>("t_sql")->clear();
        dialog->close();
        QCOMPARE(desk.messages.texts(), QStringList({"未设置数据库连接参数"}));
        QCOMPARE(desk.messages.messages.first().icon, MessageService::Icon::Information);
        QCOMPARE(readBytes(desk.ini()), before);
        QCOMPARE(desk.config.connectionString, desk.registry.connection());
    }

    void mainWindowClosingWithDialogOpenStoresWithoutReconnecting()
    {
        Desk desk;
        SettingsDialog *dialog = openSettings(desk);
        dialog->findChild<QLineEdit *>("t_cn")->setText("Provider=SQLite;Data Source=missing.db");
        desk.window->close();
        QVERIFY(desk.messages.messages.isEmpty());
        QCOMPARE(ProfileStore::read(ini::kConnection, ini::kValue, desk.ini()),
                 QStringLiteral("Provider=SQLite;Data Source=missing.db"));
        QVERIFY(QFile::exists(desk.brinfo()));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
