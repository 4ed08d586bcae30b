// Fetches a generated million-row, ten-column registry into a result
// snapshot and compares time and memory with the engine's own loop over the
// same statement: sqlite3_step reading every column as text, a plain libpq
// loop when VESKO_TEST_PG_HOST (and _PORT, _USER, _PASSWORD) name a
// PostgreSQL server, and an SQLFetch + SQLGetData loop through the SQLite
// and PostgreSQL ODBC drivers when ODBCSYSINI registers them as "SQLite3"
// and "PostgreSQL Unicode". Each snapshot is fetched in a process of its
// own, so that its peak resident memory (VmHWM) is the fetch's alone.
// Usage: bench_snapshot [rows]

#include "db/Connection.h"
#include "db/Snapshot.h"

#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

using namespace vesko;

namespace {

constexpr int kColumns = 10;
constexpr int kRounds = 3;
using Row = std::array<std::string, kColumns>;

const char *const kCreate =
    "create table %1registry (编号 integer, 姓名 varchar(20), 性别 varchar(2), 出生日期 date, "
    "登记时间 %2, 年龄 integer, 电话 varchar(20), 身份证号 varchar(18), 住址 varchar(100), 科室 varchar(20))";

// Registry rows that look like a desk's: Chinese names and addresses, ID
// numbers, phone numbers, dates and a few empty cells.
class RowGenerator
{
public:
    Row next(int id)
    {
        static const char *const surnames[] = {"王", "李", "张", "刘", "陈",   "杨",   "黄",   "赵",  "吴", "周", "徐",
                                               "孙", "马", "朱", "胡", "郭",   "何",   "高",   "林",  "罗", "郑", "梁",
                                               "谢", "宋", "唐", "许", "韩",   "冯",   "邓",   "曹",  "彭", "曾", "肖",
                                               "田", "董", "袁", "潘", "于",   "蒋",   "蔡",   "余",  "杜", "叶", "程",
                                               "苏", "魏", "吕", "丁", "欧阳", "司马", "诸葛", "上官"};
        static const char *const given[] = {"伟", "芳", "娜",   "秀英", "敏",   "静",   "丽",   "强",   "磊",   "军",
                                            "洋", "勇", "艳",   "杰",   "娟",   "涛",   "明",   "超",   "秀兰", "霞",
                                            "平", "刚", "桂英", "华",   "建华", "文",   "玉兰", "志强", "海燕", "晓东",
                                            "婷", "鹏", "子涵", "浩然", "欣怡", "梓萱", "宇轩", "一诺", "俊杰", "佳怡"};
        static const char *const provinces[] = {"广东省广州市", "浙江省杭州市", "江苏省南京市", "四川省成都市",
                                                "湖北省武汉市", "山东省济南市", "河南省郑州市", "福建省厦门市"};
        static const char *const districts[] = {"天河区", "西湖区", "鼓楼区", "武侯区", "江汉区",
                                                "历下区", "金水区", "思明区", "高新区", "经济开发区"};
        static const char *const streets[] = {"中山大道", "人民路", "解放路", "建设路", "和平街",
                                              "文化路",   "新华街", "长江路", "黄河路", "幸福里"};
        static const char *const wards[] = {"内科",     "外科",   "儿科",   "妇产科", "眼科",
                                            "耳鼻喉科", "口腔科", "皮肤科", "急诊科", "中医科"};

        Row row;
        row[0] = std::to_string(id);
        row[1] = std::string(pick(surnames)) + pick(given);
        row[2] = uniform(0, 1) ? "男" : "女";
        const int year = uniform(1930, 2015);
        const int month = uniform(1, 12);
        const int day = uniform(1, 28);
        row[3] = format("%04d-%02d-%02d", year, month, day);
        row[4] = format("%04d-%02d-%02d %02d:%02d:%02d", uniform(2010, 2024), uniform(1, 12), uniform(1, 28),
                        uniform(7, 18), uniform(0, 59), uniform(0, 59));
        row[5] = std::to_string(2024 - year);
        row[6] = uniform(0, 19) == 0 ? "" : "1" + std::to_string(uniform(3, 9)) + format("%09d", uniform(0, 999999999));
        row[7] = format("%06d%04d%02d%02d%03d", uniform(110000, 659000), year, month, day, uniform(0, 999))
            + "0123456789X"[uniform(0, 10)];
        row[8] =
            std::string(pick(provinces)) + pick(districts) + pick(streets) + std::to_string(uniform(1, 999)) + "号";
        row[9] = pick(wards);
        return row;
    }

private:
    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    template<std::size_t N>
    const char *pick(const char *const (&list)[N])
    {
        return list[uniform(0, int(N) - 1)];
    }
    template<typename... Args>
    static std::string format(const char *pattern, Args... args)
    {
        char buffer[64];
        const int length = std::snprintf(buffer, sizeof buffer, pattern, args...);
        return std::string(buffer, std::size_t(length));
    }

