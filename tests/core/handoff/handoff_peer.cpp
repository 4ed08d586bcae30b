// Stands in for the registration program: reads brinfo.ini over and over,
// the way that program may open it at any moment, while records of
// peerPlan() are handed over in turn. Every read must be the file before the
// first hand-off or after a whole one.
//
//   handoff_peer <brinfo.ini>    ends when stdin has input or closes
//   stdout: "reads R", or "fail at read R"

#include "PeerPlan.h"

#include <QMap>
#include <QStringDecoder>

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

using State = QMap<std::pair<QString, QString>, QString>; // section, key: value

// GBK lines ending in CR LF, each "[section]" or a "key=value" under one; no
// entry twice.
std::optional<State> parse(const QByteArray &bytes)
{
    QStringDecoder gbk("GB18030");
    const QString text = gbk.decode(bytes);
    if (gbk.hasError() || !(text.isEmpty() || text.endsWith("\r\n")))
        return std::nullopt;
    State state;
    QString section;
    for (const QString &line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (line.startsWith(u'[') && line.endsWith(u']'))
            section = line.mid(1, line.size() - 2);
        else if (section.isEmpty() || eq <= 0 || state.contains({section, line.left(eq)}))
            return std::nullopt;
        else
            state.insert({section, line.left(eq)}, line.mid(eq + 1));
    }
    return state;
}

// A plain open each time, as the registration program does.
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

State handedOver(State state, const vesko::test::PeerRecord &r)
{
    state.insert({QStringLiteral("字段总数"), QStringLiteral("值")}, QString::number(r.names.size()));
    for (qsizetype i = 0; i < r.names.size(); ++i) {
        state.insert({QStringLiteral("字段名"), QString::number(i)}, r.names[i]);
        state.insert({QStringLiteral("字段值"), QString::number(i)}, r.values[i].value_or(QString()));
    }
    state.insert({QStringLiteral("over"), QStringLiteral("value")}, QStringLiteral("yes"));
    return state;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const QList<vesko::test::PeerRecord> plan = vesko::test::peerPlan();
    QList<State> whole{State()};
    for (int k = 0; k < 4; ++k)
        whole.append(handedOver(whole.last(), plan[k % plan.size()]));
    for (long reads = 1;; ++reads) {
        const auto read = readFile(argv[1]);
        if (!read || !whole.contains(*read)) {
            std::printf("fail at read %ld\n", reads);
            return 1;
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 0) > 0) {
            std::printf("reads %ld\n", reads);
            return 0;
        }
    }
}
