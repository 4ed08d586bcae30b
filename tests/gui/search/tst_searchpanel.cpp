#include "core/config/Gbk.h"
#include "db/TypeCode.h"
#include "gui/search/SearchBox.h"
#include "gui/search/SearchPanel.h"
#include "support/Desk.h"
#include "support/FileBytes.h"
#include "support/TestRunner.h"

#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>

using namespace vesko;
using namespace vesko::test;

namespace {

// One row of the columns a, b, c, whose names cannot be read from the
// column failAt on, as from a result whose connection went away.
class ColumnsFailingAt : public db::Result
{
public:
    explicit ColumnsFailingAt(int failAt)
        : m_failAt(failAt)
    {
    }
    bool isOpen() const override { return true; }
    int columnCount() const override { return 3; }
    qint64 rowCount() const override { return 0; }
    QString columnName(int column) const override
    {
        if (column >= m_failAt)
            throw db::DbError(QStringLiteral("The connection to the server was lost."));
        return QString(QChar(u'a' + column));
    }
    db::TypeCode columnType(int) const override { return db::TypeCode::Text; }
    int indexOf(const QString &) const override { return -1; }
    bool isNull(qint64, int) const override { return true; }
    std::string_view bytes(qint64, int) const override { return {}; }
    QString text(qint64, int) const override { return {}; }
    qint64 widestRow(int) const override { return -1; }
    qint64 currentRow() const override { return -1; }
    void setCurrentRow(qint64) override { }
    void moveLast() override { }

private:
    int m_failAt;
};

} // namespace

// The panel's widgets on the real window, driven by keys, clicks and the wheel.
class TestSearchPanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<Desk> d;

    template<typename T = QWidget>
    T *child(const QString &name) const
    {
        return d->window->searchPanel()->findChild<T *>(name);
    }
    SearchBox *box(int row) const { return child<SearchBox>(QStringLiteral("t_field_%1").arg(row)); }

    // What the panel shows of its canvas, in the coordinates of its inner area.
    QRect view() const
    {
        const auto *hs1 = child<QScrollBar>("HS1");
        const auto *vs1 = child<QScrollBar>("VS1");
        QRect shown = hs1->parentWidget()->rect();
        if (hs1->isVisible())
            shown.setBottom(hs1->y() - 1);
        if (vs1->isVisible())
            shown.setRight(vs1->x() - 1);
        return shown;
    }

    // A window on one person with columns c0 .. c<n-1>, then the date d and
    // a number also named d, and a pick list for c0.
    void open(int columns)
    {
        d = std::make_unique<Desk>();
        QStringList parts;
        for (int i = 0; i < columns; ++i)
            parts.append(QStringLiteral("1 as c%1").arg(i));
        d->registry.sql({"create table t (d DATETIME)", "insert into t values ('2012-03-05')"});
        d->registry.writeIni(d->registry.connection(), "select " + parts.join(u',') + ", d, 1 as d from t");
        QVERIFY(QDir().mkpath(d->registry.file("set_info/bg_info/field_list")));
        QVERIFY(writeBytes(d->registry.file("set_info/bg_info/field_list/c0.flt"), toGbk("张三\r\n李四\r\n")));
        d->open();
        QCOMPARE(d->messages.texts(), QStringList());
    }

