#pragma once

#include <QString>

namespace vesko::test {

// The desk's fixed message texts, written out here rather than taken from the
// code, so that a changed text fails the tests.
inline const QString kStartupMessage = QStringLiteral("您好，系统尚未设置数据库连接参数，请先进行设置。");
inline const QString kConnectMessage = QStringLiteral("连接数据库错误，请检查或设置数据库连接参数！");
inline const QString kQueryMessage = QStringLiteral("查询错误，请检查查询语句设置是否正确！");
inline const QString kDateMessage = QStringLiteral("请正确选择日期！");

} // namespace vesko::test
