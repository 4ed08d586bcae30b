#pragma once

#include <QString>

namespace vesko {

// The five stored texts of vesko.ini, shared by the main window and the
// settings dialog. Empty texts at start; an empty
// statement means its button does nothing.
struct RunConfig
{
    QString connectionString; // 数据连接
    QString defaultStatement; // 默认查询, the base of every search
    QString allStatement;     // 全部
    QString spare1Statement;  // 备用一
    QString spare2Statement;  // 备用二
};

} // namespace vesko
