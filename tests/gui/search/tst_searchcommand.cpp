#include "SearchWindow.h"
#include "support/Messages.h"
#include "support/TestServer.h"

#include "core/config/Gbk.h"
#include "db/Connection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolTip>

using namespace vesko;
using namespace vesko::test;

namespace {

const QString kTable = QStringLiteral("人员");
const QString kName = QStringLiteral("姓名");
const QString kAge = QStringLiteral("年龄");
const QString kBorn = QStringLiteral("出生日期");
const QString kRegistered = QStringLiteral("登记日期");

} // namespace

// 查询, the date confirmation, 清空 and the background clicks on the real
// window; searches run by SQLite and by a PostgreSQL server.
class TestSearchCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<SearchWindow> w;
    QString m_pgTable;
    db::ConnectionPtr m_pg;

    // The window on the five people, in registry.db or on the server.
    bool open(const QString &engine = {}, const QString &all = {})
    {
        w = std::make_unique<SearchWindow>();
        const bool pg = engine == "postgresql";
        if (!pg)
            w->registry.sql(peopleStatements(kTable));
        return w->open(pg ? postgresConnection() : w->registry.connection(),
                       QStringLiteral("select 编号, 姓名, 年龄, 出生日期, 登记日期 from %1")
                           .arg(pg ? m_pgTable : kTable),
                       all)
            && w->count() == QStringLiteral("共有 5 人") && w->messages.messages.isEmpty();
    }

    // Closes the date frame by a click on the option frame's background.
    void closeFrame() const { w->click(w->child("fm_cx"), {5, 245}); }
    void confirmFrame() const { w->click(w->fmrq()->findChild<QWidget *>(QStringLiteral("Command2"))); }

