#pragma once

#include "support/MessageRecorder.h"

namespace vesko::test {

// The desk's fixed message texts as MessageRecorder::texts() gives them,
// written out here rather than taken from the code, so that a changed text
// or icon fails the tests.
inline const QString kStartupMessage =
    kInformationMark + QStringLiteral("您好，系统尚未设置数据库连接参数，请先进行设置。");
inline const QString kConnectMessage = QStringLiteral("连接数据库错误，请检查或设置数据库连接参数！");
inline const QString kQueryMessage = kInformationMark + QStringLiteral("查询错误，请检查查询语句设置是否正确！");
inline const QString kNoRecordMessage = kInformationMark + QStringLiteral("没有可以导入的记录！");
inline const QString kUnsetMessage = kInformationMark + QStringLiteral("未设置数据库连接参数");
inline const QString kDateMessage = QStringLiteral("请正确选择日期！");

// A search refused for a date typed in column that reads as none.
inline QString unreadableDateMessage(const QString &column, const QString &text)
{
    return QStringLiteral("“%1”中的“%2”不是可以识别的日期，没有进行查询。请按以下任一写法输入："
                          "2012-3-5、2012/3/5、2012.3.5、2012年3月5日、20120305、3/5/2012（月/日/年）。")
        .arg(column, text);
}

// A search refused for a value with a backslash, for a server whose reading
// of one is not known.
inline QString backslashMessage(const QString &column)
{
    return QStringLiteral("“%1”中的值含有反斜杠（\\），无法确定这个数据库如何解读它，没有进行查询。").arg(column);
}

} // namespace vesko::test