    std::mt19937 m_random{20120305};
};

struct Figures
{
    double rawSeconds = 1e9;
    double snapshotSeconds = 1e9;
    std::size_t textBytes = 0;
    std::size_t snapshotBytes = 0;
    double peakBytes = 0;
};

void report(const char *engine, qint64 rows, const Figures &f)
{
    std::printf("%s, %lld rows x %d columns (best of %d):\n", engine, static_cast<long long>(rows), kColumns, kRounds);
    std::printf("  raw engine loop  %8.3f s\n", f.rawSeconds);
    std::printf("  snapshot fetch   %8.3f s   ratio %.2f (goal <= 1.30)\n", f.snapshotSeconds,
                f.snapshotSeconds / f.rawSeconds);
    std::printf("  UTF-8 text       %8.1f MB\n", double(f.textBytes) / 1e6);
    std::printf("  snapshot memory  %8.1f MB   ratio %.2f (goal <= 1.50)\n", double(f.snapshotBytes) / 1e6,
                double(f.snapshotBytes) / double(f.textBytes));
    std::printf("  peak resident    %8.1f MB   (goal <= 1.5 x text + a few tens of MB)\n", f.peakBytes / 1e6);
    std::fflush(stdout);
}

// The child's part: fetch once and print seconds, snapshot bytes, rows and
// peak resident bytes.
int fetchOnce(const QString &connectionString, const QString &dir, const QString &statement)
{
    const db::ConnectionPtr connection = db::Connection::open(connectionString, dir);
    QElapsedTimer timer;
    timer.start();
    const db::ResultPtr result = connection->execute(statement);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    // Not getrusage's ru_maxrss: Linux carries it over from the parent, whose
    // pages a forked child counts as its own until it execs.
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    double peak = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            peak = line.mid(6).trimmed().split(' ').first().toDouble() * 1024;
    }
    std::printf("%f %zu %lld %f\n", seconds, dynamic_cast<const db::Snapshot &>(*result).memoryBytes(),
                static_cast<long long>(result->rowCount()), peak);
    return 0;
}

// Times a snapshot of the statement in a child process and checks it holds
// what the raw loop read.
void measureSnapshot(const QString &connectionString, const QString &dir, const char *statement, qint64 rows,
                     Figures &f)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {"--fetch", connectionString, dir, QString::fromUtf8(statement)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        qFatal("the fetch failed");
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    if (figures.size() != 4 || figures[2].toLongLong() != rows)
        qFatal("the snapshot does not hold %lld rows", static_cast<long long>(rows));
    f.snapshotSeconds = std::min(f.snapshotSeconds, figures[0].toDouble());
    f.snapshotBytes = figures[1].toULongLong();
    f.peakBytes = std::max(f.peakBytes, figures[3].toDouble());
}

// The driver's own row loop: SQLFetch, then SQLGetData of every column as
// UTF-16 text, as a plain ODBC program reads it.
double odbcRawLoop(const QString &connectionString, const char *statement)
{
    SQLHENV env = SQL_NULL_HANDLE;
    SQLHDBC dbc = SQL_NULL_HANDLE;
    SQLHSTMT stmt = SQL_NULL_HANDLE;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const QByteArray connect = connectionString.toUtf8();
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR *)connect.constData(), SQL_NTS, nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT)))
        qFatal("ODBC connection failed: %s", connect.constData());
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    QElapsedTimer timer;
    timer.start();
    SQLExecDirect(stmt, (SQLCHAR *)statement, SQL_NTS);
    SQLWCHAR buffer[4096];
    unsigned checksum = 0;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        for (SQLUSMALLINT c = 1; c <= kColumns; ++c) {
            SQLLEN indicator = 0;
            SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
            checksum += indicator > 0 ? buffer[0] : 0u;
        }
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (checksum == 1)
        std::puts("");
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return seconds;
}

void benchOdbc(const char *engine, const QString &connectionString, const QString &dir, const char *statement,
               qint64 rows, std::size_t textBytes)
{
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI")) {
        std::printf("%s skipped: ODBCSYSINI is not set\n", engine);
        return;
    }
    Figures f;
    f.textBytes = textBytes;
    for (int round = 0; round < kRounds; ++round) {
        f.rawSeconds = std::min(f.rawSeconds, odbcRawLoop(connectionString, statement));
        measureSnapshot(connectionString, dir, statement, rows, f);
    }
    report(engine, rows, f);
}

void sqliteExec(sqlite3 *db, const QString &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
        qFatal("%s", message);
}

