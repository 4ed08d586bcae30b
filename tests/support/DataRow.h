#pragma once

#include <QTest>

namespace vesko::test {

// One row of a data table, on one line: dataRow("tag", a, b, c).
template<typename... Values>
void dataRow(const QByteArray &tag, const Values &...values)
{
    (QTest::newRow(tag.constData()) << ... << values);
}

} // namespace vesko::test
