// Time and peak memory of every reader of outside text at its cap: vesko.ini
// and brinfo.ini at the profile cap in the shapes that made the readers slow
// (line ends alone, CR only, entries), a pick list at both of its caps and
// one far beyond them, and connection strings followed by runs of ';'.
// Each case runs in a process of its own, so that its peak resident memory
// (VmHWM) is its own; the figures are the median wall time, the median
// processor time (user and system, which other load on the machine disturbs
// less) and the highest peak of three runs.
// Usage: bench_files

#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "core/handoff/RecordHandOff.h"
#include "core/platform/Clock.h"
#include "core/platform/ProgramDirectory.h"
#include "core/search/PickListReader.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "gui/search/SearchPanel.h"
#include "support/MessageRecorder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>

using namespace vesko;

namespace {

constexpr int kRuns = 3;
constexpr qint64 kCap = ProfileStore::kMaxFileSize;

QByteArray gbk(const QString &text)
{
    return QStringEncoder("GB18030").encode(text);
}

const QByteArray kSettings = gbk(QStringLiteral(
    "[数据连接]\r\nvalue=Provider=SQLite;Data Source=registry.db\r\n[默认查询]\r\nvalue=select * from 登记\r\n"
    "[全部]\r\nvalue=select * from 登记\r\n[备用一]\r\nvalue=\r\n[备用二]\r\nvalue=\r\n"
    "[vesko窗口位置]\r\nleft=600\r\ntop=450\r\n"));

// Filler of the given line up to `size` bytes, then `tail`.
QByteArray filled(const QByteArray &line, const QByteArray &tail, qint64 size)
{
    QByteArray bytes = line.repeated((size - tail.size()) / line.size());
    bytes += tail;
    return bytes;
}

void save(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

qint64 peakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

void startUp(const ProgramDirectory &dir)
{
    RunConfig config;
    if (!readStartupConfig(dir.veskoIni(), config) || config.defaultStatement.isEmpty()
        || readPosition(dir.veskoIni(), ini::kTop) != 450.0f)
        qFatal("start-up did not read the settings");
}

void closeSettings(const ProgramDirectory &dir)
{
    test::MessageRecorder messages;
    writeStatementTexts(dir.veskoIni(), readStoredTexts(dir.veskoIni()), messages);
    if (!messages.messages.isEmpty())
        qFatal("the settings were not written");
}

void handOff(const ProgramDirectory &dir)
{
    QStringList cells;
    for (int i = 0; i < 30; ++i)
        cells.append(QStringLiteral("'张三%1 2012/3/5' as 字段%1").arg(i));
    const db::ResultPtr rs = db::Connection::open(QStringLiteral("Provider=SQLite;Data Source=registry.db"), dir.path())
                                 ->execute("select " + cells.join(", "));
    test::MessageRecorder messages;
    if (!RecordHandOff(dir, messages).handOff(*rs))
        qFatal("the hand-off failed");
}

void readPickList(const ProgramDirectory &dir, qsizetype expected)
{
    const auto entries = PickListReader(dir).read(QStringLiteral("科室"));
    if (entries.value_or(QStringList()).size() != expected && !(expected < 0 && !entries))
        qFatal("the pick list did not read as expected");
}

// The focus of the search box whose list is at both caps, until the list shows.
double focusPickList(const ProgramDirectory &dir)
{
    const db::ResultPtr rs = db::Connection::open(QStringLiteral("Provider=SQLite;Data Source=registry.db"), dir.path())
                                 ->execute(QStringLiteral("select '内科' as 科室"));
    test::MessageRecorder messages;
    SystemClock clock;
    QWidget window;
    auto *panel = new SearchPanel(dir, messages, clock, &window);
    panel->setResultSource([rs] { return rs; });
    panel->rebuild(*rs);
    window.resize(300, 300);
    window.show();
    QApplication::setActiveWindow(&window);
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    panel->findChild<QWidget *>(QStringLiteral("t_field_0"))->setFocus();
    QCoreApplication::processEvents();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const auto *list = panel->findChild<QListWidget *>(QStringLiteral("ls_list"));
    if (list->count() != PickListReader::kMaxEntries || !list->isVisible())
        qFatal("the pick list did not show");
    return seconds;
}

void parseConnectionString(qsizetype separators)
{
    const QString text = QStringLiteral("Provider=PostgreSQL;Host=db;Password=pw") + QString(separators, u';');
    if (db::ConnectionString(text).value(QStringLiteral("host")) != u"db"
        || db::maskPasswords(text).size() != text.size() + 1)
        qFatal("the connection string did not parse");
}

struct Case
{
    QByteArray name;
    std::function<void(const QString &dir)> prepare;
    std::function<double(const ProgramDirectory &dir)> run; // seconds
};

template<typename F>
std::function<double(const ProgramDirectory &)> timed(F action)
{
    return [action](const ProgramDirectory &dir) {
        QElapsedTimer timer;
        timer.start();
        action(dir);
        return double(timer.nsecsElapsed()) / 1e9;
    };
}

const QString kPickList = QStringLiteral("set_info/bg_info/field_list/科室.flt");

std::vector<Case> cases()
{
    std::vector<Case> all{
        {"vesko.ini: 16 MiB of LF, then the settings; start-up reads",
         [](const QString &dir) { save(dir + "/vesko.ini", filled("\n", kSettings, kCap)); },
         timed([](const ProgramDirectory &dir) { startUp(dir); })},
        {"vesko.ini: 16 MiB of CR, then the settings; start-up reads",
         [](const QString &dir) { save(dir + "/vesko.ini", filled("\r", kSettings, kCap)); },
         timed([](const ProgramDirectory &dir) { startUp(dir); })},
        {"vesko.ini: 16 MiB of entries, then the settings; start-up reads",
         [](const QString &dir) { save(dir + "/vesko.ini", filled("k=v\r\n", kSettings, kCap)); },
         timed([](const ProgramDirectory &dir) { startUp(dir); })},
        {"vesko.ini: the same; the settings dialog reads and writes back",
         [](const QString &dir) { save(dir + "/vesko.ini", filled("k=v\r\n", kSettings, kCap - 64)); },
         timed([](const ProgramDirectory &dir) { closeSettings(dir); })},
        {"brinfo.ini: 16 MiB of entries in 字段值; a hand-off of 30 columns",
         [](const QString &dir) {
             save(dir + "/brinfo.ini", gbk(QStringLiteral("[字段值]\r\n")) + filled("k=v\r\n", "", kCap - 4096));
         },
         timed([](const ProgramDirectory &dir) { handOff(dir); })},
        {"pick list at both caps (entries and bytes); read",
         [](const QString &dir) {
             save(dir + "/" + kPickList,
                  QByteArray(PickListReader::kMaxEntries - 1, '\n')
                      + QByteArray(PickListReader::kMaxBytes - PickListReader::kMaxEntries + 1, 'a'));
         },
         timed([](const ProgramDirectory &dir) { readPickList(dir, PickListReader::kMaxEntries); })},
        {"pick list at both caps; focus of its box until the list shows", nullptr,
         [](const ProgramDirectory &dir) { return focusPickList(dir); }},
        {"pick list of 16 MB of LF; refused",
         [](const QString &dir) { save(dir + "/" + kPickList, QByteArray(16 * 1000 * 1000, '\n')); },
         timed([](const ProgramDirectory &dir) { readPickList(dir, -1); })},
    };
    for (const qsizetype separators : {50000, 100000, 200000, 400000, 1024 * 1024}) {
        all.push_back({"connection string + " + QByteArray::number(separators) + " ';'; parse and mask", nullptr,
                       timed([separators](const ProgramDirectory &) { parseConnectionString(separators); })});
    }
    return all;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<Case> all = cases();

    // The child's part: --run <case> <dir> prints wall and processor seconds and peak bytes.
    if (app.arguments().value(1) == u"--run") {
        const Case &one = all[std::size_t(app.arguments()[2].toInt())];
        const double before = processorSeconds();
        const double seconds = one.run(ProgramDirectory(app.arguments()[3]));
        std::printf("%f %f %lld\n", seconds, processorSeconds() - before, peakResidentBytes());
        return 0;
    }

    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("registry.db"))).open(QIODevice::WriteOnly);
    std::printf("%-75s %10s %10s %10s\n", "case", "wall ms", "cpu ms", "peak MB");
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].prepare)
            all[i].prepare(dir.path());
        std::vector<double> times;
        std::vector<double> processor;
        qint64 peak = 0;
        for (int run = 0; run < kRuns; ++run) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {"--run", QString::number(i), dir.path()});
            if (!child.waitForFinished(-1) || child.exitCode() != 0)
                qFatal("case failed: %s", all[i].name.constData());
            const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
            times.push_back(figures.value(0).toDouble());
            processor.push_back(figures.value(1).toDouble());
            peak = std::max(peak, figures.value(2).toLongLong());
        }
        std::sort(times.begin(), times.end());
        std::sort(processor.begin(), processor.end());
        std::printf("%-75s %10.1f %10.1f %10.1f\n", all[i].name.constData(), times[kRuns / 2] * 1000,
                    processor[kRuns / 2] * 1000, double(peak) / 1e6);
        std::fflush(stdout);
    }
    return 0;
}
