#include "core/grid/ResultTableModel.h"
#include "db/Connection.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace vesko;

class TestResultTableModel : public QObject
{
    Q_OBJECT

private slots:
    void sortsByValueAndShowsTheHeadOfLongCells_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QList<qint64>>("rows"); // the result rows from the top
        QTest::newRow("numbers, not their text") << 0 << Qt::AscendingOrder << QList<qint64>{2, 3, 1, 4, 0};
        QTest::newRow("descending keeps ties in order") << 0 << Qt::DescendingOrder << QList<qint64>{0, 1, 4, 3, 2};
        QTest::newRow("dates, not their text") << 1 << Qt::AscendingOrder << QList<qint64>{2, 1, 3, 0, 4};
        QTest::newRow("text by character") << 2 << Qt::AscendingOrder << QList<qint64>{2, 3, 4, 0, 1};
    }

    void sortsByValueAndShowsTheHeadOfLongCells()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QList<qint64>, rows);
        test::TestRegistry registry;
        registry.sql({"create table t (n INTEGER, d DATETIME, s TEXT)",
                      "insert into t values (10, '2012-10-01', '乙'), (9, '2012-09-30', '甲'), (null, null, null),"
                      " (-1, '2012-09-30 08:00:00', 'a'), (9, '2012-11-01', '丙')"});
        ResultTableModel model;
        model.setResult(db::Connection::open(registry.connection(), registry.path())->execute("select *, replace(hex(zeroblob(6000)), '00', '汉') from t"));
        QPersistentModelIndex selected = model.index(3, 1);
        model.sort(column, order);
        QList<qint64> shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown.append(model.resultRow(row));
        QCOMPARE(shown, rows);
        QCOMPARE(model.resultRow(selected.row()), 3);
        QCOMPARE(model.index(0, 3).data().toString(), QString(ResultTableModel::kShownLength, u'汉'));
        QCOMPARE(model.fullText(model.index(0, 3)), QString(6000, u'汉'));
    }
};

QTEST_GUILESS_MAIN(TestResultTableModel)
#include "tst_resulttablemodel.moc"
