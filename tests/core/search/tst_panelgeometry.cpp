#include "core/search/PanelGeometry.h"
#include "core/search/SearchPanelOverflow.h"

#include <QTest>

using namespace vesko;

class TestPanelGeometry : public QObject
{
    Q_OBJECT

private slots:
    void lays_out_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<float>("canvasBefore");
        QTest::addColumn<int>("rows");
        QTest::addColumn<float>("canvasAfter");

        QTest::newRow("no columns keeps row 0") << 0 << 225.0f << 1 << 225.0f;
        QTest::newRow("one column") << 1 << 225.0f << 1 << 225.0f;
        QTest::newRow("nine rows fit") << 9 << 225.0f << 9 << 225.0f;
        QTest::newRow("ten columns grow once") << 10 << 225.0f << 10 << 249.0f;
        QTest::newRow("twenty columns") << 20 << 225.0f << 20 << 489.0f;
        QTest::newRow("three after twenty: never shrinks") << 3 << 489.0f << 3 << 489.0f;
        QTest::newRow("twenty on a grown canvas") << 20 << 489.0f << 20 << 489.0f;
        QTest::newRow("one more grows by a pitch") << 21 << 489.0f << 21 << 513.0f;
        QTest::newRow("bottom + 5 equal to the height grows") << 10 << 246.0f << 10 << 270.0f;
        QTest::newRow("bottom + 5 just under the height") << 10 << 246.5f << 10 << 246.5f;
    }

    void lays_out()
    {
        QFETCH(int, columns);
        QFETCH(float, canvasBefore);
        QFETCH(int, rows);
        QFETCH(float, canvasAfter);

        const PanelGeometry g = panelGeometry(columns, canvasBefore);
        QCOMPARE(g.rows.size(), rows);
        QCOMPARE(g.canvasHeight, canvasAfter);
        for (int i = 0; i < rows; ++i) {
            const PanelRowGeometry &r = g.rows.at(i);
            const float top = 6.0f + 24.0f * float(i);
            QCOMPARE(r.checkLeft, 0.0f);
            QCOMPARE(r.checkTop, top);
            QCOMPARE(r.checkWidth, 97.0f);
            QCOMPARE(r.checkHeight, 19.0f);
            QCOMPARE(r.boxLeft, 99.0f);
            QCOMPARE(r.boxTop, i == 0 ? 6.0f : top - 4.0f);
        }
    }

    void sixteenBitRowIndexLimit()
    {
        const PanelGeometry g = panelGeometry(32767, 225.0f);
        QCOMPARE(g.rows.size(), 32767);
        QCOMPARE(g.canvasHeight, 33.0f + 24.0f * 32766.0f);
        QVERIFY_THROWS_EXCEPTION(SearchPanelOverflow, panelGeometry(32768, 225.0f));
    }
};

QTEST_GUILESS_MAIN(TestPanelGeometry)
#include "tst_panelgeometry.moc"
