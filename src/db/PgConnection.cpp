#include "db/PgConnection.h"

#include "db/SnapshotBuilder.h"
#include "db/TypeCode.h"

#include <libpq-fe.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vesko::db {

namespace {

// Type OIDs of the built-in types, from pg_type.
TypeCode typeFromOid(Oid oid)
{
    switch (oid) {
    case 20: // int8
    case 21: // int2
    case 23: // int4
        return TypeCode::Integer;
    case 1082: // date
    case 1114: // timestamp
    case 1184: // timestamptz
        return TypeCode::Date;
    case 700: // float4
    case 701: // float8
        return TypeCode::Double;
    case 1700: // numeric
        return TypeCode::Numeric;
    case 16: // bool
        return TypeCode::Boolean;
    case 17: // bytea
        return TypeCode::Binary;
    default:
        return TypeCode::Text;
    }
}

QString libpqKey(const QString &key)
{
    static const std::pair<QString, QString> renamed[] = {
        {QStringLiteral("Host"), QStringLiteral("host")},         {QStringLiteral("Port"), QStringLiteral("port")},
        {QStringLiteral("Database"), QStringLiteral("dbname")},   {QStringLiteral("User ID"), QStringLiteral("user")},
        {QStringLiteral("Password"), QStringLiteral("password")},
    };
    for (const auto &[ours, theirs] : renamed) {
        if (key.compare(ours, Qt::CaseInsensitive) == 0)
            return theirs;
    }
    return key.toLower();
}

QString trimmedMessage(const char *message)
{
    return QString::fromUtf8(message).trimmed();
}

// The rows of a statement in single-row mode, as the snapshot builder
// reads them: one result per row, then an empty one at the end.
class PgRows
{
public:
    PgRows(PgResultPtr first, std::function<PgResultPtr()> nextResult)
        : m_current(std::move(first))
        , m_nextResult(std::move(nextResult))
    {
    }

    QList<Snapshot::ColumnInfo> columns()
    {
        QList<Snapshot::ColumnInfo> info;
        for (int c = 0; c < PQnfields(m_current.get()); ++c) {
            info.append({QString::fromUtf8(PQfname(m_current.get(), c)), typeFromOid(PQftype(m_current.get(), c))});
            m_types.push_back(info.back().type);
        }
        return info;
    }

    bool next()
    {
        if (m_started)
            m_current = m_nextResult();
        m_started = true;
        if (PQresultStatus(m_current.get()) == PGRES_SINGLE_TUPLE)
            return true;
        // The closing result is followed by none.
        m_current = m_nextResult();
        return false;
    }

    Cell cell(int column) const
    {
        // Null reads as empty; only an empty value needs the Null test.
        const int length = PQgetlength(m_current.get(), 0, column);
        return {PQgetvalue(m_current.get(), 0, column), std::size_t(length),
                length == 0 && PQgetisnull(m_current.get(), 0, column)};
    }

    TypeCode columnType(int column) const { return m_types[std::size_t(column)]; }

private:
    PgResultPtr m_current;
    std::function<PgResultPtr()> m_nextResult;
    std::vector<TypeCode> m_types;
    bool m_started = false;
};

} // namespace

