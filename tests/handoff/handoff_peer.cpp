// Stands in for the registration program: reads brinfo.ini over and over
// while the desk hands records over, the way that program may open it at
// any moment, and checks every read against the hand-off protocol.
//
//   handoff_peer <brinfo.ini> <plan.json>
//
// plan.json: {"handoffs": [{"names": [...], "values": [...]}, ...]}, the
// records in the order they are handed over, values as written (Null as "").
// stdin:  "done K" once hand-off K has returned; "end" to finish.
// stdout: "ok K" or "fail <why>" for each "done"; "reads R mixed M" at the end.

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStringDecoder>
#include <QStringList>

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

using Entry = std::pair<QString, QString>; // section, key
using State = QMap<Entry, QString>;        // what one read of the file holds

struct Record
{
    QStringList names;
    QStringList values;
};

// Every line is "[section]" or "key=value" inside a section, ends with CR LF
// and is valid GBK; no section or key appears twice.
std::optional<State> parse(const QByteArray &bytes, QString *why)
{
    State state;
    if (!bytes.isEmpty() && !bytes.endsWith("\r\n")) {
        *why = QStringLiteral("file does not end with CR LF");
        return std::nullopt;
    }
    QStringList seenSections;
    QString section;
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // what follows the last line end: nothing
    for (const QByteArray &raw : lines) {
        if (!raw.endsWith('\r')) {
            *why = QStringLiteral("line without CR LF");
            return std::nullopt;
        }
        QStringDecoder gbk("GB18030");
        const QString line = gbk.decode(raw.chopped(1));
        if (gbk.hasError() || line.contains(QChar::ReplacementCharacter)) {
            *why = QStringLiteral("bytes that are not GBK");
            return std::nullopt;
        }
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2);
            if (section.isEmpty() || seenSections.contains(section)) {
                *why = QStringLiteral("empty or repeated section [%1]").arg(section);
                return std::nullopt;
            }
            seenSections.append(section);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (section.isEmpty() || eq <= 0) {
            *why = QStringLiteral("line that is neither section nor entry: %1").arg(line.left(40));
            return std::nullopt;
        }
        const Entry entry{section, line.left(eq)};
        if (state.contains(entry)) {
            *why = QStringLiteral("repeated key %1 in [%2]").arg(entry.second, section);
            return std::nullopt;
        }
        state.insert(entry, line.mid(eq + 1));
    }
    return state;
}

// The entries of a hand-off in the order they are written.
QList<std::pair<Entry, QString>> writesOf(const Record &r)
{
    QList<std::pair<Entry, QString>> writes;
    writes.append({{QStringLiteral("字段总数"), QStringLiteral("值")}, QString::number(r.names.size())});
    for (qsizetype i = 0; i < r.names.size(); ++i) {
        writes.append({{QStringLiteral("字段名"), QString::number(i)}, r.names[i]});
        writes.append({{QStringLiteral("字段值"), QString::number(i)}, r.values[i]});
    }
    writes.append({{QStringLiteral("over"), QStringLiteral("value")}, QStringLiteral("yes")});
    return writes;
}

// The file as a complete hand-off of r leaves it.
State applied(State state, const Record &r)
{
    for (const auto &[entry, value] : writesOf(r))
        state.insert(entry, value);
    return state;
}

std::optional<QString> valueIn(const State &s, const Entry &e)
{
    const auto it = s.constFind(e);
    return it == s.constEnd() ? std::nullopt : std::optional(*it);
}

QString describe(const Entry &e, const std::optional<QString> &v)
{
    return QStringLiteral("[%1] %2=%3").arg(e.first, e.second,
                                           v ? v->left(40) : QStringLiteral("<missing>"));
}

