#pragma once

#include <QString>

// Every text the program writes for its users, in one place, so that they
// can be read together. The engines' own texts are not here: they are shown
// as the engine wrote them, under kEngineSaid.
namespace vesko::text {

// The caption of every message box and progress window
inline const QString kAppTitle = QStringLiteral("vesko信息");

// Messages
inline const QString kStartupFailed = QStringLiteral("您好，系统尚未设置数据库连接参数，请先进行设置。");
inline const QString kConnectFailed = QStringLiteral("连接数据库错误，请检查或设置数据库连接参数！");
inline const QString kStatementFailed = QStringLiteral("查询错误，请检查查询语句设置是否正确！");
inline const QString kNoRecord = QStringLiteral("没有可以导入的记录！");
inline const QString kWriteFailed = QStringLiteral("写出错！");
inline const QString kChooseDate = QStringLiteral("请正确选择日期！");
inline const QString kConnected = QStringLiteral("数据库连接成功！");
inline const QString kNotSet = QStringLiteral("未设置数据库连接参数");
inline const QString kCannotTellCopies =
    QStringLiteral("无法确认本程序是否已在运行：程序目录和程序文件都不可读取。请让管理员给予读取权限。");

inline QString unreadableDate(const QString &column, const QString &typed, const QString &forms)
{
    return QStringLiteral("“%1”中的“%2”不是可以识别的日期，没有进行查询。请按以下任一写法输入：%3。")
        .arg(column, typed, forms);
}
inline const QString kMonthFirstExample = QStringLiteral("3/5/2012（月/日/年）");
inline QString backslashRefused(const QString &column)
{
    return QStringLiteral("“%1”中的值含有反斜杠（\\），无法确定这个数据库如何解读它，没有进行查询。").arg(column);
}

// The main window
inline const QString kGridCaption = QStringLiteral("双击可以导入信息");
inline const QString kQueryFrame = QStringLiteral("查询");
inline const QString kOr = QStringLiteral("或");
inline const QString kAnd = QStringLiteral("与");
inline const QString kSubstring = QStringLiteral("模糊查询");
inline const QString kFind = QStringLiteral("查询");
inline const QString kClear = QStringLiteral("清空");
inline const QString kRefresh = QStringLiteral("刷新");
inline const QString kShowAll = QStringLiteral("全部");
inline const QString kSpare1 = QStringLiteral("备用一");
inline const QString kSpare2 = QStringLiteral("备用二");
inline const QString kHandOff = QStringLiteral("导入");
inline const QString kExit = QStringLiteral("退出");
inline const QString kSettings = QStringLiteral("数据库连接参数");
inline const QString kFindKeys = QStringLiteral("F3 或 Ctrl+Enter");
inline const QString kRefreshKeys = QStringLiteral("F5");
inline const QString kHandOffKeys = QStringLiteral("Enter 或双击");
inline const QString kHandedOff = QStringLiteral("已导入：");
inline const QString kCopyCell = QStringLiteral("复制");
inline const QString kCopyRow = QStringLiteral("复制整行");
inline const QString kFieldHeader = QStringLiteral("字段");
inline QString count(qint64 people)
{
    return QStringLiteral("共有 %1 人").arg(people);
}

// The date frame
inline const QString kDateFrame = QStringLiteral("选择日期");
inline const QString kFrom = QStringLiteral("起");
inline const QString kTo = QStringLiteral("止");
inline QString dateRange(const QString &from, const QString &to)
{
    return QStringLiteral("从 %1 到 %2").arg(from, to);
}

// The settings dialog
inline const QString kSettingsTitle = QStringLiteral("网络连接接口-SQL语句设置");
inline const QString kConnectionLabel = QStringLiteral("数据库连接语句：");
inline const QString kDefaultLabel = QStringLiteral("进入默认查询SQL=");
inline const QString kRequired = QStringLiteral("必填");
inline const QString kTestConnection = QStringLiteral("测试连接");
inline const QString kTestStatement = QStringLiteral("测试查询");
inline const QString kSettingsNote =
    QStringLiteral("说明：可设定各按钮执行的SQL查询语句，查询结果的字段名称请用中文描述，如：姓名，科室...，"
                   "工作站端将完全根据中文名称将对应的值获取。");

// The progress window
inline const QString kCancel = QStringLiteral("取消");
inline QString progress(double seconds, qint64 rows)
{
    return QStringLiteral("正在查询数据库，请稍候……\n已用时间：%1 秒\n已取得：%2 行").arg(seconds, 0, 'f', 1).arg(rows);
}

// Details of messages
inline const QString kNoConnection = QStringLiteral("没有打开的数据库连接（连接数据库时已出错），语句没有执行。");
inline const QString kCancelled = QStringLiteral("已取消。");
inline QString withConnectionString(const QString &why, const QString &connectionString)
{
    return QStringLiteral("%1\n\n连接字符串：%2").arg(why, connectionString);
}
inline QString withStatement(const QString &why, const QString &statement)
{
    return QStringLiteral("%1\n\n语句：%2").arg(why, statement);
}

// Details of database failures
inline const QString kEngineSaid = QStringLiteral("数据库的原话：");
inline const QString kEmptyStatement = QStringLiteral("语句是空的。");
inline const QString kNulInStatement = QStringLiteral("语句中有 NUL 字符，没有执行。");
inline const QString kSeveralStatements = QStringLiteral("这段文字不止一条语句，一条也没有执行。");
inline const QString kStatementCancelled = QStringLiteral("语句已取消。");
inline const QString kConnectionLost = QStringLiteral("与数据库服务器的连接已断开。");
inline const QString kSqliteNeedsFile = QStringLiteral("Provider=SQLite 需要 Data Source，即数据库文件。");
inline const QString kNoOdbcEnvironment = QStringLiteral("ODBC 驱动管理器无法分配环境。");
inline const QString kNoOdbcDiagnostic = QStringLiteral("ODBC 调用失败，驱动没有说明原因。");
inline const QString kNoLibpqConnection = QStringLiteral("libpq 无法分配连接。");
inline const QString kNoLibpqCancel = QStringLiteral("libpq 无法准备取消请求。");
inline const QString kResultNotOpen = QStringLiteral("结果没有打开。");
inline const QString kResultHasNoRows = QStringLiteral("结果中没有记录。");
inline const QString kNoOpenResult = QStringLiteral("语句没有给出可以显示的结果。");

inline QString silence(int seconds)
{
    return QStringLiteral("服务器 %1 秒内没有任何回应，语句已放弃。").arg(seconds);
}
inline QString badCommandTimeout(const QString &value)
{
    return QStringLiteral("连接字符串中的 Command Timeout 应是秒数（0 表示不限时），而不是“%1”。").arg(value);
}
inline QString unknownProvider(const QString &provider)
{
    return QStringLiteral("不认识的 Provider“%1”。可以这样写：\n"
                          "Provider=SQLite;Data Source=<文件>\n"
                          "Provider=PostgreSQL;Host=...;Port=...;Database=...;User ID=...;Password=...\n"
                          "Provider=ODBC;<ODBC 连接字符串>（或任何带 DSN 或 Driver 的字符串）")
        .arg(provider);
}
inline QString unterminatedQuote(QChar quote, const QString &start)
{
    return QStringLiteral("连接字符串：从“%2”开始的值缺少与 %1 配对的结束符。").arg(quote).arg(start);
}
inline QString notAPair(const QString &text)
{
    return QStringLiteral("连接字符串：“%1”不是“键=值”的形式。").arg(text);
}
inline QString textAfterQuotedValue(const QString &key)
{
    return QStringLiteral("连接字符串：%1 的引号里的值后面还有别的文字。").arg(key);
}
inline const QString kSystemSaid = QStringLiteral("系统的原话：");
inline const QString kNotRegularFile = QStringLiteral("不是普通文件。");
inline QString fileFailed(const QString &path, const QString &reason)
{
    return QStringLiteral("文件：%1\n%2").arg(path, reason);
}
inline QString largerThan(qint64 bytes)
{
    return QStringLiteral("大于 %1 字节。").arg(bytes);
}
inline QString tooLargeToReadBack(qint64 bytes)
{
    return QStringLiteral("新文件将大于 %1 字节，写出后无法再读回，没有写出。").arg(bytes);
}
inline QString databaseFile(const QString &path)
{
    return QStringLiteral("数据库文件：%1").arg(path);
}
inline QString systemCallFailed(const char *call, const QString &reason)
{
    return QStringLiteral("系统调用 %1 失败：%2").arg(QString::fromLatin1(call), reason);
}
inline QString noColumn(int column)
{
    return QStringLiteral("结果中没有第 %1 列。").arg(column);
}
inline QString noRow(qint64 row)
{
    return QStringLiteral("结果中没有第 %1 行。").arg(row);
}

} // namespace vesko::text
