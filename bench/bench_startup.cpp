// Start-up of the main window on a large registry, against the snapshot
// fetch alone; then a scroll of the grid from top to bottom, and the memory
// the window holds beyond the snapshot.
//
//   bench_startup [rows]     (default 1,000,000)

#include "DemoRegistry.h"
#include "core/config/RunConfig.h"
#include "core/platform/Clock.h"
#include "db/Connection.h"
#include "db/Snapshot.h"
#include "gui/main/MainWindow.h"
#include "gui/widgets/ResultGrid.h"
#include "support/MessageRecorder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace vesko;

namespace {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    makeDemoRegistry(dir.path(), rows);

    RunConfig config;
    test::MessageRecorder messages;
    SystemClock clock;
    const QString statement = QStringLiteral("select * from 登记 where 编号 > 0 order by 编号");

    double fetch = 1e9;
    std::size_t snapshotBytes = 0;
    for (int round = 0; round < 3; ++round) {
        const auto connection =
            db::Connection::open(QStringLiteral("Provider=SQLite;Data Source=registry.db"), dir.path());
        QElapsedTimer timer;
        timer.start();
        const db::ResultPtr result = connection->execute(statement);
        fetch = std::min(fetch, timer.nsecsElapsed() / 1e9);
        snapshotBytes = static_cast<const db::Snapshot &>(*result).memoryBytes();
    }

    const long before = residentKiB();
    QElapsedTimer timer;
    timer.start();
    MainWindow window(config, ProgramDirectory(dir.path()), messages, clock);
    window.start();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("the window was not shown");
    QCoreApplication::processEvents();
    const double startup = timer.nsecsElapsed() / 1e9;
    const long after = residentKiB();
    if (!messages.messages.isEmpty())
        qFatal("start-up failed: %s", qPrintable(messages.texts().join(", ")));

    QTableView *view = window.grid()->view();
    QScrollBar *bar = view->verticalScrollBar();
    const int steps = 200;
    double slowest = 0;
    timer.start();
    for (int i = 0; i <= steps; ++i) {
        QElapsedTimer step;
        step.start();
        bar->setValue(int(qint64(bar->maximum()) * i / steps));
        view->viewport()->repaint();
        slowest = std::max(slowest, step.nsecsElapsed() / 1e6);
    }
    const double scroll = timer.nsecsElapsed() / 1e6;

    std::printf("main window on %d rows x 10 columns (SQLite demo registry):\n", rows);
    std::printf("  snapshot fetch alone         %8.3f s\n", fetch);
    std::printf("  start-up to window shown     %8.3f s   overhead %.3f s (goal <= 0.300)\n", startup, startup - fetch);
    std::printf("  scroll top to bottom         %8.1f ms in %d steps, slowest step %.1f ms\n", scroll, steps, slowest);
    std::printf("  snapshot bytes               %8.1f MB\n", snapshotBytes / 1e6);
    std::printf("  resident growth at start-up  %8.1f MB   beyond the snapshot %.1f MB\n", (after - before) / 1024.0,
                (after - before) / 1024.0 - snapshotBytes / 1e6);
    return 0;
}