PgConnection::PgConnection(const ConnectionString &settings)
    : Connection(Dialect(Dialect::Engine::Postgres))
{
    std::vector<QByteArray> keys;
    std::vector<QByteArray> values;
    auto set = [&](const QByteArray &key, const QByteArray &value) {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == key) {
                values[i] = value;
                return;
            }
        }
        keys.push_back(key);
        values.push_back(value);
    };
    // Defaults that a string may override: the text comes as UTF-8, a
    // server that does not answer fails after 15 seconds, not never, a
    // dropped network shows through keepalives, and the administrator sees
    // the desks by name among the sessions.
    set("client_encoding", "UTF8");
    set("connect_timeout", "15");
    set("keepalives", "1");
    set("application_name", "vesko");
    for (const ConnectionString::Pair &pair : settings.pairs()) {
        if (pair.key.compare(u"Provider", Qt::CaseInsensitive) != 0)
            set(libpqKey(pair.key).toUtf8(), pair.value.toUtf8());
    }
    std::vector<const char *> keyPointers;
    std::vector<const char *> valuePointers;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keyPointers.push_back(keys[i].constData());
        valuePointers.push_back(values[i].constData());
    }
    keyPointers.push_back(nullptr);
    valuePointers.push_back(nullptr);

    m_connection.reset(PQconnectdbParams(keyPointers.data(), valuePointers.data(), 0));
    if (!m_connection)
        throw DbError(text::kNoLibpqConnection);
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        throw DbError::fromEngine(trimmedMessage(PQerrorMessage(m_connection.get())));
    // Dates come back as 2012-03-05 whatever the server's default style,
    // a backslash in a literal the search composed cannot end it, and a
    // session whose desk closed the connection ends within a second, even
    // in the middle of a statement.
    std::vector<const char *> settingsToApply = {"SET DateStyle TO ISO", "SET standard_conforming_strings TO on"};
    if (PQserverVersion(m_connection.get()) >= 140000)
        settingsToApply.push_back("SET client_connection_check_interval TO 1000");
    for (const char *setting : settingsToApply) {
        const PgResultPtr set(PQexec(m_connection.get(), setting));
        if (PQresultStatus(set.get()) != PGRES_COMMAND_OK)
            throw DbError::fromEngine(trimmedMessage(PQerrorMessage(m_connection.get())));
    }
    m_cancel.reset(PQgetCancel(m_connection.get()), PQfreeCancel);
    if (!m_cancel)
        throw DbError(text::kNoLibpqCancel);
}

// The outcome of the cancel requests of one statement, shared with the
// threads that send them.
struct PgConnection::CancelSending
{
    enum State { Idle, Sending, Sent, Failed };
    std::atomic<int> state = Idle;

    // One request, from a child process: PQcancel may be called where only
    // async-signal-safe calls are allowed, and the child can be killed when
    // a server takes the request and never answers it.
    static void send(std::shared_ptr<pg_cancel> cancel, std::shared_ptr<CancelSending> sending, int limitSeconds)
    {
        sending->state = Sending;
        std::thread([cancel = std::move(cancel), sending = std::move(sending), limitSeconds] {
            const pid_t child = fork();
            if (child == 0) {
                struct sigaction action = {};
                action.sa_handler = SIG_DFL;
                sigaction(SIGALRM, &action, nullptr);
                sigset_t alarmOnly;
                sigemptyset(&alarmOnly);
                sigaddset(&alarmOnly, SIGALRM);
                sigprocmask(SIG_UNBLOCK, &alarmOnly, nullptr);
                alarm(unsigned(limitSeconds));
                char error[256];
                _exit(PQcancel(cancel.get(), error, sizeof error) ? 0 : 1);
            }
            int status = 0;
            while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            const bool sent = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
            sending->state = sent ? Sent : Failed;
        }).detach();
    }
};

PgConnection::~PgConnection() = default;

ResultPtr PgConnection::run(const QString &statement)
{
    if (m_lost)
        throw DbError(text::kConnectionLost, DbError::Kind::ConnectionLost);
    PGconn *const connection = m_connection.get();
    // A cancel that came before this point has set the flag; one that comes
    // later wakes the wait.
    m_wake.clear();
    if (cancelRequested())
        throw cancelledError();
    m_giveUpAt = QDeadlineTimer(QDeadlineTimer::Forever);
    m_resendAt = QDeadlineTimer(QDeadlineTimer::Forever);
    const QByteArray sql = statement.toUtf8();
    // The extended protocol runs a single statement and refuses a text
    // holding several; single-row mode hands the rows over as they come.
    if (!PQsendQueryParams(connection, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)
        || !PQsetSingleRowMode(connection))
        throw failure(nullptr);
    PgResultPtr first = nextResult();
    if (!first)
        throw failure(nullptr);
    switch (PQresultStatus(first.get())) {
    case PGRES_SINGLE_TUPLE:
    case PGRES_TUPLES_OK: {
        PgRows rows(std::move(first), [this] { return nextRow(); });
        return buildSnapshot(rows, fetchCounter());
    }
    case PGRES_EMPTY_QUERY:
        while (nextResult()) {
        }
        throw emptyStatementError();
    default:
        while (nextResult()) {
        }
        return std::make_shared<Snapshot>();
    }
}