private slots:
    void initTestCase()
    {
        if (postgresConnection().isEmpty())
            return;
        m_pgTable = QStringLiteral("vesko_search_%1_%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(QDateTime::currentMSecsSinceEpoch());
        m_pg = db::Connection::open(postgresConnection(), QString());
        for (const QString &statement : peopleStatements(m_pgTable))
            m_pg->execute(statement);
    }

    void cleanupTestCase()
    {
        if (m_pg)
            m_pg->execute(QStringLiteral("drop table %1").arg(m_pgTable));
    }

    void cleanup() { w.reset(); }

    void search_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("age");
        QTest::addColumn<QStringList>("range"); // 登记日期 by the date frame, left open
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
        QFETCH(QList<int>, ids);
        if (engine == "postgresql" && !m_pg)
            QSKIP("VESKO_TEST_PG_HOST is not set");
        QVERIFY(open(engine));

        QFETCH(bool, opAnd);
        QFETCH(bool, substring);
        if (opAnd)
            w->click("op_and");
        if (substring)
            w->click("ck_mohu");
        for (const auto &[column, value] : {std::pair{kName, name}, std::pair{kAge, age}}) {
            if (!value.isEmpty()) {
                w->tick(column);
                type(w->box(column), value);
            }
        }
        if (!typedDate.isEmpty()) {
            w->tick(kRegistered);
            closeFrame();
            type(w->box(kRegistered), typedDate);
        }
        if (!range.isEmpty()) {
            w->tick(kRegistered);
            w->chooseDates(range);
        }
        w->click("exbt_find");

        QCOMPARE(w->messages.texts(), QStringList());
        QCOMPARE(w->ids(), ids);
        QCOMPARE(w->count(), QStringLiteral("共有 %1 人").arg(ids.size()));
    }

    void confirmation_data()
    {
        QTest::addColumn<QStringList>("dates"); // the six combos; empty: as the frame opened
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("today at once") << QStringList() << "从 2026-12-6 到 2026-12-6" << "2026-12-6"
                                       << "2026-12-6";
        QTest::newRow("2-31") << QStringList{"2012", "2", "31", "2012", "3", "1"}
                              << "从 2012-2-31 到 2012-3-1" << "2012-2-31" << "2012-3-1";
        QTest::newRow("end before start") << QStringList{"2012", "3", "7", "2010", "1", "5"}
                                          << "从 2012-3-7 到 2010-1-5" << "2012-3-7" << "2010-1-5";
    }

    void confirmation()
    {
        QFETCH(QStringList, dates);
        QVERIFY(open());
        w->focus(kRegistered);
        QVERIFY(w->fmrq()->isVisible());
        if (!dates.isEmpty())
            w->chooseDates(dates);
        confirmFrame();

        SearchBox *box = w->box(kRegistered);
        QTEST(box->text(), "text");
        QTEST(box->tag(), "tag");
        QTEST(box->toolTip(), "toolTip");
        QVERIFY(w->fmrq()->isHidden());
        QVERIFY(w->messages.messages.isEmpty());

        // Resting the pointer on the box shows the end date.
        const QPoint centre = box->rect().center();
        QHelpEvent help(QEvent::ToolTip, centre, box->mapToGlobal(centre));
        QCoreApplication::sendEvent(box, &help);
        QTEST(QToolTip::text(), "toolTip");
        QToolTip::hideText();
    }

    void clearKeepsRangesAndOptions()
    {
        QVERIFY(open());
        // Nothing ticked: the focus stays on the button.
        w->click("exbt_clear");
        QCOMPARE(QApplication::focusWidget(), w->child("exbt_clear"));

        w->focus(kRegistered);
        w->chooseDates({"2012", "3", "5", "2012", "3", "7"});
        confirmFrame();
        w->click("op_and");
        w->click("ck_mohu");
        w->tick(kName);
        type(w->box(kName), QStringLiteral("张"));
        w->tick(kRegistered);
        w->tick(kAge);
        type(w->box(kAge), QStringLiteral("30"));
        w->click("exbt_clear");

        for (int i = 0; i < w->panel()->rowCount(); ++i) {
            QCOMPARE(w->panel()->c_field(i)->checkState(), Qt::Unchecked);
            QCOMPARE(w->panel()->t_field(i)->text(), QString());
        }
        QCOMPARE(w->box(kRegistered)->tag(), QStringLiteral("2012-3-5"));
        QCOMPARE(w->box(kRegistered)->toolTip(), QStringLiteral("2012-3-7"));
        QVERIFY(w->child<QRadioButton>("op_and")->isChecked());
        QVERIFY(w->child<QCheckBox>("ck_mohu")->isChecked());
        // 登记日期 comes after 年龄 on the panel: the last ticked box.
        QCOMPARE(QApplication::focusWidget(), w->box(kRegistered));
        QVERIFY(w->fmrq()->isVisible());

        // Ticked again and searched with the frame closed: the kept range.
        w->tick(kRegistered);
        closeFrame();
        w->click("exbt_find");
        QCOMPARE(w->ids(), (QList<int>{1, 2}));
        QVERIFY(w->messages.messages.isEmpty());
    }

    void twoDateColumnsWithTheFrameOpen_data()
    {
        QTest::addColumn<bool>("confirms");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("success") << true << QStringList() << QList<int>{1, 2};
        QTest::newRow("empty month") << false << QStringList{kDateMessage, kDateMessage} << QList<int>{5};
    }

    void twoDateColumnsWithTheFrameOpen()
    {
        QFETCH(bool, confirms);
        QVERIFY(open());
        w->tick(kBorn);
        type(w->box(kBorn), QStringLiteral("1996-1-2"));
        w->tick(kRegistered);
        type(w->box(kRegistered), QStringLiteral("2012-3-8"));
        QVERIFY(w->fmrq()->isVisible());
        w->chooseDates({"2012", "3", "5", "2012", "3", "7"});
        if (!confirms)
            w->fmrq()->combo(2)->setCurrentIndex(-1);

        QSignalSpy confirmed(w->fmrq(), &DateFrame::confirmed);
        w->click("exbt_find");

        QCOMPARE(confirmed.count(), confirms ? 1 : 0);
        QCOMPARE(w->fmrq()->isHidden(), confirms);
        QTEST(w->messages.texts(), "messages");
        QCOMPARE(w->box(kBorn)->text(), QStringLiteral("1996-1-2"));
        QCOMPARE(w->box(kRegistered)->text(),
                 confirms ? QStringLiteral("从 2012-3-5 到 2012-3-7") : QStringLiteral("2012-3-8"));
        // A date-only value is midnight, before the range's 01:01:01: the
        // birth date matches nobody, and the search still runs.
        QTEST(w->ids(), "ids");
    }

    void backgroundClicks_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("listEntries"); // -1: hidden
        QTest::newRow("pick list, window") << kName << "w_yu" << 2;
        QTest::newRow("date frame, window") << kRegistered << "w_yu" << -1;
        QTest::newRow("pick list, option frame") << kName << "fm_cx" << -1;
        QTest::newRow("date frame, option frame") << kRegistered << "fm_cx" << -1;
        QTest::newRow("date frame, count label") << kRegistered << "lb_ren" << -1;
    }

    void backgroundClicks()
    {
        QFETCH(QString, column);
        QFETCH(QString, where);
        QFETCH(int, listEntries);
        QVERIFY(open());
        QVERIFY(QDir(w->registry.path()).mkpath(QStringLiteral("set_info/bg_info/field_list")));
        QFile list(w->registry.file(QStringLiteral("set_info/bg_info/field_list/姓名.flt")));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(toGbk(QStringLiteral("张三\r\n李四\r\n")));
        list.close();

        w->focus(column);
        const bool dateColumn = column == kRegistered;
        QCOMPARE(w->fmrq()->isVisible(), dateColumn);
        QCOMPARE(w->panel()->ls_list()->isVisible(), !dateColumn);

        QWidget *target = where == "w_yu" ? w->window.get() : w->child(qPrintable(where));
        const QPoint background = where == "w_yu" ? QPoint(5, 5) : where == "fm_cx" ? QPoint(5, 245) : QPoint();
        if (!background.isNull())
            QVERIFY(!target->childAt(background));
        w->click(target, background);

        // The count label passes its press on to the window; it still is no
        // click on the window's background.
        QCOMPARE(w->fmrq()->isVisible(), dateColumn && where == "lb_ren");
        QCOMPARE(w->panel()->ls_list()->isVisible(), listEntries >= 0);
        QCOMPARE(w->panel()->ls_list()->count(), std::max(listEntries, 0));
    }

    void missingColumnTakesTheTypeOfTheBuild()
    {
        // 全部 shows other columns; the search still runs on the default
        // statement, where 登记日期 is a date.
        QVERIFY(open({}, QStringLiteral("select 编号, 姓名 from 人员")));
        w->click("exbt_showall");
        QCOMPARE(w->window->dataLink().result()->columnCount(), 2);
        w->tick(kRegistered);
        type(w->box(kRegistered), QStringLiteral("2012-3-8"));
        w->click("exbt_find");
        QVERIFY(w->messages.messages.isEmpty());
        QCOMPARE(w->ids(), QList<int>{5});
        QCOMPARE(w->count(), QStringLiteral("共有 1 人"));
    }

    void dateThatCannotBeADateSendsNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("hash") << "2012-3-8# or 1=1 or #2012-3-8";
        QTest::newRow("quote") << "2012-3-8'";
    }

    void dateThatCannotBeADateSendsNothing()
    {
        QFETCH(QString, typed);
        QVERIFY(open());
        w->tick(kRegistered);
        closeFrame();
        type(w->box(kRegistered), typed);
        const db::ResultPtr before = w->window->dataLink().result();
        w->click("exbt_find");

        QCOMPARE(w->messages.texts(), QStringList{kQueryMessage});
        QCOMPARE(w->messages.messages.first().icon, MessageService::Icon::Information);
        QCOMPARE(w->window->dataLink().result(), before);
        QCOMPARE(w->count(), QStringLiteral("共有 5 人"));
    }
};

QTEST_MAIN(TestSearchCommand)
#include "tst_searchcommand.moc"
