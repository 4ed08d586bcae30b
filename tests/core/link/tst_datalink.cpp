#include "core/link/DataLink.h"
#include "core/link/ResultView.h"
#include "db/Connection.h"
#include "support/MessageRecorder.h"
#include "support/Messages.h"
#include "support/TestRegistry.h"
#include "support/TestRunner.h"
#include "support/TestServer.h"

#include <QDir>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <functional>

using namespace vesko;
using vesko::test::dataRow;

namespace {

const QString kEndless = "with recursive r(n) as (select 1 union all select n+1 from r) select count(*) from r";

// A desk whose view records what it is told, and whose waiter presses 取消
// as soon as cancelWhen says so, when there is one.
struct RecordingDesk : ResultView
{
    explicit RecordingDesk(const QString &connection)
    {
        registry.people(3);
        link.openConnection(connection);
    }
    void rebuildSearchPanel(const db::Result &) override { }
    void bindGrid(const db::ResultPtr &) override { }
    void showCurrentRow() override { }
    void setCountText(const QString &text) override { count = text; }
    void waitFor(DatabaseCall &call) override
    {
        while (!call.isFinished()) {
            if (cancelWhen && cancelWhen())
                call.cancel();
            QTest::qWait(10);
        }
        abandoned = call.wasAbandoned();
    }

    QString count;
    std::function<bool()> cancelWhen;
    bool abandoned = false;
    test::TestRegistry registry;
    test::MessageRecorder messages;
    DataLink link{ProgramDirectory(registry.path()), messages, *this};
};

} // namespace

class TestDataLink : public QObject
{
    Q_OBJECT

private slots:
    // A cancelled statement without a previous result fails as any
    // statement; after one it keeps the result, grid and count and shows
    // nothing.
    void cancelKeepsWhatIsShown()
    {
        RecordingDesk desk(QStringLiteral("Provider=SQLite;Data Source=registry.db"));
        desk.cancelWhen = [] { return true; };
        desk.link.refresh(kEndless);
        QVERIFY(!desk.link.result()->isOpen());
        QCOMPARE(desk.messages.texts(), QStringList{test::kQueryMessage});
        QCOMPARE(desk.count, QStringLiteral("共有 0 人"));

        desk.messages.clear();
        desk.cancelWhen = nullptr;
        desk.link.refresh(QStringLiteral("select * from 登记"));
        const db::ResultPtr shown = desk.link.result();
        desk.cancelWhen = [] { return true; };
        desk.link.refresh(kEndless);
        QVERIFY(!desk.abandoned);
        QVERIFY(desk.messages.messages.isEmpty());
        QCOMPARE(desk.count, QStringLiteral("共有 3 人"));
        QCOMPARE(desk.link.result(), shown);
    }

    // A statement on a lost connection runs again on a fresh one, silently.
    // A cancel the server never answers is left behind after half a second:
    // what is shown stays, and the next statement connects anew. Neither a
    // thread nor the session stays behind.
    void lostAndAbandoned()
    {
        const QString server = test::postgresConnection();
        if (server.isEmpty())
            QSKIP("no PostgreSQL server (scripts/test.sh starts one)");
        const db::ConnectionPtr admin = db::Connection::open(server, QString());
        RecordingDesk desk(server);
        desk.link.refresh(QStringLiteral("select pg_backend_pid() as pid"));
        const QString lost = desk.link.result()->text(0, 0);
        admin->execute(QStringLiteral("select pg_terminate_backend(%1, 10000)").arg(lost));
        desk.link.refresh(QStringLiteral("select pg_backend_pid() as pid"));
        QVERIFY2(desk.messages.messages.isEmpty(), qPrintable(desk.messages.texts().join(u'\n')));
        const QString pid = desk.link.result()->text(0, 0);

        // A stopped postmaster takes a cancel request and never answers it;
        // the session's own process goes on.
        const pid_t postmaster = pid_t(test::parentProcess(pid.toInt()));
        const auto resume = qScopeGuard([&] { ::kill(postmaster, SIGCONT); });
        const QString session = "select count(*) from pg_stat_activity where pid = " + pid;
        const uint threads = QDir("/proc/self/task").count();
        desk.cancelWhen = [&] {
            return admin->execute(session + " and state = 'active'")->text(0, 0) == u"1"
                && ::kill(postmaster, SIGSTOP) == 0;
        };
        desk.link.refresh(QStringLiteral("select pg_sleep(600)"));
        QVERIFY(desk.abandoned);
        QCOMPARE(desk.link.result()->text(0, 0), pid);
        desk.cancelWhen = nullptr;
        QTRY_COMPARE_WITH_TIMEOUT(admin->execute(session)->text(0, 0), QStringLiteral("0"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(QDir("/proc/self/task").count(), threads, 30000);
        ::kill(postmaster, SIGCONT);
        desk.link.refresh(QStringLiteral("select 42 as answer"));
        QVERIFY(!desk.abandoned);
        QVERIFY2(desk.messages.messages.isEmpty(), qPrintable(desk.messages.texts().join(u'\n')));
        QCOMPARE(desk.link.result()->text(0, 0), QStringLiteral("42"));
        QCOMPARE(desk.count, QStringLiteral("共有 1 人"));
    }

    // The details name what failed: the engine's text with the statement, the
    // connection string without its password, or the missing connection.
    void detailsNameTheCause()
    {
        RecordingDesk desk(QStringLiteral("Provider=SQLite;Data Source=missing.db;Password=secret"));
        desk.link.runStatement(QStringLiteral("select 1"));
        QCOMPARE(desk.messages.texts(), (QStringList{test::kConnectMessage, test::kQueryMessage}));
        const QString connectDetail = desk.messages.messages[0].detail;
        QVERIFY(connectDetail.contains(u"Password=***") && !connectDetail.contains(u"secret"));
        QVERIFY(!desk.messages.messages[1].detail.contains(u"select 1"));

        desk.link.openConnection(desk.registry.connection());
        desk.link.runStatement(QStringLiteral("select nonsense from nowhere"));
        QVERIFY(desk.messages.messages.last().detail.endsWith(
            u"no such table: nowhere\n\n语句：select nonsense from nowhere"));
    }
};

VESKO_TEST_MAIN(TestDataLink, QCoreApplication)
#include "tst_datalink.moc"
