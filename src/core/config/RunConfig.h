#pragma once

#include <QString>

namespace vesko {

// The run-time configuration shared by the main window and the settings
// dialog. Empty texts at start; an empty statement means its button does nothing.
struct RunConfig
{
    QString g_cn;   // connection string (数据连接)
    QString g_sql;  // default statement (默认查询)
    QString g_all;  // statement of 全部
    QString g_qt1;  // statement of 备用一
    QString g_qt2;  // statement of 备用二

    // True after a successful connect, false after a failed one; read only by
    // the settings dialog's connection test.
    bool g_cnok = false;
};

} // namespace vesko
