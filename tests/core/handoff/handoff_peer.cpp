// Stands in for the registration program: reads brinfo.ini over and over
// while the desk hands over the records of peerPlan(), the way that program
// may open it at any moment. brinfo.ini does not exist when it starts.
//
//   handoff_peer <brinfo.ini>
//
// stdin:  a line each time a hand-off has returned; end of input to finish.
// stdout: "ok" or "fail <why>" for each line; "reads R" at the end.

#include "PeerPlan.h"

#include <QMap>
#include <QStringDecoder>

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

using vesko::test::PeerRecord;

namespace {

using Entry = std::pair<QString, QString>; // section, key
using State = QMap<Entry, QString>;

const QString kCount = QStringLiteral("字段总数");
const QString kName = QStringLiteral("字段名");
const QString kValue = QStringLiteral("字段值");

// GBK lines ending in CR LF, each "[section]" or a "key=value" under one; no
// entry twice.
std::optional<State> parse(const QByteArray &bytes)
{
    QStringDecoder gbk("GB18030");
    const QString text = gbk.decode(bytes);
    if (gbk.hasError() || text.contains(QChar::ReplacementCharacter) || !(text.isEmpty() || text.endsWith("\r\n")))
        return std::nullopt;
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    State state;
    QString section;
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        const Entry entry{section, line.left(eq)};
        if (line.contains(u'\r') || line.contains(u'\n'))
            return std::nullopt;
        if (line.startsWith(u'[') && line.endsWith(u']'))
            section = line.mid(1, line.size() - 2);
        else if (section.isEmpty() || eq <= 0 || state.contains(entry))
            return std::nullopt;
        else
            state.insert(entry, line.mid(eq + 1));
    }
    return state;
}

// A plain open each time, as the registration program does; a missing file
// reads as empty.
std::optional<State> readFile(const char *path)
{
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return errno == ENOENT ? std::optional(State()) : std::nullopt;
    QByteArray bytes;
    char chunk[65536];
    while (const size_t got = std::fread(chunk, 1, sizeof chunk, file))
        bytes.append(chunk, qsizetype(got));
    const bool failed = std::ferror(file);
    std::fclose(file);
    return failed ? std::nullopt : parse(bytes);
}

// The file once a hand-off of r has finished; wider entries stay.
State handedOver(State state, const PeerRecord &r)
{
    state.insert({kCount, QStringLiteral("值")}, QString::number(r.names.size()));
    for (qsizetype i = 0; i < r.names.size(); ++i) {
        state.insert({kName, QString::number(i)}, r.names[i]);
        state.insert({kValue, QString::number(i)}, r.values[i].value_or(QString()));
    }
    state.insert({QStringLiteral("over"), QStringLiteral("value")}, QStringLiteral("yes"));
    return state;
}

std::optional<QString> at(const State &s, const Entry &e)
{
    return s.contains(e) ? std::optional(s[e]) : std::nullopt;
}

// A read while a hand-off runs: the count, and every name and value below
// it, are as before the hand-off or as after it.
QString checkRead(const State &read, const State &before, const State &after)
{
    const Entry count{kCount, QStringLiteral("值")};
    QList<Entry> entries{count};
    for (int i = 0; i < read.value(count).toInt(); ++i)
        entries << Entry{kName, QString::number(i)} << Entry{kValue, QString::number(i)};
    for (const Entry &e : entries) {
        const auto now = at(read, e);
        if (now != at(before, e) && now != at(after, e))
            return QStringLiteral("[%1] %2=%3 is from neither record").arg(e.first, e.second, now.value_or("<missing>").left(40));
    }
    return {};
}

void say(const QString &line)
{
    std::puts(line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: handoff_peer <brinfo.ini>\n", stderr);
        return 2;
    }
    const QList<PeerRecord> plan = vesko::test::peerPlan();
    qsizetype done = 0;
    State before;
    State after = handedOver(before, plan[0]);
    QString failure;
    long reads = 0;

    for (;;) {
        if (failure.isEmpty() && done < plan.size()) {
            const auto read = readFile(argv[1]);
            ++reads;
            failure = read ? checkRead(*read, before, after) : QStringLiteral("read %1 does not parse").arg(reads);
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 0) <= 0)
            continue;
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            say(QStringLiteral("reads %1").arg(reads));
            return failure.isEmpty() && done == plan.size() ? 0 : 1;
        }
        for (const char c : QByteArrayView(chunk, got)) {
            if (c != '\n')
                continue;
            if (failure.isEmpty() && (done == plan.size() || readFile(argv[1]) != after))
                failure = QStringLiteral("hand-off %1 did not leave the whole record with over=yes").arg(done);
            if (!failure.isEmpty()) {
                say(QStringLiteral("fail ") + failure);
                return 1;
            }
            say(QStringLiteral("ok"));
            before = after;
            if (++done < plan.size())
                after = handedOver(before, plan[done]);
        }
    }
}
