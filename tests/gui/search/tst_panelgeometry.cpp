#include "gui/search/PanelGeometry.h"
#include "gui/search/ScrollRanges.h"
#include "support/TestRunner.h"

#include <QTest>

using namespace vesko;
using vesko::test::dataRow;

// The rows' places and the scroll bars fitted to the canvas they make.
class TestPanelGeometry : public QObject
{
    Q_OBJECT

private slots:
    void laysOut_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<float>("canvasBefore");
        QTest::addColumn<float>("canvasAfter");

        dataRow("no columns keeps row 0", 0, 225.0f, 225.0f);
        dataRow("three after twenty: never shrinks", 3, 489.0f, 489.0f);
        dataRow("bottom + 5 equal to the height grows", 10, 246.0f, 270.0f);
        dataRow("bottom + 5 just under the height", 10, 246.5f, 246.5f);
        dataRow("40,000 columns", 40000, 225.0f, 33.0f + 24.0f * 39999.0f);
    }

    void laysOut()
    {
        QFETCH(int, columns);
        QFETCH(float, canvasBefore);
        const PanelGeometry g = panelGeometry(columns, canvasBefore);
        QCOMPARE(g.rows.size(), qMax(columns, 1));
        QTEST(g.canvasHeight, "canvasAfter");
        for (int i = 0; i < g.rows.size(); ++i) {
            const PanelRowGeometry &r = g.rows.at(i);
            const float top = 6.0f + 24.0f * float(i);
            QCOMPARE(QList<float>({r.checkLeft, r.checkTop, r.checkWidth, r.checkHeight, r.boxLeft, r.boxTop}),
                     QList<float>({0, top, 97, 19, 99, i == 0 ? 6.0f : top - 4.0f}));
        }
    }

    void fitsBars_data()
    {
        QTest::addColumn<float>("canvasWidth");
        QTest::addColumn<float>("canvasHeight");
        QTest::addColumn<int>("hs1Max"); // -1: hidden, Max left alone
        QTest::addColumn<int>("vs1Max");

        dataRow("exactly as wide, exactly as tall", 215.0f, 228.0f, -1, -1);
        dataRow("exactly as wide, taller", 215.0f, 249.0f, -1, 21);
        dataRow("one wider, exactly as tall", 216.0f, 228.0f, 1, -1);
        dataRow("both bars count each other", 228.0f, 249.0f, 13, 40);
        dataRow("half rounds up to even", 215.0f, 229.5f, -1, 2);
        dataRow("half rounds down to even", 215.0f, 228.5f, -1, 0);
        dataRow("beyond 16 bits", 231.0f + 40000.0f, 228.0f + 50000.0f, 40016, 50019);
    }

    void fitsBars()
    {
        QFETCH(float, canvasWidth);
        QFETCH(float, canvasHeight);
        // The viewport as the main window has it: 235 x 232 outside, a 2-pixel border.
        const ScrollLayout layout = scrollRanges({235, 232, 231, 228, canvasWidth, canvasHeight, 16, 19});
        QCOMPARE(layout.horizontalBarTop, 209.0f);
        QCOMPARE(layout.horizontalBarWidth, 214.0f);
        QTEST(layout.horizontal.visible ? *layout.horizontal.max : -1, "hs1Max");
        QTEST(layout.vertical.visible ? *layout.vertical.max : -1, "vs1Max");
    }
};

VESKO_TEST_MAIN(TestPanelGeometry, QCoreApplication)
#include "tst_panelgeometry.moc"
