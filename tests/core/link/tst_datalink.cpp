#include "core/config/RunConfig.h"
#include "core/link/DataLink.h"
#include "core/link/ResultView.h"
#include "db/Connection.h"
#include "support/MessageRecorder.h"
#include "support/Messages.h"
#include "support/TestRegistry.h"
#include "support/TestServer.h"

#include <QEventLoop>
#include <QTest>

#include <csignal>

using namespace vesko;

namespace {

const QString kEndless = QStringLiteral(
    "with recursive r(n) as (select 1 union all select n + 1 from r) select count(*) from r");

// A view that records what it is told, and a waiter that presses 取消 once
// the call has started when asked to.
class RecordingView : public ResultView
{
public:
    void rebuildSearchPanel(const db::Result &) override {}
    void bindGrid(const db::ResultPtr &) override {}
    void showCurrentRow() override {}
    void setCountText(const QString &text) override { count = text; }
    void waitFor(DatabaseCall &call) override
    {
        QEventLoop loop;
        QObject::connect(&call, &DatabaseCall::finished, &loop, &QEventLoop::quit);
        if (cancel)
            call.cancel();
        if (!call.isFinished())
            loop.exec();
    }

    QString count;
    bool cancel = false;
};

struct Link
{
    explicit Link(const QString &connection)
    {
        registry.people(3);
        config.connectionString = connection;
        link.openConnection();
    }
    test::TestRegistry registry;
    RunConfig config;
    test::MessageRecorder messages;
    RecordingView view;
    DataLink link{config, ProgramDirectory(registry.path()), messages, view};
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
        QTest::newRow("after a result") << true;
        QTest::newRow("at start-up") << false;
    }
    void cancelKeepsWhatIsShown()
    {
        QFETCH(bool, previous);
        Link desk(QStringLiteral("Provider=SQLite;Data Source=registry.db"));
        desk.link.refresh(previous ? QStringLiteral("select * from 登记") : QStringLiteral("select nonsense"));
        const db::ResultPtr shown = desk.link.result();
        const QString count = desk.view.count;
        desk.messages.clear();

        desk.view.cancel = true;
        desk.link.refresh(kEndless);
        if (previous) {
            QCOMPARE(desk.link.result(), shown);
            QCOMPARE(desk.view.count, count);
            QVERIFY(desk.messages.messages.isEmpty());
        } else {
            QVERIFY(!desk.link.result()->isOpen());
            QCOMPARE(desk.messages.texts(), QStringList{test::kQueryMessage});
        }
    }

    // A statement on a lost connection runs again on a fresh one, silently;
    // a stopped server is cancelled and left behind, and the next statement
    // connects anew.
    void lostAndStoppedServers_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("backend terminated") << false;
        QTest::newRow("backend stopped, then cancelled") << true;
    }
    void lostAndStoppedServers()
    {
        QFETCH(bool, stop);
        const QString server = test::postgresConnection();
        if (server.isEmpty())
            QSKIP("no PostgreSQL server (scripts/test.sh starts one)");
        Link desk(server);
        desk.link.refresh(QStringLiteral("select pg_backend_pid() as pid"));
        const QString pid = desk.link.result()->text(0, 0);
        const db::ConnectionPtr admin = db::Connection::open(server, QString());
        if (stop)
            ::kill(pid.toInt(), SIGSTOP);
        else
            admin->execute(QStringLiteral("select pg_terminate_backend(%1, 10000)").arg(pid));
        desk.view.cancel = stop;
        desk.link.refresh(QStringLiteral("select 42 as answer"));
        desk.view.cancel = false;
        if (stop) {
            ::kill(pid.toInt(), SIGCONT);
            desk.link.refresh(QStringLiteral("select 42 as answer"));
        }
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

        desk.config.connectionString = desk.registry.connection();
        desk.link.openConnection();
        desk.link.runStatement(QStringLiteral("select nonsense from nowhere"));
        QVERIFY(desk.messages.messages.last().detail.contains(u"select nonsense from nowhere"));
        QVERIFY(desk.messages.messages.last().detail.contains(u"nowhere"));
    }
};

QTEST_GUILESS_MAIN(TestDataLink)
#include "tst_datalink.moc"