void PgConnection::interrupt()
{
    m_wake.raise();
}

PgResultPtr PgConnection::nextResult()
{
    waitUntilReady();
    PgResultPtr result(PQgetResult(m_connection.get()));
    const ExecStatusType status = PQresultStatus(result.get());
    if (result && (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE)) {
        const DbError error = failure(result.get());
        // The results that follow an error end the statement; after them the
        // connection takes the next one.
        while (!m_lost) {
            waitUntilReady();
            if (!PgResultPtr(PQgetResult(m_connection.get())))
                break;
        }
        throw error;
    }
    return result;
}

PgResultPtr PgConnection::nextRow()
{
    if (cancelRequested()) {
        // The rows that are still on their way are read and dropped until
        // the server ends the statement.
        while (nextResult()) {
        }
        throw cancelledError();
    }
    return nextResult();
}

void PgConnection::waitUntilReady()
{
    PGconn *const connection = m_connection.get();
    const int silenceMs = commandTimeoutSeconds() * 1000;
    // Input is read only when no whole result is buffered: each read moves
    // the buffered rest to the front of libpq's buffer.
    for (;;) {
        if (cancelRequested())
            pursueCancel();
        if (!PQisBusy(connection))
            return;
        pollfd waitFor[] = {{PQsocket(connection), POLLIN, 0}, {m_wake.fd(), POLLIN, 0}};
        const bool cancelling = !m_giveUpAt.isForever();
        const int timeout = cancelling ? int(qMin(m_giveUpAt.remainingTime(), m_resendAt.remainingTime()))
                                       : (silenceMs > 0 ? silenceMs : -1);
        const int ready = poll(waitFor, 2, timeout);
        if (ready < 0 && errno != EINTR)
            throw DbError(text::systemCallFailed("poll", QString::fromLocal8Bit(std::strerror(errno))));
        if (ready == 0 && !cancelling) {
            // The server sent nothing for too long: the statement is given
            // up, and with it the connection, which is still busy with it.
            CancelSending::send(m_cancel, std::make_shared<CancelSending>(), kCancelRequestLimitSeconds);
            giveUp();
            throw silenceError(commandTimeoutSeconds());
        }
        if (ready > 0 && (waitFor[1].revents & POLLIN))
            m_wake.clear();
        if (ready > 0 && waitFor[0].revents && !PQconsumeInput(connection))
            throw failure(nullptr);
    }
}

void PgConnection::pursueCancel()
{
    if (m_giveUpAt.isForever()) {
        m_giveUpAt.setRemainingTime(kCancelGraceMs);
        m_resendAt = QDeadlineTimer(0);
        m_sending = std::make_shared<CancelSending>();
    }
    if (m_giveUpAt.hasExpired() || m_sending->state == CancelSending::Failed) {
        giveUp();
        throw cancelledError();
    }
    if (m_resendAt.hasExpired()) {
        // One request at a time: a request still under way is not doubled.
        if (m_sending->state != CancelSending::Sending)
            CancelSending::send(m_cancel, m_sending, kCancelRequestLimitSeconds);
        m_resendAt.setRemainingTime(kCancelRepeatMs);
    }
}

void PgConnection::giveUp()
{
    m_lost = true;
    m_connection.reset();
}

DbError PgConnection::failure(const PGresult *result)
{
    if (!m_connection)
        return DbError(text::kConnectionLost, DbError::Kind::ConnectionLost);
    const QString text = trimmedMessage(result ? PQresultErrorMessage(result) : PQerrorMessage(m_connection.get()));
    if (PQstatus(m_connection.get()) == CONNECTION_BAD) {
        m_lost = true;
        return DbError(text::kConnectionLost, DbError::Kind::ConnectionLost, text);
    }
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (cancelRequested() && state && std::strcmp(state, "57014") == 0)
        return cancelledError();
    return DbError::fromEngine(text);
}

} // namespace vesko::db