void benchSqlite(const QString &dir, int rows)
{
    const QString path = dir + "/registry.db";
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqliteExec(db, "pragma journal_mode = off; pragma synchronous = off; begin");
    sqliteExec(db, QString::fromUtf8(kCreate).arg("", "datetime"));
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "insert into registry values (?,?,?,?,?,?,?,?,?,?)", -1, &insert, nullptr);
    RowGenerator generator;
    for (int id = 1; id <= rows; ++id) {
        const Row row = generator.next(id);
        for (int c = 0; c < kColumns; ++c)
            sqlite3_bind_text(insert, c + 1, row[std::size_t(c)].data(), int(row[std::size_t(c)].size()),
                              SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqliteExec(db, "commit");

    const char *statement = "select * from registry";
    Figures f;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        sqlite3_stmt *select = nullptr;
        sqlite3_prepare_v2(db, statement, -1, &select, nullptr);
        std::size_t bytes = 0;
        unsigned checksum = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            for (int c = 0; c < kColumns; ++c) {
                const unsigned char *text = sqlite3_column_text(select, c);
                bytes += std::size_t(sqlite3_column_bytes(select, c));
                checksum += text ? text[0] : 0u;
            }
        }
        sqlite3_finalize(select);
        f.rawSeconds = std::min(f.rawSeconds, double(timer.nsecsElapsed()) / 1e9);
        f.textBytes = bytes;
        if (checksum == 1)
            std::puts("");
        measureSnapshot("Provider=SQLite;Data Source=registry.db", dir, statement, rows, f);
    }
    sqlite3_close(db);
    report("SQLite", rows, f);
    benchOdbc("ODBC to SQLite", "Driver={SQLite3};Database=" + path, dir, statement, rows, f.textBytes);
}

void pgCheck(PGconn *pg, PGresult *result)
{
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN)
        qFatal("%s", PQerrorMessage(pg));
    PQclear(result);
}

void benchPostgres(const QString &dir, int rows)
{
    const QByteArray host = qgetenv("VESKO_TEST_PG_HOST");
    const QByteArray port = qgetenv("VESKO_TEST_PG_PORT");
    const QByteArray user = qgetenv("VESKO_TEST_PG_USER");
    const QByteArray password = qgetenv("VESKO_TEST_PG_PASSWORD");
    const char *keys[] = {"host", "port", "user", "password", "dbname", "client_encoding", nullptr};
    const char *values[] = {host, port, user, password, "postgres", "UTF8", nullptr};
    PGconn *pg = PQconnectdbParams(keys, values, 0);
    if (PQstatus(pg) != CONNECTION_OK)
        qFatal("%s", PQerrorMessage(pg));
    const QByteArray schema = "bench_snapshot_" + QByteArray::number(QCoreApplication::applicationPid());
    pgCheck(pg, PQexec(pg, "create schema " + schema));
    pgCheck(pg, PQexec(pg, QString::fromUtf8(kCreate).arg(QString::fromUtf8(schema + "."), "timestamp").toUtf8()));
    pgCheck(pg, PQexec(pg, "copy " + schema + ".registry from stdin with (format text)"));
    RowGenerator generator;
    std::string buffer;
    for (int id = 1; id <= rows; ++id) {
        const Row row = generator.next(id);
        for (int c = 0; c < kColumns; ++c) {
            buffer += row[std::size_t(c)];
            buffer += c + 1 < kColumns ? '\t' : '\n';
        }
        if (buffer.size() > (1 << 20) || id == rows) {
            PQputCopyData(pg, buffer.data(), int(buffer.size()));
            buffer.clear();
        }
    }
    PQputCopyEnd(pg, nullptr);
    pgCheck(pg, PQgetResult(pg));
    pgCheck(pg, PQexec(pg, "vacuum analyze " + schema + ".registry"));

    const QByteArray statement = "select * from " + schema + ".registry";
    const QString connectionString = QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=postgres;"
                                                    "User ID=%3;Password={%4}")
                                         .arg(QString::fromUtf8(host), QString::fromUtf8(port), QString::fromUtf8(user),
                                              QString::fromUtf8(password));
    Figures f;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        PGresult *result = PQexec(pg, statement.constData());
        std::size_t bytes = 0;
        unsigned checksum = 0;
        const int count = PQntuples(result);
        for (int r = 0; r < count; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                bytes += std::size_t(PQgetlength(result, r, c));
                checksum += unsigned(PQgetvalue(result, r, c)[0]);
            }
        }
        PQclear(result);
        f.rawSeconds = std::min(f.rawSeconds, double(timer.nsecsElapsed()) / 1e9);
        f.textBytes = bytes;
        if (checksum == 1)
            std::puts("");
        measureSnapshot(connectionString, dir, statement.constData(), rows, f);
    }
    benchOdbc("ODBC to PostgreSQL",
              QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=postgres;Uid=%3;Pwd={%4}")
                  .arg(QString::fromUtf8(host), QString::fromUtf8(port), QString::fromUtf8(user),
                       QString::fromUtf8(password)),
              dir, statement.constData(), rows, f.textBytes);
    pgCheck(pg, PQexec(pg, "drop schema " + schema + " cascade"));
    PQfinish(pg);
    report("PostgreSQL", rows, f);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--fetch") == 0)
        return fetchOnce(QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]), QString::fromUtf8(argv[4]));
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    benchSqlite(dir.path(), rows);
    if (qEnvironmentVariableIsEmpty("VESKO_TEST_PG_HOST"))
        std::puts("PostgreSQL skipped: VESKO_TEST_PG_HOST is not set");
    else
        benchPostgres(dir.path(), rows);
    return 0;
}