// A read in the middle of a hand-off: each entry holds its value from before
// or its new one, the writes done form a prefix of the hand-off's order, and
// nothing else is there.
QString checkBetween(const State &read, const State &before, const Record &next)
{
    const auto writes = writesOf(next);
    const State after = applied(before, next);

    for (auto it = read.constBegin(); it != read.constEnd(); ++it) {
        if (!after.contains(it.key()))
            return QStringLiteral("stray entry ") + describe(it.key(), *it);
    }
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        const auto now = valueIn(read, it.key());
        if (now != valueIn(before, it.key()) && now != *it)
            return QStringLiteral("neither the earlier nor the new record: ") + describe(it.key(), now);
    }
    bool pending = false;
    for (const auto &[entry, value] : writes) {
        const auto old = valueIn(before, entry);
        if (old == value)
            continue;
        const bool written = valueIn(read, entry) == value;
        if (written && pending)
            return QStringLiteral("written before an earlier entry: ") + describe(entry, value);
        pending = pending || !written;
    }
    return {};
}

// A plain open, as the registration program does: QFile::exists() was seen
// to call the file missing for an instant while it was being replaced.
std::optional<State> readFile(const QByteArray &path, QString *why)
{
    std::FILE *file = std::fopen(path.constData(), "rb");
    if (!file) {
        if (errno == ENOENT)
            return State();
        *why = QStringLiteral("cannot open the file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    QByteArray bytes;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, qsizetype(got));
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        *why = QStringLiteral("read error");
        return std::nullopt;
    }
    return parse(bytes, why);
}

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("usage: handoff_peer <brinfo.ini> <plan.json>\n", stderr);
        return 2;
    }
    const QByteArray path = argv[1];
    QFile planFile(QString::fromLocal8Bit(argv[2]));
    if (!planFile.open(QIODevice::ReadOnly))
        return 2;
    QList<Record> plan;
    for (const QJsonValue &h : QJsonDocument::fromJson(planFile.readAll())[QStringLiteral("handoffs")].toArray()) {
        Record r;
        for (const QJsonValue &v : h[QStringLiteral("names")].toArray())
            r.names.append(v.toString());
        for (const QJsonValue &v : h[QStringLiteral("values")].toArray())
            r.values.append(v.toString());
        plan.append(r);
    }

    QString why;
    std::optional<State> start = readFile(path, &why);
    if (!start) {
        say(QStringLiteral("fail at start: ") + why);
        return 1;
    }
    State before = *start;
    qsizetype done = 0; // hand-offs confirmed so far
    QString failure;
    long reads = 0;
    long mixed = 0;
    QByteArray input;

    for (;;) {
        if (failure.isEmpty() && done < plan.size()) {
            const auto read = readFile(path, &why);
            ++reads;
            if (!read) {
                failure = QStringLiteral("read %1 does not parse: %2").arg(reads).arg(why);
            } else if (*read != before) {
                failure = checkBetween(*read, before, plan[done]);
                if (*read != applied(before, plan[done]))
                    ++mixed;
            }
        }

        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 0) <= 0)
            continue;
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0)
            return failure.isEmpty() ? 0 : 1;
        input.append(chunk, got);
        qsizetype nl;
        while ((nl = input.indexOf('\n')) >= 0) {
            const QString command = QString::fromUtf8(input.left(nl)).trimmed();
            input.remove(0, nl + 1);
            if (command == QStringLiteral("end")) {
                say(QStringLiteral("reads %1 mixed %2").arg(reads).arg(mixed));
                return failure.isEmpty() ? 0 : 1;
            }
            if (command != QStringLiteral("done %1").arg(done) || done >= plan.size()) {
                say(QStringLiteral("fail unexpected command: ") + command);
                return 1;
            }
            if (failure.isEmpty()) {
                const auto read = readFile(path, &why);
                const State after = applied(before, plan[done]);
                if (!read)
                    failure = QStringLiteral("finished file does not parse: ") + why;
                else if (*read != after)
                    failure = QStringLiteral("finished file is not the whole record %1").arg(done);
                else
                    before = after;
            }
            if (!failure.isEmpty()) {
                say(QStringLiteral("fail after hand-off %1: %2").arg(done).arg(failure));
                return 1;
            }
            say(QStringLiteral("ok %1").arg(done));
            ++done;
        }
    }
}