private slots:
    void barsStepAndFollowTheWheelAndTheFocus()
    {
        // 2,000 columns: the canvas is far taller than 16-bit ranges reach.
        open(1998);
        auto *bar = child<QScrollBar>("VS1");
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(8, bar->height() - 4));
        QCOMPARE(bar->value(), 24);
        QTest::keyClick(bar, Qt::Key_PageDown);
        // The view: the panel's inner height less HS1.
        QCOMPARE(bar->value(), 24 + 209);
        bar->setValue(0);
        QWheelEvent wheel({5, 5}, box(1)->mapToGlobal(QPoint(5, 5)), {}, {0, -120}, Qt::NoButton, {}, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(box(1), &wheel);
        QCOMPARE(bar->value(), 24 * QApplication::wheelScrollLines());

        box(1997)->setFocus();
        QTest::keyClick(box(1997), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), box(1998));
        QCOMPARE(box(1998)->palette().color(QPalette::Base), QColor(0, 255, 255));
        QCOMPARE(box(1997)->palette().color(QPalette::Base), QColor(Qt::white));
        const QRect shown(box(1998)->mapTo(d->window->searchPanel(), QPoint()), box(1998)->size());
        QVERIFY(d->window->searchPanel()->contentsRect().contains(shown));
    }

    // The help a focused box offers opens below it, or above it when there
    // is less room below than it needs: for the pick list, room on screen;
    // for the date frame, room on the canvas. The first column of a name
    // gives the type. Enter moves on, and stays in the last box. Esc and
    // clicks beside the help close it, the focus staying in the box; the
    // list keeps its entries unless another control took the click.
    void focusOpensListOrFrame_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("row");          // has a pick list unless a date
        QTest::addColumn<int>("scrolled");     // VS1's value
        QTest::addColumn<int>("canvasHeight"); // 0: as built
        QTest::addColumn<QString>("then");     // a key, or the widget clicked next
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("shown"); // empty: neither
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("focus");
        QTest::addColumn<int>("entries"); // left in the list
        dataRow("list, just room below", 12, 5, 37, 0, "", QPoint(), "ls_list", 146, 5, 2);
        dataRow("list, a pixel short: over the box", 12, 5, 36, 0, "", QPoint(), "ls_list", 36, 5, 2);
        dataRow("list, room above", 12, 8, 93, 0, "", QPoint(), "ls_list", 93, 8, 2);
        dataRow("frame, just room below", 3, 3, 0, 180, "", QPoint(), "fmrq", 98, 3, 0);
        dataRow("frame, a pixel short", 3, 3, 0, 179, "", QPoint(), "fmrq", -8, 3, 0);
        dataRow("second d takes the first's type", 3, 4, 0, 0, "", QPoint(), "fmrq", 122, 4, 0);
        dataRow("Enter moves on", 3, 0, 0, 0, "Enter", QPoint(), "", 0, 1, 0);
        dataRow("Enter in the last box", 3, 4, 0, 0, "Enter", QPoint(), "fmrq", 122, 4, 0);
        dataRow("list, Esc", 3, 0, 0, 0, "Esc", QPoint(), "", 0, 0, 2);
        dataRow("frame, Esc", 3, 3, 0, 0, "Esc", QPoint(), "", 0, 3, 0);
        dataRow("list, window", 3, 0, 0, 0, "w_yu", QPoint(5, 5), "ls_list", 30, 0, 2);
        dataRow("list, option frame", 3, 0, 0, 0, "fm_cx", QPoint(5, 245), "", 0, 0, 0);
        dataRow("list, canvas", 3, 0, 0, 0, "pic_dsgn", QPoint(150, 2), "", 0, 0, 2);
        dataRow("list, HS1's arrow", 3, 0, 0, 0, "HS1", QPoint(206, 9), "", 0, 0, 0);
        dataRow("frame, window", 3, 3, 0, 0, "w_yu", QPoint(5, 5), "", 0, 3, 0);
    }

    void focusOpensListOrFrame()
    {
        QFETCH(int, columns);
        QFETCH(int, row);
        QFETCH(int, scrolled);
        QFETCH(int, canvasHeight);
        QFETCH(QString, then);
        QFETCH(QPoint, at);
        QFETCH(QString, shown);
        QFETCH(int, focus);
        open(columns);
        QVERIFY(
            writeBytes(d->registry.file(QStringLiteral("set_info/bg_info/field_list/c%1.flt").arg(row)), "1\r\n2\r\n"));
        child<QScrollBar>("VS1")->setValue(scrolled);
        if (canvasHeight)
            child("pic_dsgn")->resize(child("pic_dsgn")->width(), canvasHeight);
        QTest::mouseClick(box(row), Qt::LeftButton);
        if (then == u"Enter" || then == u"Esc")
            QTest::keyClick(box(row), then == u"Enter" ? Qt::Key_Return : Qt::Key_Escape);
        else if (!then.isEmpty())
            QTest::mouseClick(then == u"w_yu" ? d->window.get() : d->window->findChild<QWidget *>(then), Qt::LeftButton,
                              {}, at);
        QCOMPARE(child("ls_list")->isVisible(), shown == "ls_list");
        QCOMPARE(child("fmrq")->isVisible(), shown == "fmrq");
        if (!shown.isEmpty())
            QTEST(child(shown)->y(), "top");
        QTEST(int(child<QListWidget>("ls_list")->count()), "entries");
        QCOMPARE(QApplication::focusWidget(), box(focus));
    }

    // A rebuild replaces the rows after row 0, keeps row 0's tick, empties
    // its box, sets the tab order along the rows and returns the canvas to
    // its top. One that fails keeps the rows made so far, the bars as they were.
    void rebuilds_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<QStringList>("captions"); // empty for a row made but not shown
        dataRow("narrower", 3, QStringList{"a", "b", "c"});
        dataRow("fails at the third name", 2, QStringList{"a", "b", ""});
    }

    void rebuilds()
    {
        QFETCH(int, failAt);
        QFETCH(QStringList, captions);
        open(12);
        SearchPanel *panel = d->window->searchPanel();
        child<QCheckBox>("c_field_0")->setChecked(true);
        QTest::keyClicks(box(0), "x");
        auto *bar = child<QScrollBar>("VS1");
        bar->setValue(40); // scrolling empties the open pick list
        QCOMPARE(child<QListWidget>("ls_list")->count(), 0);
        try {
            panel->rebuild(ColumnsFailingAt(failAt));
        } catch (const db::DbError &) {
            QVERIFY(failAt < 3);
        }
        QCOMPARE(panel->findChildren<QCheckBox *>().size(), captions.size());
        QCOMPARE(panel->findChildren<SearchBox *>().size(), captions.size());
        QVERIFY(child<QCheckBox>("c_field_0")->isChecked());
        QVERIFY(box(0)->text().isEmpty());
        for (int i = 0; i < captions.size(); ++i) {
            auto *check = child<QCheckBox>(QStringLiteral("c_field_%1").arg(i));
            QCOMPARE(check->text(), captions.at(i));
            QCOMPARE(check->isVisible(), !captions.at(i).isEmpty());
            QCOMPARE(check->nextInFocusChain(), box(i));
            if (i > 0)
                QCOMPARE(box(i - 1)->nextInFocusChain(), check);
        }
        QCOMPARE(bar->value(), failAt < 3 ? 40 : 0);
        QCOMPARE(child("pic_dsgn")->y(), -bar->value());
    }

    // The list lies whole in what the panel shows, and every opening starts
    // at its first entry. Down, Down, Enter takes the second entry, Down, End,
    // Enter the last, a double-click the first; Tab on to the next row's check
    // box closes the list that would cover it.
    void pickList_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("entries");
        dataRow("ten, the canvas short under the box", 8, 4, 10);
        dataRow("two, the view short under the box", 19, 7, 2);
        dataRow("thirty, by a box scrolled into view", 19, 15, 30);
    }

    void pickList()
    {
        QFETCH(int, columns);
        QFETCH(int, row);
        QFETCH(int, entries);
        open(columns);
        QString lines;
        for (int i = 1; i <= entries; ++i)
            lines += QStringLiteral("科室%1\r\n").arg(i);
        QVERIFY(
            writeBytes(d->registry.file(QStringLiteral("set_info/bg_info/field_list/c%1.flt").arg(row)), toGbk(lines)));
        auto *list = child<QListWidget>("ls_list");
        for (const int taken : {2, entries, 1}) {
            QTest::mouseClick(box(row), Qt::LeftButton);
            QVERIFY(list->isVisible());
            QVERIFY(view().contains(QRect(list->mapTo(list->parentWidget()->parentWidget(), QPoint()), list->size())));
            QCOMPARE(list->indexAt(QPoint(1, 1)).row(), 0);
            if (taken == 1) {
                const QPoint first = list->visualItemRect(list->item(0)).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
            } else {
                QTest::keyClick(box(row), Qt::Key_Down);
                QTest::keyClick(list, taken == 2 ? Qt::Key_Down : Qt::Key_End);
                QTest::keyClick(list, Qt::Key_Return);
            }
            QCOMPARE(box(row)->text(), QStringLiteral("科室%1").arg(taken));
            QVERIFY(!list->isVisible());
            QCOMPARE(QApplication::focusWidget(), box(row));
        }
        QTest::mouseClick(box(row), Qt::LeftButton);
        QVERIFY(list->isVisible());
        QTest::keyClick(box(row), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child(QStringLiteral("c_field_%1").arg(row + 1)));
        QVERIFY(!list->isVisible());
    }

    void dateFrameKeysTypingAndClear()
    {
        open(3);
        auto *frame = child("fmrq");
        QTest::mouseClick(box(3), Qt::LeftButton);
        QTest::mouseClick(child("Command2"), Qt::LeftButton);
        QCOMPARE(box(3)->text(), QStringLiteral("从 2026-12-6 到 2026-12-6"));

        // 清空 keeps the range, its end the tooltip, and the options. Far
        // right of the box, past its short caption.
        QTest::mouseClick(child("c_field_0"), Qt::LeftButton, {}, QPoint(92, 10));
        QTest::keyClicks(box(0), "x");
        QTest::mouseClick(child("c_field_3"), Qt::LeftButton, {}, QPoint(92, 10));
        d->click("op_and");
        d->click("ck_mohu");
        d->click("exbt_clear");
        QVERIFY(!child<QCheckBox>("c_field_0")->isChecked() && !child<QCheckBox>("c_field_3")->isChecked());
        QVERIFY(box(0)->text().isEmpty() && box(3)->text().isEmpty());
        QCOMPARE(QStringList({box(3)->rangeStart(), box(3)->toolTip()}), QStringList(2, QStringLiteral("2026-12-6")));
        for (const char *option : {"op_and", "ck_mohu"})
            QVERIFY2(d->window->findChild<QAbstractButton *>(option)->isChecked(), option);
        QCOMPARE(QApplication::focusWidget(), box(3));

        QTest::mouseClick(box(2), Qt::LeftButton);
        QTest::mouseClick(box(3), Qt::LeftButton);
        QVERIFY(frame->isVisible());
        QTest::keyClicks(box(3), "7");
        QVERIFY(!frame->isVisible());
    }
};

VESKO_TEST_MAIN(TestSearchPanel, QApplication)
#include "tst_searchpanel.moc"
