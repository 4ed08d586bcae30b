#include "core/grid/ResultTableModel.h"
#include "db/Connection.h"
#include "support/TestRegistry.h"
#include "support/TestRunner.h"

#include <QTest>

using namespace vesko;
using vesko::test::dataRow;

class TestResultTableModel : public QObject
{
    Q_OBJECT

private slots:
    void sortsByValueAndShowsTheHeadOfLongCells_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QList<qint64>>("rows"); // the result rows from the top
        dataRow("numbers, not their text", 0, Qt::AscendingOrder, QList<qint64>{2, 3, 1, 4, 0});
        dataRow("descending keeps ties in order", 0, Qt::DescendingOrder, QList<qint64>{0, 1, 4, 3, 2});
        dataRow("dates, not their text", 1, Qt::AscendingOrder, QList<qint64>{2, 1, 3, 0, 4});
        dataRow("text by pinyin, Latin after Han", 2, Qt::AscendingOrder, QList<qint64>{2, 4, 0, 1, 3});
        dataRow("Latin by letter before case", 3, Qt::AscendingOrder, QList<qint64>{2, 4, 3, 0, 1});
        dataRow("long text by its end", 4, Qt::AscendingOrder, QList<qint64>{2, 4, 0, 1, 3});
    }

    void sortsByValueAndShowsTheHeadOfLongCells()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        test::TestRegistry registry;
        registry.sql(
            {"create table t (n INTEGER, d DATETIME, s TEXT, e TEXT)",
             "insert into t values (10, '2012-10-01', '李四', 'b'), (9, '2012-09-30', '张三', 'B'),"
             " (null, null, null, null), (-1, '2012-09-30 08:00:00', 'a', 'A'), (9, '2012-11-01', '何一诺', 'a')"});
        ResultTableModel model;
        model.setResult(db::Connection::open(registry.connection(), registry.path())
                            ->execute("select *, replace(hex(zeroblob(6000)), '00', '汉') || s, char(0) from t"));
        QPersistentModelIndex selected = model.index(3, 1);
        model.sort(column, order);
        QList<qint64> shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown.append(model.resultRow(row));
        QTEST(shown, "rows");
        QCOMPARE(model.resultRow(selected.row()), 3);
        QCOMPARE(model.index(model.viewRow(0), 4).data().toString(), QString(ResultTableModel::kShownLength, u'汉'));
        QCOMPARE(model.fullText(model.index(model.viewRow(0), 4)), QString(6000, u'汉') + "李四");
        // A short cell: its control characters visible, and whole in the full text.
        QCOMPARE(model.index(0, 5).data().toString(), QStringLiteral("\u2400"));
        QCOMPARE(model.fullText(model.index(0, 5)), QString(QChar(0)));
    }

    // What would reorder the text or vanish shows as a mark of its own.
    void showsControlCharactersVisibly_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        dataRow("bidi override", QStringLiteral("bidi:\u202Egnp.exe"), QStringLiteral("bidi:<U+202E>gnp.exe"));
        dataRow("isolate and mark", QStringLiteral("\u2067x\u2069\u200F"), QStringLiteral("<U+2067>x<U+2069><U+200F>"));
        dataRow("NUL, ESC, DEL, a tab kept", QString("a") + QChar(0) + "b\x1b\x7f\tc",
                QStringLiteral("a\u2400b\u241B\u2421\tc"));
        dataRow("letters of either direction", QStringLiteral("张三 سلام"), QStringLiteral("张三 سلام"));
    }

    void showsControlCharactersVisibly()
    {
        QFETCH(QString, stored);
        QTEST(ResultTableModel::visible(stored), "shown");
    }
};

VESKO_TEST_MAIN(TestResultTableModel, QCoreApplication)
#include "tst_resulttablemodel.moc"
