#include "core/search/NumberText.h"
#include "core/search/StatementBuilder.h"
#include "support/Messages.h"
#include "support/TestRunner.h"

#include <QTest>

using namespace vesko;
using namespace vesko::test;
using Engine = db::Dialect::Engine;

namespace {

using enum db::TypeCode;

SearchRow row(const QString &name, db::TypeCode type, const QString &value, const QString &start = {},
              const QString &end = {})
{
    return {name, true, type, value, start, end};
}

const QString kReg = QStringLiteral("select * from reg");
const QString kRegWhere = QStringLiteral("select * from reg where 状态=1 order by 编号");
const SearchRow kRange = row("登记日期", Date, "从 2012-3-5 到 2012-3-7", "2012-3-5", "2012-3-7");
const SearchRow kName = row("姓名", Text, "张");

} // namespace

class TestStatementBuilder : public QObject
{
    Q_OBJECT

private slots:
    void composes_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<bool>("opAnd");
        QTest::addColumn<bool>("substring");
        QTest::addColumn<QList<SearchRow>>("rows");
        QTest::addColumn<QString>("expected"); // the statement sent, or the message shown instead

        const QString worked2 = "select * from reg where 姓名 LIKE '%张%'  or 登记日期  between  ";
        const QString where = "select * from reg where 登记日期  between  ";
        dataRow("worked 1: text and integer with and", kReg, Engine::Jet, true, false,
                QList{row("姓名", Text, "张三"), row("年龄", Integer, "30")},
                "select * from reg where 姓名='张三' and 年龄=30 ");
        dataRow("worked 2: Jet, the order kept", kRegWhere, Engine::Jet, false, true, QList{kName, kRange},
                worked2 + "# 2012-3-5 00:00:00 #  and  # 2012-3-7 23:59:59# order by 编号");
        dataRow("worked 2: SQLite, each text beginning with a day", kRegWhere, Engine::Sqlite, false, true,
                QList{kName, kRange},
                "select * from reg where 姓名 LIKE '%张%'  or substr(登记日期, 1, 10)  between  "
                "'2012-03-05'  and  '2012-03-07' order by 编号");
        dataRow("worked 2: PostgreSQL", kRegWhere, Engine::Postgres, false, true, QList{kName, kRange},
                worked2 + "'2012-03-05 00:00:00'  and  '2012-03-07 23:59:59' order by 编号");
        const QString doctor = "select * from reg where 状态=1 order by doctor ";
        dataRow("worked 3: nothing ticked, sent as stored", doctor, Engine::Jet, false, true,
                QList{SearchRow{"姓名", false, Text, "张", {}, {}}}, doctor);
        dataRow("slashes, blanks around", kReg, Engine::Standard, true, false,
                QList{row("登记日期", Date, " 2012/3/5 ")},
                where + "'2012-03-05 00:00:00'  and  '2012-03-05 23:59:59' ");
        // Worked example 4 first: a typed date is one day.
        for (const char *typed :
             {"2012-3-5", "3/5/2012", "20120305", "2012.3.5", " 2012年3月5日 ", "２０１２－０３－０５"})
            QTest::addRow("date as %s, year-month-day to Jet", typed)
                << kReg << Engine::Jet << true << false << QList{row("登记日期", Date, typed)}
                << where + "# 2012-3-5 00:00:00 #  and  # 2012-3-5 23:59:59# ";
        dataRow("where inside a word, then the keyword; any case, kept as stored",
                "select somewhere, nowhere_x from reg Where a=1 ORDER\nBY 编号", Engine::Jet, true, false, QList{kName},
                "select somewhere, nowhere_x from reg Where 姓名='张' ORDER\nBY 编号");
        dataRow("where and order by quoted", "select 'it''s where', \"where\", [order by] from reg", Engine::Jet, true,
                false, QList{kName}, "select 'it''s where', \"where\", [order by] from reg where 姓名='张' ");
        dataRow("where in comments, the last to the line end", "select a /* where */ from reg -- where", Engine::Jet,
                true, false, QList{kName}, "select a /* where */ from reg -- where\n where 姓名='张' ");
        const QString ranked = "select *, rank() over (order by 编号) from (select * from reg where 状态=1) t ";
        dataRow("where and order by in brackets; no where, the order kept", ranked + "order by 编号", Engine::Jet, true,
                false, QList{kName}, ranked + "where 姓名='张' order by 编号");
        dataRow("substring leaves an integer a number", kReg, Engine::Sqlite, false, true,
                QList{row("年龄", Integer, "30")}, "select * from reg where 年龄=30 ");
        dataRow("quotes doubled, wildcards kept", kReg, Engine::Jet, false, true, QList{row("姓名", Text, "O'N%_")},
                "select * from reg where 姓名 LIKE '%O''N%_%'  ");
        dataRow("exact match keeps blanks and backslash", kReg, Engine::Postgres, false, false,
                QList{row("first name", Text, " a\\b ")}, "select * from reg where first name=' a\\b ' ");
        dataRow("backslash literal in LIKE on PostgreSQL", kReg, Engine::Postgres, false, true,
                QList{row("姓名", Text, "a\\b")}, "select * from reg where 姓名 LIKE '%a\\\\b%'  ");
        dataRow("backslash as typed on SQLite", kReg, Engine::Sqlite, false, true, QList{row("姓名", Text, "a\\b")},
                "select * from reg where 姓名 LIKE '%a\\b%'  ");
        for (const bool substring : {false, true})
            QTest::addRow("backslash refused on an unknown server, substring %d", substring)
                << kReg << Engine::Standard << false << substring << QList{kName, row("备注", Text, "a\\b")}
                << backslashMessage("备注");
        // Refused, naming what it could not read.
        for (const char *bad : {"", "1985-13-45", "2012-3-8# or 1=1 or #2012-3-8", "2012-3-8'", "2012-2-30", "2012-3/5",
                                "12/3/5", "2012035", "2012年3月5", "٢٠١٢-٣-٥"})
            QTest::addRow("no date: '%s'", bad)
                << kReg << Engine::Jet << false << false << QList{kName, row("登记日期", Date, bad)}
                << unreadableDateMessage("登记日期", bad);
        dataRow("bad range end", kReg, Engine::Jet, false, false,
                QList{row("登记日期", Date, "x", "2012-3-5", "2012-3-7'")},
                unreadableDateMessage("登记日期", "2012-3-7'"));
    }

    void composes()
    {
        QFETCH(QString, base);
        QFETCH(Engine, engine);
        QFETCH(bool, opAnd);
        QFETCH(bool, substring);
        QFETCH(QList<SearchRow>, rows);
        const SearchCriteria criteria{base, opAnd ? SearchJoin::And : SearchJoin::Or, substring, rows};
        const ComposedSearch search = composeStatement(criteria, db::Dialect(engine));
        QTEST(search.refusal.isEmpty() ? search.statement : search.refusal, "expected");
    }

    // The number an integer criterion sends for what was typed.
    void readsNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        dataRow("half up to even", "3.5", "4");
        dataRow("small negative", "-0.4", "0");
        dataRow("exponent without digits", "2e", "2");
        dataRow("group separator ends", "1,000", "1");
        dataRow("letters", "abc", "0");
        dataRow("blank after sign", "- 3", "-3");
        dataRow("blanks, tabs and line feeds", "\t4\n2 0 ", "420");
        dataRow("carriage return ends", "4\r2", "4");
        dataRow("second point ends", "1.2.3", "1");
        dataRow("leading point", ".6", "1");
        dataRow("two signs", "--1", "0");
        dataRow("exponent", "1.5E1", "15");
        dataRow("negative exponent, half down to even", "25e-1", "2");
        dataRow("2^63 clamps", "9223372036854775808", "9223372036854775807");
        dataRow("huge negative", "-1e30", "-9223372036854775808");
    }

    void readsNumbers()
    {
        QFETCH(QString, text);
        QTEST(numberText(text), "expected");
    }
};

VESKO_TEST_MAIN(TestStatementBuilder, QCoreApplication)
#include "tst_statementbuilder.moc"
