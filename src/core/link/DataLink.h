#pragma once

#include "db/Connection.h"
#include "db/Result.h"
#include "core/platform/ProgramDirectory.h"

#include <QString>

namespace vesko {

class MessageService;
class ResultView;
struct RunConfig;

// The main window's connection and current result, and the routines that
// replace them. Each routine reports its own failures through the message
// service and returns normally; the caller reads the outcome from result().
class DataLink
{
public:
    static inline const QString kConnectFailed = QStringLiteral("连接数据库错误，请检查或设置数据库连接参数！");
    static inline const QString kStatementFailed = QStringLiteral("查询错误，请检查查询语句设置是否正确！");

    DataLink(RunConfig &config, ProgramDirectory directory, MessageService &messages, ResultView &view);

    // Drops the connection and opens a fresh one with connectionString; sets connected.
    void openConnection();
    // Drops the result and runs statement into a fresh result; on failure the
    // result is not open.
    void runStatement(const QString &statement);
    // runStatement, then bind the grid; with an open result also make its
    // last row current and rewrite the count.
    void refresh(const QString &statement);
    // openConnection, runStatement, and with an open result showResult().
    void reconnectAndShow(const QString &statement);

    // Shows an open result: rebuild the panel, bind the grid, rewrite the
    // count. Throws db::DbError when the result is not open.
    void showResult();

    // The current result, never null; not open before the first statement
    // and after a failed one.
    const db::ResultPtr &result() const { return m_result; }
    // The dialect of the open connection; the standard one without.
    db::Dialect dialect() const;

    static QString countText(qint64 rows);

private:
    RunConfig &m_config;
    ProgramDirectory m_directory;
    MessageService &m_messages;
    ResultView &m_view;
    db::ConnectionPtr m_connection;
    db::ResultPtr m_result;
};

} // namespace vesko
