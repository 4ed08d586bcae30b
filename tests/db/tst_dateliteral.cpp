#include "db/DateLiteral.h"
#include "db/DbError.h"

#include <QTest>

using vesko::db::DbError;
using vesko::db::rewriteDateLiterals;

class TestDateLiteral : public QObject
{
    Q_OBJECT

private slots:
    void rewrite_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("rewritten"); // null: the statement is refused
        const QString refused;

        QTest::newRow("search range as composed")
            << "select * from reg where 姓名 LIKE '%张%'  or 登记日期  between  # 2012-3-5 01:01:01 #  and  # 2012-3-7 23:59:01# "
            << "select * from reg where 姓名 LIKE '%张%'  or 登记日期  between  '2012-03-05 01:01:01'  and  '2012-03-07 23:59:01' ";
        QTest::newRow("date only") << "d = #2012/12/31#" << "d = '2012-12-31'";
        QTest::newRow("hours and minutes") << "d < #2012-3-5 9:05#" << "d < '2012-03-05 09:05:00'";
        QTest::newRow("no literal") << "select 1" << "select 1";
        QTest::newRow("inside a string") << "select '#1#' || x from t where d > #2012-1-1#"
                                         << "select '#1#' || x from t where d > '2012-01-01'";
        QTest::newRow("doubled quote in a string") << "where a = 'it''s #x#' and d = #2012-1-2#"
                                                   << "where a = 'it''s #x#' and d = '2012-01-02'";
        QTest::newRow("quoted names") << "select \"a#b\", [c#d], `e#f` from t"
                                      << "select \"a#b\", [c#d], `e#f` from t";
        QTest::newRow("lone #") << "select 5 # 3" << "select 5 # 3";
        QTest::newRow("leap day") << "#2012-2-29#" << "'2012-02-29'";
        QTest::newRow("empty date of an unfilled box") << "d  between  #  01:01:01 #  and  #  23:59:01#" << refused;
        QTest::newRow("not a date") << "select 5 # 3 # 1" << refused;
        QTest::newRow("month 13") << "d = #2012-13-1#" << refused;
        QTest::newRow("30 February") << "d = #2012-2-30#" << refused;
        QTest::newRow("hour 24") << "d = #2012-2-3 24:00:00#" << refused;
        QTest::newRow("day first") << "d = #5/3/2012#" << refused;
        QTest::newRow("mixed separators") << "d = #2012-3/5#" << refused;
        QTest::newRow("text after the time") << "d = #2012-3-5 10:00:00 pm#" << refused;
    }

    void rewrite()
    {
        QFETCH(QString, statement);
        QFETCH(QString, rewritten);
        if (rewritten.isNull())
            QVERIFY_THROWS_EXCEPTION(DbError, rewriteDateLiterals(statement));
        else
            QCOMPARE(rewriteDateLiterals(statement), rewritten);
    }
};

QTEST_GUILESS_MAIN(TestDateLiteral)
#include "tst_dateliteral.moc"
