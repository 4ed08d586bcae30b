// Time of a search panel build of 1,000 columns, and of the focus of a search
// box whose pick list holds 50,000 entries (read, filled, placed and shown).

#include "core/platform/Clock.h"
#include "db/Connection.h"
#include "gui/search/SearchPanel.h"
#include "support/MessageRecorder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vesko;

namespace {

constexpr int kColumns = 1000;
constexpr int kEntries = 50000;
constexpr int kRuns = 5;

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("bench.db"));
    QFile(database).open(QIODevice::WriteOnly);
    const db::ConnectionPtr cn =
        db::Connection::open(QStringLiteral("Provider=SQLite;Data Source=") + database, dir.path());
    QStringList parts;
    for (int i = 0; i < kColumns; ++i)
        parts.append(QStringLiteral("'x' as 字段%1").arg(i));
    const db::ResultPtr rs = cn->execute(QStringLiteral("select ") + parts.join(u','));

    QDir(dir.path()).mkpath(QStringLiteral("set_info/bg_info/field_list"));
    QFile list(dir.filePath(QStringLiteral("set_info/bg_info/field_list/字段500.flt")));
    list.open(QIODevice::WriteOnly);
    QStringEncoder gbk("GB18030");
    for (int i = 0; i < kEntries; ++i)
        list.write(gbk.encode(QStringLiteral("张三%1\r\n").arg(i)));
    list.close();

    test::MessageRecorder messages;
    SystemClock clock;
    QWidget window;
    auto *panel = new SearchPanel(ProgramDirectory(dir.path()), messages, clock, &window);
    panel->setResultSource([rs] { return rs; });
    window.resize(300, 300);
    window.show();
    QApplication::setActiveWindow(&window);
    QCoreApplication::processEvents();

    std::vector<double> builds;
    std::vector<double> lists;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        panel->rebuild(*rs);
        QCoreApplication::processEvents();
        builds.push_back(timer.nsecsElapsed() / 1e6);

        panel->findChild<QWidget *>(QStringLiteral("HScroll1"))->setFocus();
        timer.restart();
        panel->findChild<QWidget *>(QStringLiteral("t_field_500"))->setFocus();
        QCoreApplication::processEvents();
        lists.push_back(timer.nsecsElapsed() / 1e6);
        const auto *list = panel->findChild<QListWidget *>(QStringLiteral("ls_list"));
        if (list->count() != kEntries || !list->isVisible()) {
            std::fprintf(stderr, "pick list not shown with all entries\n");
            return 1;
        }
    }
    std::printf("panel build, %d columns: median %.1f ms, worst %.1f ms (%d runs)\n", kColumns, median(builds),
                *std::max_element(builds.begin(), builds.end()), kRuns);
    std::printf("pick list, %d entries, focus to shown: median %.1f ms, worst %.1f ms (%d runs)\n", kEntries,
                median(lists), *std::max_element(lists.begin(), lists.end()), kRuns);
    return 0;
}
