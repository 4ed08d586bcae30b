#include "core/search/ScrollRanges.h"
#include "core/search/SearchPanelOverflow.h"

#include <QTest>

using namespace vesko;

namespace {

// The viewport as the main window has it: 235 x 232 outside, a 2-pixel
// border on every side.
ScrollInputs viewportWith(float canvasWidth, float canvasHeight)
{
    return {235, 232, 231, 228, canvasWidth, canvasHeight, 16, 19};
}

} // namespace

class TestScrollRanges : public QObject
{
    Q_OBJECT

private slots:
    void fits_data()
    {
        QTest::addColumn<float>("canvasWidth");
        QTest::addColumn<float>("canvasHeight");
        QTest::addColumn<int>("hs1Max");  // -1: hidden, Max left alone
        QTest::addColumn<int>("vs1Max");

        QTest::newRow("exactly as wide, exactly as tall") << 215.0f << 228.0f << -1 << -1;
        QTest::newRow("exactly as wide, taller") << 215.0f << 249.0f << -1 << 21;
        QTest::newRow("one wider, exactly as tall") << 216.0f << 228.0f << 1 << -1;
        QTest::newRow("both bars count each other") << 228.0f << 249.0f << 13 << 40;
        QTest::newRow("half rounds down to even") << 215.0f << 228.5f << -1 << 0;
        QTest::newRow("half rounds up to even") << 215.0f << 229.5f << -1 << 2;
        QTest::newRow("largest ranges") << 231.0f + 32751.0f << 228.0f + 32748.0f << 32767 << 32767;
        QTest::newRow("largest vertical range alone") << 215.0f << 228.0f + 32767.0f << -1 << 32767;
    }

    void fits()
    {
        QFETCH(float, canvasWidth);
        QFETCH(float, canvasHeight);
        QFETCH(int, hs1Max);
        QFETCH(int, vs1Max);

        const ScrollLayout layout = scrollRanges(viewportWith(canvasWidth, canvasHeight));
        QCOMPARE(layout.horizontalBarTop, 209.0f);
        QCOMPARE(layout.horizontalBarWidth, 214.0f);
        QCOMPARE(layout.horizontal.visible, hs1Max >= 0);
        QCOMPARE(layout.horizontal.max, hs1Max >= 0 ? std::optional<qint16>(hs1Max) : std::nullopt);
        QCOMPARE(layout.vertical.visible, vs1Max >= 0);
        QCOMPARE(layout.vertical.max, vs1Max >= 0 ? std::optional<qint16>(vs1Max) : std::nullopt);
    }

    void sixteenBitOverflow_data()
    {
        QTest::addColumn<float>("canvasWidth");
        QTest::addColumn<float>("canvasHeight");

        QTest::newRow("vertical alone") << 215.0f << 228.0f + 32768.0f;
        QTest::newRow("vertical half rounds to 32768") << 215.0f << 228.0f + 32767.5f;
        QTest::newRow("vertical with the horizontal bar") << 228.0f << 228.0f + 32749.0f;
        QTest::newRow("horizontal") << 231.0f + 32752.0f << 100.0f;
    }

    void sixteenBitOverflow()
    {
        QFETCH(float, canvasWidth);
        QFETCH(float, canvasHeight);
        QVERIFY_THROWS_EXCEPTION(SearchPanelOverflow,
                                 scrollRanges(viewportWith(canvasWidth, canvasHeight)));
    }
};

QTEST_GUILESS_MAIN(TestScrollRanges)
#include "tst_scrollranges.moc"
