#include "core/search/StatementBuilder.h"

#include <QTest>

using namespace vesko;

Q_DECLARE_METATYPE(vesko::SearchRow)
Q_DECLARE_METATYPE(vesko::SearchJoin)

namespace {

constexpr int kText = 202;
constexpr int kInteger = 3;
constexpr int kDate = 7;

SearchRow textRow(const QString &name, const QString &text, int checkValue = 1)
{
    return {name, checkValue, kText, text, {}, {}};
}

SearchRow integerRow(const QString &name, const QString &text)
{
    return {name, 1, kInteger, text, {}, {}};
}

SearchRow dateRow(const QString &text, const QString &tag = {}, const QString &toolTip = {})
{
    return {QStringLiteral("登记日期"), 1, kDate, text, tag, toolTip};
}

const QString kReg = QStringLiteral("select * from reg");
const QString kRegWhere = QStringLiteral("select * from reg where 状态=1 order by 编号");

} // namespace

class TestStatementBuilder : public QObject
{
    Q_OBJECT

private slots:
    void composes_data()
    {
        QTest::addColumn<QString>("defaultStatement");
        QTest::addColumn<SearchJoin>("join");
        QTest::addColumn<int>("ck_mohu");
        QTest::addColumn<QList<SearchRow>>("rows");
        QTest::addColumn<QString>("expected");

        const auto And = SearchJoin::And;
        const auto Or = SearchJoin::Or;

        QTest::newRow("worked 1: text and integer with and")
                << kReg << And << 0
                << QList{textRow("姓名", "张三"), integerRow("年龄", "30")}
                << QStringLiteral("select * from reg where 姓名='张三' and 年龄=30 ");
        QTest::newRow("worked 2: substring and range with or")
                << kRegWhere << Or << 1
                << QList{textRow("姓名", "张"),
                         dateRow("从 2012-3-5 到 2012-3-7", "2012-3-5", "2012-3-7")}
                << QStringLiteral("select * from reg where 姓名 LIKE '%张%'  or 登记日期  between  "
                                  "# 2012-3-5 01:01:01 #  and  # 2012-3-7 23:59:01# ");
        QTest::newRow("worked 3: nothing ticked keeps the default statement")
                << kRegWhere << Or << 1
                << QList{textRow("姓名", "张", 0),
                         SearchRow{"登记日期", 0, kDate, "", "2012-3-5", "2012-3-7"}}
                << kRegWhere;
        QTest::newRow("worked 4: typed date is one day")
                << kReg << And << 0 << QList{dateRow("2012-3-5")}
                << QStringLiteral("select * from reg where 登记日期  between  # 2012-3-5 01:01:01 "
                                  "#  and  # 2012-3-5 23:59:01# ");

        const QList<QPair<QString, QString>> numbers{{"30", "30"},  {"3 0", "30"},   {"2.5", "2"},
                                                     {"3.5", "4"}, {"1,000", "1"}, {"abc", "0"},
                                                     {"", "0"}};
        for (const auto &[text, number] : numbers)
            QTest::addRow("number text '%s'", qPrintable(text))
                    << kReg << And << 1 << QList{integerRow("年龄", text)}
                    << "select * from reg where 年龄=" + number + " ";

        QTest::newRow("upper-case WHERE is not the keyword")
                << "select * from reg WHERE 状态=1" << And << 0 << QList{textRow("姓名", "张三")}
                << QStringLiteral("select * from reg WHERE 状态=1 where 姓名='张三' ");
        QTest::newRow("where inside a word")
                << "select * from somewhere_log" << And << 0 << QList{textRow("姓名", "张三")}
                << QStringLiteral("select * from somewhere 姓名='张三' ");
        QTest::newRow("where inside a literal")
                << "select '在where' as k, * from reg" << And << 0 << QList{textRow("姓名", "张三")}
                << QStringLiteral("select '在where 姓名='张三' ");
        QTest::newRow("greyed box is not ticked")
                << kReg << And << 0 << QList{textRow("姓名", "张三", 2), textRow("性别", "男")}
                << QStringLiteral("select * from reg where 性别='男' ");
        QTest::newRow("ck_mohu 2 is substring")
                << kReg << And << 2 << QList{textRow("姓名", "张")}
                << QStringLiteral("select * from reg where 姓名 LIKE '%张%'  ");
        QTest::newRow("match option leaves integer and date alone")
                << kReg << And << 1 << QList{integerRow("年龄", "30"), dateRow("2012-3-5")}
                << QStringLiteral("select * from reg where 年龄=30 and 登记日期  between  # "
                                  "2012-3-5 01:01:01 #  and  # 2012-3-5 23:59:01# ");
        QTest::newRow("blanks and names kept as they stand")
                << kReg << And << 0 << QList{textRow("first name", " 张 ")}
                << QStringLiteral("select * from reg where first name=' 张 ' ");
        QTest::newRow("empty date clause")
                << kReg << And << 0 << QList{dateRow("")}
                << QStringLiteral("select * from reg where 登记日期  between  #  01:01:01 #  and  "
                                  "#  23:59:01# ");
        QTest::newRow("quote doubled in exact match")
                << kReg << And << 0 << QList{textRow("姓名", "O'Neil")}
                << QStringLiteral("select * from reg where 姓名='O''Neil' ");
        QTest::newRow("quote doubled in substring match, wildcards kept")
                << kReg << And << 1 << QList{textRow("姓名", "'%_'")}
                << QStringLiteral("select * from reg where 姓名 LIKE '%''%_''%'  ");
        QTest::newRow("empty default statement, one ticked")
                << "" << And << 0 << QList{textRow("姓名", "张三")}
                << QStringLiteral(" where 姓名='张三' ");
        QTest::newRow("finishing checks also apply to the restored default statement")
                << "select * from reg where 状态=1 or " << Or << 0 << QList<SearchRow>{}
                << QStringLiteral("select * from reg where 状态=1 ");
        QTest::newRow("unticked date row with a bad value is not read")
                << kReg << And << 0 << QList{SearchRow{"登记日期", 0, kDate, "#", "'", "'"}}
                << kReg;
    }

    void composes()
    {
        QFETCH(QString, defaultStatement);
        QFETCH(SearchJoin, join);
        QFETCH(int, ck_mohu);
        QFETCH(QList<SearchRow>, rows);
        QFETCH(QString, expected);

        const std::optional<QString> statement = composeStatement({defaultStatement, join, ck_mohu, rows});
        QVERIFY(statement);
        QCOMPARE(*statement, expected);
    }

    void refusesValuesThatCannotBeDates_data()
    {
        QTest::addColumn<SearchRow>("row");

        QTest::newRow("hash in range start") << dateRow("", "2012-3-5#", "2012-3-7");
        QTest::newRow("quote in range end") << dateRow("", "2012-3-5", "2012-3-7'");
        QTest::newRow("hash in typed text") << dateRow("2012-3-5 # or 1=1");
        QTest::newRow("quote in typed text") << dateRow("2012'3'5");
    }

    void refusesValuesThatCannotBeDates()
    {
        QFETCH(SearchRow, row);
        const SearchCriteria criteria{kReg, SearchJoin::And, 0,
                                      {textRow("姓名", "张三"), row, integerRow("年龄", "30")}};
        QCOMPARE(composeStatement(criteria), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestStatementBuilder)
#include "tst_statementbuilder.moc"
