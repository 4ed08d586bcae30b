// Cancels against the PostgreSQL server of scripts/test.sh (VESKO_TEST_PG_*):
// - a 20,000,000-row statement cancelled while its rows stream in: how long
//   it takes to stop and how far the peak memory (VmHWM) rises beyond the
//   memory at the moment of the cancel;
// - five pg_sleep(600) statements whose cancel a proxy swallows: how long
//   each takes to end, and whether the threads of this process and the
//   sessions on the server return to where they were.
// Usage: bench_cancel [rows before the cancel]

#include "db/Connection.h"
#include "support/TestServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <future>

using namespace vesko;

namespace {

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qsizetype threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// Waits, in small naps, until done() or 60 seconds; the milliseconds taken.
template<typename Done>
qint64 waitUntil(Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000)
        QThread::msleep(5);
    return clock.elapsed();
}

void streamingCancel(const QString &server, qint64 rowsBefore)
{
    const db::ConnectionPtr connection = db::Connection::open(server, QString());
    const auto cancel = std::make_shared<db::CancelRequest>();
    auto running = std::async(std::launch::async, [&] {
        try {
            connection->execute(QStringLiteral("select i, repeat('x', 40) as pad from generate_series(1, 20000000) i"),
                                cancel);
        } catch (const db::DbError &) {
        }
    });
    waitUntil([&] { return connection->rowsFetched() >= rowsBefore; });
    const qint64 fetched = connection->rowsFetched();
    const qint64 rssAtCancel = statusKiB("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    cancel->cancel();
    running.wait();
    std::printf("streaming cancel: %lld rows fetched, stopped %lld ms after the cancel; "
                "RSS at the cancel %lld MiB, peak %lld MiB, RSS after %lld MiB\n",
                fetched, clock.elapsed(), rssAtCancel / 1024, statusKiB("VmHWM:") / 1024, statusKiB("VmRSS:") / 1024);
    std::printf("the connection afterwards: %s\n",
                qPrintable(connection->execute(QStringLiteral("select 'ready' as v"))->text(0, 0)));
}

void unansweredCancels(const QString &server)
{
    const db::ConnectionPtr admin = db::Connection::open(server, QString());
    const QString sessions = QStringLiteral("select count(*) from pg_stat_activity where application_name = 'bench'");
    const QString named = server + QStringLiteral(";application_name=bench");
    const qsizetype threads = threadCount();
    for (int i = 0; i < 5; ++i) {
        const db::ConnectionPtr desk = db::Connection::open(named, QString());
        const pid_t postmaster = pid_t(
            test::parentProcess(desk->execute(QStringLiteral("select pg_backend_pid()"))->text(0, 0).toLongLong()));
        const auto cancel = std::make_shared<db::CancelRequest>();
        auto running = std::async(std::launch::async, [&] {
            try {
                desk->execute(QStringLiteral("select pg_sleep(600)"), cancel);
            } catch (const db::DbError &) {
            }
        });
        waitUntil(
            [&] { return admin->execute(sessions + QStringLiteral(" and state = 'active'"))->text(0, 0) == u"1"; });
        kill(postmaster, SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        cancel->cancel();
        running.wait();
        const qint64 ended = clock.elapsed();
        waitUntil([&] { return admin->execute(sessions)->text(0, 0) == u"0"; });
        const qint64 sessionGone = clock.elapsed();
        kill(postmaster, SIGCONT);
        std::printf("unanswered cancel %d: the statement ended %lld ms after the cancel, its session %lld ms after\n",
                    i + 1, ended, sessionGone);
    }
    const qint64 sessionsGone = waitUntil([&] { return admin->execute(sessions)->text(0, 0) == u"0"; });
    const qint64 threadsGone = waitUntil([&] { return threadCount() == threads; });
    std::printf("after five: sessions %s (back to 0 within %lld ms), threads %lld of %lld at the start "
                "(within %lld ms)\n",
                qPrintable(admin->execute(sessions)->text(0, 0)), sessionsGone, qlonglong(threadCount()),
                qlonglong(threads), threadsGone);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString server = test::postgresConnection();
    if (server.isEmpty()) {
        std::printf("bench_cancel needs the VESKO_TEST_PG_* variables of scripts/test.sh\n");
        return 0;
    }
    streamingCancel(server, argc > 1 ? QByteArray(argv[1]).toLongLong() : 2000000);
    unansweredCancels(server);
    return 0;
}
