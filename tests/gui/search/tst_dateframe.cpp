#include "gui/search/DateFrame.h"
#include "support/Desk.h"
#include "support/TestRunner.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace vesko;
using namespace vesko::test;

class TestDateFrame : public QObject
{
    Q_OBJECT

private slots:
    // Years from 1900 to ten years ahead, the list open at this year; any
    // year may be typed. Every list shows its entries whole, twelve at most.
    void lists_data()
    {
        QTest::addColumn<QDate>("today");
        dataRow("2026", QDate(2026, 12, 6));
        dataRow("2031", QDate(2031, 1, 1));
    }

    void lists()
    {
        QFETCH(QDate, today);
        MessageRecorder messages;
        const FixedClock clock(today);
        QWidget canvas;
        auto *frame = new DateFrame(messages, clock, &canvas);
        canvas.show();
        frame->show();
        frame->setDate(today);
        for (const char *name : {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6"}) {
            QAbstractItemView *list = frame->findChild<QComboBox *>(name)->view();
            frame->findChild<QComboBox *>(name)->showPopup();
            QTRY_VERIFY(list->isVisible());
            QVERIFY2(list->viewport()->width() >= list->sizeHintForColumn(0), name);
            QVERIFY2(list->viewport()->height() / list->sizeHintForRow(0) <= 12, name);
            QVERIFY2(list->viewport()->rect().contains(list->visualRect(list->currentIndex())), name);
            frame->findChild<QComboBox *>(name)->hidePopup();
        }
        for (const char *name : {"Combo1", "Combo4"}) {
            auto *years = frame->findChild<QComboBox *>(name);
            QCOMPARE(years->count(), today.year() + 10 - 1900 + 1);
            QCOMPARE(years->itemText(0), "1900");
            QCOMPARE(years->itemText(years->count() - 1), QString::number(today.year() + 10));
            QCOMPARE(years->currentText(), QString::number(today.year()));
            years->lineEdit()->selectAll();
            QTest::keyClicks(years->lineEdit(), "1850");
            QCOMPARE(years->currentText(), "1850");
        }
    }
};

VESKO_TEST_MAIN(TestDateFrame, QApplication)
#include "tst_dateframe.moc"
