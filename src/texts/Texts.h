#pragma once

#include <QString>

// Every text the program writes for its users, in one place, so that they
// can be read together. The engines' own texts are not here: they are shown
// as the engine wrote them, under kEngineSaid.
namespace vesko::text {

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
