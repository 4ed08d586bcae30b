// Time of one hand-off of a 30-column record to brinfo.ini, every write
// whole on disk when it returns.

#include "core/handoff/RecordHandOff.h"
#include "db/Connection.h"
#include "support/MessageRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

using namespace vesko;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kColumns = 30;
    constexpr int kRuns = 50;

    // The record comes from an empty SQLite file, as the registry's engine gives it.
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("registry.db"))).open(QIODevice::WriteOnly);
    QStringList cells;
    for (int i = 0; i < kColumns; ++i)
        cells.append(i % 7 == 0 ? QStringLiteral("null as 字段%1").arg(i)
                                : QStringLiteral("'张三%1 2012/3/5' as 字段%1").arg(i));
    const db::ResultPtr rs = db::Connection::open(QStringLiteral("Provider=SQLite;Data Source=registry.db"), dir.path())
                                 ->execute("select " + cells.join(", "));
    test::MessageRecorder messages;
    const RecordHandOff handOff(ProgramDirectory(dir.path()), messages);

    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        handOff.handOff(*rs);
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (!messages.messages.isEmpty()) {
        std::fprintf(stderr, "bench_handoff: %lld messages\n", qlonglong(messages.messages.size()));
        return 1;
    }
    // The write waits for the disk, so other disk traffic shows in the
    // mean and the maximum; the median is the steady figure.
    std::sort(times.begin(), times.end());
    const double mean = std::accumulate(times.begin(), times.end(), 0.0) / kRuns;
    std::printf("hand-off of %d columns (one file replacement), %d runs: mean %.1f ms, median %.1f ms, max %.1f ms\n",
                kColumns, kRuns, mean, times[kRuns / 2], times.back());
    return 0;
}
