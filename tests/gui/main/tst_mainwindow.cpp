#include "core/config/Gbk.h"
#include "db/Connection.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/widgets/DeskLook.h"
#include "gui/widgets/MessageBoxService.h"
#include "gui/widgets/ResultGrid.h"
#include "support/ChildProcess.h"
#include "support/Desk.h"
#include "support/FileBytes.h"
#include "support/Messages.h"
#include "support/TestRunner.h"
#include "support/TestServer.h"

#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <csignal>

using namespace vesko;
using namespace vesko::test;

const QByteArray kStopSignal = "[" + toGbk(QStringLiteral("登记程序")) + "]\r\nvalue=stop\r\n";

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { applyDeskLook(); }

    void startup_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QPoint>("position"); // where the window goes
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("rows");
        const auto ini = [](const QString &connection, const QString &position = QString(),
                            const QString &statement = QStringLiteral("select * from 登记")) {
            return "[数据连接]\r\nvalue=Provider=SQLite;Data Source=" + connection
                + ".db\r\n[默认查询]\r\nvalue=" + statement + "\r\n[vesko窗口位置]\r\n" + position;
        };
        dataRow("working", ini("registry"), QPoint(), QStringList(), 3);
        // Nothing is connected or run: the connection would fail.
        dataRow("default statement stored as -1", ini("missing", QString(), "-1"), QPoint(),
                QStringList({kStartupMessage}), 0);
        dataRow("connection fails", ini("missing"), QPoint(),
                QStringList({kConnectMessage, kQueryMessage, kStartupMessage}), 0);
        dataRow("stored position not a number", ini("registry", "left=abc"), QPoint(), QStringList({kStartupMessage}),
                3);
        // The 1024 x 768 test screen holds the 851 x 463 window whole.
        dataRow("off screen comes back whole", ini("registry", "left=150000\r\ntop=150000"), QPoint(173, 305),
                QStringList(), 3);
    }

    void startup()
    {
        QFETCH(QString, ini);
        QFETCH(int, rows);
        Desk desk;
        desk.registry.people(3);
        QVERIFY(writeBytes(desk.ini(), toGbk(ini)));
        desk.open();
        QTEST(desk.window->pos(), "position");
        QTEST(desk.messages.texts(), "expected");
        QCOMPARE(desk.count(), rows ? QStringLiteral("共有 %1 人").arg(rows) : QString());
        QCOMPARE(desk.window->grid()->view()->currentIndex().row(), rows ? 0 : -1);
    }

    void everyCloseWritesTheStopSignal_data()
    {
        QTest::addColumn<bool>("byExitButton");
        QTest::addColumn<Qt::WindowState>("state");
        QTest::addColumn<QByteArray>("ini");
        dataRow("退出 in the normal state", true, Qt::WindowNoState,
                "[" + toGbk(QStringLiteral("vesko窗口位置")) + "]\r\nleft=600\r\ntop=450\r\n");
        dataRow("退出 while minimised", true, Qt::WindowMinimized, kMissingFile);
        dataRow("title bar close", false, Qt::WindowNoState, kMissingFile);
    }

    void everyCloseWritesTheStopSignal()
    {
        QFETCH(bool, byExitButton);
        QFETCH(Qt::WindowState, state);
        Desk desk; // no vesko.ini: a failed start-up
        desk.open();
        desk.window->move(40, 30);
        desk.window->setWindowState(state);
        if (byExitButton)
            desk.click("exbt_exit");
        else
            desk.window->close();
        QCOMPARE(readBytes(desk.brinfo()), kStopSignal);
        QTEST(readBytes(desk.ini()), "ini");
    }

    // A termination request ends the program, stop signal written: also while
    // start-up shows its messages, and while its start-up statement runs after
    // a second start has asked it to come forward.
    void terminationClosesTheWindow_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<QString>("statement");
        const QString registry = QStringLiteral("Provider=SQLite;Data Source=registry.db");
        dataRow("SIGTERM", SIGTERM, registry, "select * from 登记");
        dataRow("SIGHUP", SIGHUP, registry, "select * from 登记");
        dataRow("SIGTERM during start-up messages", SIGTERM, "Provider=SQLite;Data Source=missing.db",
                "select * from 登记");
        dataRow("SIGTERM while a statement runs", SIGTERM,
                postgresConnection() + ";application_name=desk-under-test;Command Timeout=0", "select pg_sleep(600)");
    }
    void terminationClosesTheWindow()
    {
        QFETCH(int, signal);
        QFETCH(QString, connection);
        QFETCH(QString, statement);
        const bool running = statement.contains(u"pg_sleep");
        if (running && postgresConnection().isEmpty())
            QSKIP("no PostgreSQL server (scripts/test.sh starts one)");
        TestRegistry registry;
        registry.people(2);
        registry.writeIni(connection, statement);
        const QString program = registry.file("vesko");
        QVERIFY(QFile::copy(QStringLiteral(VESKO_EXECUTABLE), program));
        QProcess desk;
        startHoldingSignal(desk, program, signal);
        QVERIFY(desk.waitForStarted());
        if (running) {
            const db::ConnectionPtr admin = db::Connection::open(postgresConnection(), QString());
            const char *active = "select count(*) from pg_stat_activity"
                                 " where state = 'active' and application_name = 'desk-under-test'";
            QTRY_COMPARE_WITH_TIMEOUT(admin->execute(active)->text(0, 0), QStringLiteral("1"), 30000);
            QCOMPARE(QProcess::execute(program), 0);
        }
        QCOMPARE(::kill(pid_t(desk.processId()), signal), 0);
        QVERIFY(desk.waitForFinished(60000));
        QCOMPARE(readBytes(registry.file("brinfo.ini")), kStopSignal);
    }

    // A close request while a statement runs cancels it, and the window
    // then closes as any close does, stop signal included.
    void closeWhileAStatementRuns()
    {
        Desk desk;
        desk.registry.people(2);
        desk.registry.writeIni(
            desk.registry.connection(), "select * from 登记",
            "with recursive r(n) as (select 1 union all select n + 1 from r) select count(*) from r");
        desk.open();
        QTimer::singleShot(0, desk.window.get(), [&desk] { QVERIFY(!desk.window->close()); });
        desk.click("exbt_showall");
        QTRY_VERIFY(!desk.window->isVisible());
        QCOMPARE(desk.count(), QStringLiteral("共有 2 人"));
        QCOMPARE(readBytes(desk.brinfo()), kStopSignal);
        QVERIFY(desk.messages.messages.isEmpty());
    }

    void presetButtons()
    {
        Desk desk;
        desk.registry.people(6);
        desk.registry.writeIni(desk.registry.connection(), "select * from 登记 where 编号 <= 2",
                               "select '内科' as 科室", "select * from 登记 where 编号 < 0");
        desk.open();
        desk.click("exbt_qt2"); // not set: nothing at all

        desk.click("exbt_showall");
        QCOMPARE(desk.count(), QStringLiteral("共有 1 人"));

        desk.click("exbt_qt1"); // no rows
        QCOMPARE(desk.count(), QStringLiteral("共有 0 人"));
        desk.config.spare1Statement = "   "; // as the settings dialog may set it: runs and fails
        desk.click("exbt_qt1");
        desk.click("exbt_in");
        QCOMPARE(desk.messages.texts(), QStringList({kQueryMessage, kNoRecordMessage}));

        desk.click("exbt_ref"); // the last row current
        QCOMPARE(desk.count(), QStringLiteral("共有 2 人"));
        QCOMPARE(desk.window->grid()->view()->currentIndex().row(), 1);
    }

    // A narrow cell shows its text as a tooltip, the buttons the keys that run them. F3 and Ctrl+Enter run 查询
    // from a search box, F5 runs 刷新. Ctrl+C copies the whole cell, the menu's 复制整行 the row.
    void gridKeysAndTooltips()
    {
        Desk desk;
        openGrid(desk);
        QTableView *view = desk.window->grid()->view();
        view->setColumnWidth(1, 4);
        for (const auto &[shown, at, text] :
             {std::tuple<QWidget *, QPoint, QString>(view->viewport(), cell(view, 2, 1), "人3"),
              {desk.window->findChild<QWidget *>("exbt_find"), QPoint(5, 5), "F3 或 Ctrl+Enter"},
              {desk.window->findChild<QWidget *>("exbt_ref"), QPoint(5, 5), "F5"},
              {desk.window->findChild<QWidget *>("exbt_in"), QPoint(5, 5), "Enter 或双击"}}) {
            QHelpEvent hover(QEvent::ToolTip, at, shown->mapToGlobal(at));
            QApplication::sendEvent(shown, &hover);
            QTRY_COMPARE(QToolTip::text(), text);
        }
        QTest::mouseClick(desk.window->findChild<QWidget *>("c_field_0"), Qt::LeftButton);
        QWidget *box = desk.window->findChild<QWidget *>("t_field_0");
        QTest::keyClicks(box, "1");
        QTest::keyClick(box, Qt::Key_F3);
        QCOMPARE(desk.count(), QStringLiteral("共有 1 人"));
        QTest::keyClick(box, Qt::Key_F5);
        QCOMPARE(desk.count(), QStringLiteral("共有 3 人"));
        QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(desk.count(), QStringLiteral("共有 1 人"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(view, 0, 1));
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), "人1" + QString(5000, u'长'));
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, cell(view, 0, 0),
                                     view->viewport()->mapToGlobal(cell(view, 0, 0)));
        QApplication::sendEvent(view->viewport(), &rightClick);
        view->findChild<QMenu *>()->actions().at(1)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), "1\t人1" + QString(5000, u'长') + "\t2012/3/2 10:00:00");
    }

    // Tab runs from the grid through the search rows to 查询 and the other
    // buttons, each stop scrolled into view.
    void tabVisitsWhatTheClerkSees()
    {
        Desk desk;
        desk.registry.people(1);
        QStringList columns;
        QStringList expected;
        for (int i = 0; i < 12; ++i) {
            columns.append(QStringLiteral("编号 as c%1").arg(i));
            expected << QStringLiteral("c_field_%1").arg(i) << QStringLiteral("t_field_%1").arg(i);
        }
        desk.registry.writeIni(desk.registry.connection(), "select " + columns.join(u',') + " from 登记");
        desk.open();
        expected += QStringList{"exbt_find", "exbt_clear", "exbt_showall", "exbt_ref",  "exbt_qt1",   "exbt_qt2",
                                "op_or",     "ck_mohu",    "exbt_in",      "exbt_exit", "exbt_dbset", "dgd_currday"};
        const QWidget *hs1 = desk.window->findChild<QWidget *>("HS1");
        QTableView *grid = desk.window->grid()->view();
        grid->setFocus();
        QStringList visited;
        while (visited.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            visited.append(focus == grid ? QStringLiteral("dgd_currday") : focus->objectName());
            bool whole = focus->isVisible();
            for (const QWidget *outer = focus->parentWidget(); outer; outer = outer->parentWidget())
                whole = whole && outer->rect().contains(QRect(focus->mapTo(outer, QPoint()), focus->size()))
                    && !(outer == hs1->parentWidget()
                         && QRect(focus->mapTo(outer, QPoint()), focus->size()).intersects(hs1->geometry()));
            QVERIFY2(whole, qPrintable(visited.constLast()));
        }
        QCOMPARE(visited, expected);
    }

    // Each column is as wide as its widest value, also one at the end of a
    // long result. Clicks on 编号 sort ascending, then descending; the last
    // record stays selected and in view.
    void headerClicksSortKeepingTheSelectedRowInView()
    {
        Desk desk;
        desk.registry.people(3000);
        desk.registry.sql({"update 登记 set 姓名 = '最后一位登记的人' where 编号 = 3000"});
        desk.registry.writeIni(desk.registry.connection(), "select 编号, 姓名 from 登记");
        desk.open();
        QTableView *view = desk.window->grid()->view();
        QStyleOptionViewItem option;
        option.initFrom(view->viewport());
        for (const int column : {0, 1})
            QVERIFY(view->columnWidth(column)
                    >= view->itemDelegate()->sizeHint(option, view->model()->index(2999, column)).width());
        desk.click("exbt_ref"); // 编号 3000 current
        for (const int row : {2999, 0}) {
            view->scrollTo(view->model()->index(1500, 0), QAbstractItemView::PositionAtCenter);
            QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
            QCOMPARE(view->currentIndex().row(), row);
            QCoreApplication::processEvents();
            QVERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));
        }
    }

    // 导入, Enter and a double-click hand over the row on screen, even after
    // Tab has left the grid and another statement has run, and each says so
    // for a while.
    void handsOverTheRowOnScreen_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("row");
        dataRow("导入", "导入", 1);
        dataRow("Enter", "Enter", 2);
        dataRow("double-click", "double-click", 1);
    }
    void handsOverTheRowOnScreen()
    {
        QFETCH(QString, how);
        QFETCH(int, row);
        Desk desk;
        openGrid(desk);
        QTableView *view = desk.window->grid()->view();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(view, row, 0));
        if (how == u"导入") {
            QTest::keyClick(view, Qt::Key_Tab);
            QVERIFY(!view->hasFocus());
            desk.window->dataLink().runStatement("select * from 登记 where 编号 = 3");
            desk.click("exbt_in");
        } else if (how == u"Enter") {
            QTest::keyClick(view, Qt::Key_Return);
        } else {
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell(view, row, 0));
        }
        QVERIFY(readBytes(desk.brinfo()).contains("0=" + QByteArray::number(row + 1) + "\r\n"));
        auto *notice = desk.window->findChild<QLabel *>("handOffNotice");
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), QStringLiteral("已导入：%1").arg(row + 1));
        QTRY_VERIFY(!notice->isVisible());
    }

    // Captions fit their controls. A message box speaks Chinese, is wide enough for its caption beside some 100
    // pixels of title bar buttons, closes on Enter even from its details button, and shows in front of the dialog
    // the user works in.
    void captionsFitAndMessageBoxesShowThem()
    {
        Desk desk;
        desk.open();
        QWidget *dialog = desk.openSettings();
        const QWidget *panel = desk.window->findChild<QWidget *>("pic_box");
        const QFontMetrics title = desk.window->findChild<QWidget *>("fm_cx")->fontMetrics();
        QVERIFY(panel->y() > title.ascent() + title.tightBoundingRect(QStringLiteral("查询")).bottom()); // its ink
        // A push button keeps its margins, a check or option button its indicator.
        const QStyle *style = desk.window->style();
        const int margins = 2 * style->pixelMetric(QStyle::PM_ButtonMargin);
        const int indicator =
            style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        for (QWidget *window : {static_cast<QWidget *>(desk.window.get()), dialog}) {
            for (const QLabel *label : window->findChildren<QLabel *>())
                QVERIFY2(label->wordWrap()
                             || label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                         qPrintable(label->objectName()));
            for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
                QVERIFY2(panel->isAncestorOf(button) || button->text().isEmpty()
                             || button->fontMetrics().horizontalAdvance(button->text())
                                 <= button->width() - (qobject_cast<const QPushButton *>(button) ? margins : indicator),
                         qPrintable(button->objectName()));
        }
        QStringList seen;
        for (const QString &detail : {QString(), QStringLiteral("a detail")}) {
            dialog->activateWindow(); // as the desktop does when the box before it closes
            QTRY_COMPARE(QApplication::activeWindow(), dialog);
            QTimer::singleShot(0, this, [&seen, dialog] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(QTest::qWaitForWindowActive(box));
                seen << box->button(QMessageBox::Ok)->text()
                     << QVariant(box->width() >= box->fontMetrics().horizontalAdvance(kAppTitle) + 100).toString()
                     << QVariant(box->parentWidget() == dialog).toString();
                // The details button, when there is one.
                QTest::keyClick(box->findChildren<QPushButton *>().constLast(), Qt::Key_Return);
                seen << QVariant(box->isVisible()).toString();
                box->done(0);
            });
            MessageBoxService(desk.window.get()).show(QStringLiteral("写出错！"), MessageService::Icon::None, detail);
        }
        QCOMPARE(seen, QStringList({"确定", "true", "true", "false", "确定", "true", "true", "false"}));
    }

private:
    // 编号 1 .. 3 in the grid, 人1 with a name of 5000 more characters.
    static void openGrid(Desk &desk)
    {
        desk.registry.people(3);
        desk.registry.writeIni(desk.registry.connection(), "select 编号, 姓名, 登记日期 from 登记");
        desk.registry.sql({"update 登记 set 姓名 = 姓名 || replace(hex(zeroblob(5000)), '00', '长') where 编号 = 1"});
        desk.open();
    }

    static QPoint cell(const QTableView *view, int row, int column)
    {
        return view->visualRect(view->model()->index(row, column)).center();
    }
};

VESKO_TEST_MAIN(TestMainWindow, QApplication)
#include "tst_mainwindow.moc"
