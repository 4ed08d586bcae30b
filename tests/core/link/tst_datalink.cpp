#include "core/link/DataLink.h"
#include "core/link/ResultView.h"
#include "db/Connection.h"
#include "support/DataRow.h"
#include "support/MessageRecorder.h"
#include "support/Messages.h"
#include "support/TestRegistry.h"
#include "support/TestServer.h"

#include <QDir>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>

using namespace vesko;
using vesko::test::dataRow;

namespace {

const QString kEndless =
    QStringLiteral("with recursive r(n) as (select 1 union all select n + 1 from r) select count(*) from r");

// A view that records what it is told, and a waiter that presses 取消 as
// soon as cancelWhen says so, when there is one.
class RecordingView : public ResultView
{
public:
    void rebuildSearchPanel(const db::Result &) override { }
    void bindGrid(const db::ResultPtr &) override { }
    void showCurrentRow() override { }
    void setCountText(const QString &text) override { count = text; }
    void waitFor(DatabaseCall &call) override
    {
        QEventLoop loop;
        QObject::connect(&call, &DatabaseCall::finished, &loop, &QEventLoop::quit);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &call, [&] {
            if (cancelWhen && cancelWhen())
                call.cancel();
        });
        watch.start(10);
        if (!call.isFinished())
            loop.exec();
        abandoned = call.wasAbandoned();
    }

    QString count;
    std::function<bool()> cancelWhen;
    bool abandoned = false;
};

struct Link
{
    explicit Link(const QString &connection)
    {
        registry.people(3);
        link.openConnection(connection);
    }
    test::TestRegistry registry;
    test::MessageRecorder messages;
    RecordingView view;
    DataLink link{ProgramDirectory(registry.path()), messages, view};
};

} // namespace

class TestDataLink : public QObject
{
    Q_OBJECT

private slots:
    // A cancelled statement keeps the previous result, grid and count and
    // shows nothing; without a previous result it fails as any statement.
    void cancelKeepsWhatIsShown_data()
    {
        QTest::addColumn<bool>("previous");
        dataRow("after a result", true);
        dataRow("at start-up", false);
    }
    void cancelKeepsWhatIsShown()
    {
        QFETCH(bool, previous);
        Link desk(QStringLiteral("Provider=SQLite;Data Source=registry.db"));
        desk.link.refresh(previous ? QStringLiteral("select * from 登记") : QStringLiteral("select nonsense"));
        const db::ResultPtr shown = desk.link.result();
        const QString count = desk.view.count;
        QCOMPARE(count, previous ? QStringLiteral("共有 3 人") : QStringLiteral("共有 0 人"));
        desk.messages.clear();

        desk.view.cancelWhen = [] { return true; };
        desk.link.refresh(kEndless);
        QVERIFY(!desk.view.abandoned);
        if (previous) {
            QCOMPARE(desk.link.result(), shown);
            QCOMPARE(desk.view.count, count);
            QVERIFY(desk.messages.messages.isEmpty());
        } else {
            QVERIFY(!desk.link.result()->isOpen());
            QCOMPARE(desk.messages.texts(), QStringList{test::kQueryMessage});
        }
    }

    // A statement on a lost connection runs again on a fresh one, silently.
    // A cancel the server never answers is left behind after half a second:
    // what is shown stays, and the next statement connects anew. Neither a
    // thread nor the session stays behind.
    void lostAndAbandoned_data()
    {
        QTest::addColumn<bool>("abandon");
        dataRow("backend terminated", false);
        dataRow("cancel never answered", true);
    }
    void lostAndAbandoned()
    {
        QFETCH(bool, abandon);
        if (test::postgresConnection().isEmpty())
            QSKIP("no PostgreSQL server (scripts/test.sh starts one)");
        const db::ConnectionPtr admin = db::Connection::open(test::postgresConnection(), QString());
        Link desk(test::postgresConnection());
        desk.link.refresh(QStringLiteral("select pg_backend_pid() as pid"));
        const QString pid = desk.link.result()->text(0, 0);
        // A stopped postmaster takes a cancel request and never answers it;
        // the session's own process goes on.
        const pid_t postmaster = pid_t(test::parentProcess(pid.toInt()));
        const auto resume = qScopeGuard([&] { ::kill(postmaster, SIGCONT); });
        const QString session = "select count(*) from pg_stat_activity where pid = " + pid;
        const auto threads = [] { return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
        const qsizetype threadsBefore = threads();
        if (abandon) {
            desk.view.cancelWhen = [&] {
                return admin->execute(session + " and state = 'active'")->text(0, 0) == u"1"
                    && ::kill(postmaster, SIGSTOP) == 0;
            };
            desk.link.refresh(QStringLiteral("select pg_sleep(600)"));
            QVERIFY(desk.view.abandoned);
            QCOMPARE(desk.link.result()->text(0, 0), pid);
            desk.view.cancelWhen = nullptr;
            QTRY_COMPARE_WITH_TIMEOUT(admin->execute(session)->text(0, 0), QStringLiteral("0"), 30000);
            QTRY_COMPARE_WITH_TIMEOUT(threads(), threadsBefore, 30000);
            ::kill(postmaster, SIGCONT);
        } else {
            admin->execute(QStringLiteral("select pg_terminate_backend(%1, 10000)").arg(pid));
        }
        desk.link.refresh(QStringLiteral("select 42 as answer"));
        QVERIFY(!desk.view.abandoned);
        QVERIFY2(desk.messages.messages.isEmpty(), qPrintable(desk.messages.texts().join(u'\n')));
        QCOMPARE(desk.link.result()->text(0, 0), QStringLiteral("42"));
        QCOMPARE(desk.view.count, QStringLiteral("共有 1 人"));
    }

    // The details name what failed: the engine's text with the statement, the
    // connection string without its password, or the missing connection.
    void detailsNameTheCause()
    {
        Link desk(QStringLiteral("Provider=SQLite;Data Source=missing.db;Password=secret"));
        desk.link.runStatement(QStringLiteral("select 1"));
        QCOMPARE(desk.messages.texts(), (QStringList{test::kConnectMessage, test::kQueryMessage}));
        const QString connectDetail = desk.messages.messages[0].detail;
        QVERIFY(connectDetail.contains(u"Password=***") && !connectDetail.contains(u"secret"));
        QVERIFY(!desk.messages.messages[1].detail.contains(u"select 1"));

        desk.link.openConnection(desk.registry.connection());
        desk.link.runStatement(QStringLiteral("select nonsense from nowhere"));
        QVERIFY(desk.messages.messages.last().detail.contains(u"select nonsense from nowhere"));
        QVERIFY(desk.messages.messages.last().detail.contains(u"nowhere"));
    }
};

QTEST_GUILESS_MAIN(TestDataLink)
#include "tst_datalink.moc"
