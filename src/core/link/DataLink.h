#pragma once

#include "db/Connection.h"
#include "db/Result.h"
#include "core/platform/ProgramDirectory.h"

#include <QString>

namespace vesko {

class MessageService;
class ResultView;
struct RunConfig;

// The main window's connection (cn) and current result (rs), and the routines
// that replace them. Each routine reports its own failures through the message
// service and returns normally; none tells its caller how it went.
class DataLink
{
public:
    static inline const QString kConnectFailed = QStringLiteral("连接数据库错误，请检查或设置数据库连接参数！");
    static inline const QString kStatementFailed = QStringLiteral("查询错误，请检查查询语句设置是否正确！");

    DataLink(RunConfig &config, ProgramDirectory directory, MessageService &messages, ResultView &view);

    // Drops cn and opens a fresh connection with g_cn; sets g_cnok.
    void s_connect();
    // Drops rs and runs statement into a fresh result; on failure rs is not open.
    void s_search(const QString &statement);
    // s_search, then bind the grid, make the last row current and rewrite the
    // count, each step skipped when it fails.
    void s_ref(const QString &statement);
    // s_connect, s_search, rebuild the panel, bind the grid, rewrite the
    // count; ends silently at the first step that fails.
    void ceshi_cn(const QString &statement);

    // The start-up's showing of a fresh result: rebuild the panel, bind the
    // grid, rewrite the count. Throws at the first step that fails.
    void showResult();

    // The current result, never null; not open before the first statement
    // and after a failed one.
    const db::ResultPtr &rs() const { return m_rs; }
    // The current result when it is open; throws db::DbError otherwise.
    db::Result &openResult() const;

    static QString countText(qint64 rows);

private:
    void bindGrid();

    RunConfig &m_config;
    ProgramDirectory m_directory;
    MessageService &m_messages;
    ResultView &m_view;
    db::ConnectionPtr m_cn;
    db::ResultPtr m_rs;
};

} // namespace vesko
