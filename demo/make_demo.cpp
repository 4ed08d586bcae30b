// Creates a demo registry in a program directory: registry.db (SQLite),
// vesko.ini and a few pick lists. Files that already exist are left alone.
//
//   vesko_demo <program directory> [rows]

#include "core/config/Gbk.h"
#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdio>

namespace {

const QStringList kSurnames = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴",
                               "徐", "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗"};
const QStringList kGiven = {"伟", "芳", "娜",   "秀英", "敏", "静", "丽", "强",   "磊",   "军",
                            "洋", "勇", "艳",   "杰",   "娟", "涛", "明", "超",   "秀兰", "霞",
                            "平", "刚", "桂英", "建华", "文", "华", "红", "志强", "玉兰", "国庆"};
const QStringList kUnits = {"市第一中学", "光明机械厂", "新华书店", "城东街道办", "海天电子公司",
                            "人民医院",   "长江物流",   "市税务局", "红星小学",   "个体"};
const QStringList kDepartments = {"内科", "外科", "儿科", "妇产科", "眼科", "口腔科", "皮肤科", "中医科"};

struct Statement
{
    sqlite3_stmt *handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

bool exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "vesko_demo: %s\n", error);
        sqlite3_free(error);
        return false;
    }
    return true;
}

void bindText(sqlite3_stmt *stmt, int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool makeRegistry(const QString &path, int rows)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        std::fprintf(stderr, "vesko_demo: cannot create %s\n", qPrintable(path));
        sqlite3_close(db);
        return false;
    }
    bool ok = exec(db,
                   "create table 登记 (编号 INTEGER PRIMARY KEY, 姓名 TEXT, 性别 TEXT, 年龄 INTEGER,"
                   " 出生日期 DATE, 证件号 TEXT, 单位 TEXT, 科室 TEXT, 登记日期 DATETIME, 电话 TEXT)")
        && exec(db, "begin");
    Statement insert;
    ok = ok
        && sqlite3_prepare_v2(db, "insert into 登记 values (?,?,?,?,?,?,?,?,?,?)", -1, &insert.handle, nullptr)
            == SQLITE_OK;
    QRandomGenerator rng(20121);
    const QDate today = QDate::currentDate();
    for (int i = 1; ok && i <= rows; ++i) {
        const int age = 1 + int(rng.bounded(90));
        const QDate birth = today.addYears(-age).addDays(-int(rng.bounded(365)));
        const QDateTime registered(today.addDays(-int(rng.bounded(60))),
                                   QTime(8 + int(rng.bounded(10)), int(rng.bounded(60)), int(rng.bounded(60))));
        const bool male = rng.bounded(2) == 0;
        sqlite3_bind_int(insert.handle, 1, i);
        bindText(insert.handle, 2, kSurnames[rng.bounded(kSurnames.size())] + kGiven[rng.bounded(kGiven.size())]);
        bindText(insert.handle, 3, male ? QStringLiteral("男") : QStringLiteral("女"));
        sqlite3_bind_int(insert.handle, 4, age);
        bindText(insert.handle, 5, birth.toString(Qt::ISODate));
        bindText(insert.handle, 6,
                 QStringLiteral("3201%1%2%3")
                     .arg(rng.bounded(10, 99))
                     .arg(birth.toString(QStringLiteral("yyyyMMdd")))
                     .arg(rng.bounded(1000, 9999)));
        if (rng.bounded(10) == 0)
            sqlite3_bind_null(insert.handle, 7);
        else
            bindText(insert.handle, 7, kUnits[rng.bounded(kUnits.size())]);
        bindText(insert.handle, 8, kDepartments[rng.bounded(kDepartments.size())]);
        bindText(insert.handle, 9, registered.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        bindText(insert.handle, 10, QStringLiteral("13%1").arg(rng.bounded(100000000, 999999999)));
        ok = sqlite3_step(insert.handle) == SQLITE_DONE;
        sqlite3_reset(insert.handle);
    }
    ok = ok && exec(db, "commit");
    sqlite3_close(db);
    if (!ok)
        QFile::remove(path);
    return ok;
}

bool writeGbkLines(const QString &path, const QStringList &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(vesko::toGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"))) >= 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vesko_demo <program directory> [rows]\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const int rows = argc > 2 ? std::atoi(argv[2]) : 3000;
    if (!QDir().mkpath(dir.path()))
        return 1;

    const QString registry = dir.filePath(QStringLiteral("registry.db"));
    if (!QFile::exists(registry) && !makeRegistry(registry, rows))
        return 1;

    const QString ini = dir.filePath(QStringLiteral("vesko.ini"));
    if (!QFile::exists(ini)) {
        using namespace vesko;
        try {
            ProfileStore::write(
                {{ini::kConnection, ini::kValue, QStringLiteral("Provider=SQLite;Data Source=registry.db")},
                 {ini::kDefault, ini::kValue, QStringLiteral("select * from 登记 where 编号 > 0 order by 编号")},
                 {ini::kAll, ini::kValue, QStringLiteral("select * from 登记 order by 编号")},
                 {ini::kSpare1, ini::kValue,
                  QStringLiteral(
                      "select * from 登记 where date(登记日期) = date('now', 'localtime') order by 登记日期")},
                 {ini::kSpare2, ini::kValue, QStringLiteral("select * from 登记 where 科室 = '内科' order by 编号")}},
                ini);
        } catch (const FileError &error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    }

    const QDir lists(dir.filePath(QStringLiteral("set_info/bg_info/field_list")));
    if (!QDir().mkpath(lists.path()))
        return 1;
    const QList<std::pair<QString, QStringList>> pickLists = {
        {QStringLiteral("性别"), {QStringLiteral("男"), QStringLiteral("女")}},
        {QStringLiteral("科室"), kDepartments},
        {QStringLiteral("单位"), kUnits},
    };
    for (const auto &[column, entries] : pickLists) {
        const QString path = lists.filePath(column + QStringLiteral(".flt"));
        if (!QFile::exists(path) && !writeGbkLines(path, entries))
            return 1;
    }
    std::printf("demo registry ready in %s\n", qPrintable(dir.path()));
    return 0;
}
