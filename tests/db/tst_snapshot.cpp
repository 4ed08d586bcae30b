#include "db/Snapshot.h"
#include "db/TypeCode.h"
#include "support/TestRunner.h"

#include <QTest>

using namespace vesko::db;
using vesko::test::dataRow;

class TestSnapshot : public QObject
{
    Q_OBJECT

private slots:
    // Cells of every size, across block and chunk boundaries, come back as
    // they went in; each column knows the row of its longest value. The
    // current row starts at the first and moves within the rows only.
    void cellsComeBackExactly()
    {
        const auto cellOf = [](int row) {
            if (row % 997 == 5)
                return std::string(300000 + row, char('a' + row % 26)); // larger than a chunk
            if (row % 101 == 7)
                return std::string(255 + row % 3, 'x'); // around the one-byte length limit
            return "行" + std::to_string(row);
        };
        Snapshot snapshot({{"a", TypeCode::Text}, {"b", TypeCode::Text}});
        for (int row = 0; row < 20000; ++row) {
            const std::string cell = cellOf(row);
            snapshot.cells(0).append(cell.data(), cell.size());
            if (row % 3 == 0)
                snapshot.cells(1).appendNull();
            else
                snapshot.cells(1).append("", 0);
        }
        snapshot.finish();
        QCOMPARE(snapshot.rowCount(), 20000);
        QCOMPARE(QList<qint64>({snapshot.widestRow(0), snapshot.widestRow(1)}), QList<qint64>({997 * 20 + 5, -1}));
        for (int row = 0; row < 20000; ++row) {
            QVERIFY2(snapshot.bytes(row, 0) == cellOf(row), qPrintable(QString::number(row)));
            QCOMPARE(snapshot.isNull(row, 1), row % 3 == 0);
        }
        QCOMPARE(snapshot.currentRow(), 0);
        QVERIFY_THROWS_EXCEPTION(DbError, snapshot.setCurrentRow(20000));
        QVERIFY_THROWS_EXCEPTION(DbError, snapshot.text(0, 2));
        snapshot.moveLast();
        QCOMPARE(snapshot.currentRow(), 19999);
        // An empty result has no last row; one that is not open has no rows.
        QVERIFY_THROWS_EXCEPTION(DbError, Snapshot({{"n", TypeCode::Integer}}).moveLast());
        QVERIFY_THROWS_EXCEPTION(DbError, Snapshot().rowCount());
    }

    // A cell's text: a date column's plain dates, date-times and midnight
    // as read from every engine in the short form; any other column as stored.
    void text_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("text");
        dataRow("ISO T", int(TypeCode::Date), QByteArray("2012-03-05T10:30:00"), "2012/3/5 10:30:00");
        dataRow("no seconds", int(TypeCode::Date), QByteArray("2012-03-05 10:30"), "2012/3/5 10:30:00");
        dataRow("fraction dropped", int(TypeCode::Date), QByteArray("2012-03-05 10:00:00.250"), "2012/3/5 10:00:00");
        dataRow("zone dropped", int(TypeCode::Date), QByteArray("2012-03-05 10:00:00+08"), "2012/3/5 10:00:00");
        dataRow("slashes", int(TypeCode::Date), QByteArray("2012/3/5"), "2012/3/5");
        dataRow("not a date stays", int(TypeCode::Date), QByteArray("明天"), "明天");
        dataRow("impossible date stays", int(TypeCode::Date), QByteArray("2012-02-30"), "2012-02-30");
        dataRow("a text column is never a date", int(TypeCode::Text), QByteArray("2012-03-05 10:30:00"),
                "2012-03-05 10:30:00");
    }

    void text()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, stored);
        Snapshot snapshot({{"c", TypeCode(type)}});
        snapshot.cells(0).append(stored.constData(), std::size_t(stored.size()));
        snapshot.finish();
        QTEST(snapshot.text(0, 0), "text");
    }
};

VESKO_TEST_MAIN(TestSnapshot, QCoreApplication)
#include "tst_snapshot.moc"
