#include "db/Connection.h"
#include "db/TypeCode.h"
#include "gui/search/DateFrame.h"
#include "gui/search/FieldCheckBox.h"
#include "gui/search/SearchBox.h"
#include "gui/search/SearchPanel.h"
#include "core/search/SearchPanelOverflow.h"
#include "support/MessageRecorder.h"
#include "support/TestRegistry.h"
#include "core/platform/Clock.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTest>

#include <memory>

using namespace vesko;

namespace {

class FixedClock : public Clock
{
public:
    QDate today() const override { return {2012, 3, 5}; }
};

// An open result of given column names, for shapes SQLite cannot give: no
// columns at all, or a name that fails to read.
class NamedColumns : public db::Result
{
public:
    explicit NamedColumns(QStringList names, int failingColumn = -1)
        : m_names(std::move(names)), m_failingColumn(failingColumn)
    {
    }

    bool isOpen() const override { return true; }
    int columnCount() const override { return int(m_names.size()); }
    qint64 rowCount() const override { return 0; }
    QString columnName(int column) const override
    {
        if (column == m_failingColumn)
            throw db::DbError(QStringLiteral("name unreadable"));
        return m_names.at(column);
    }
    int columnType(int) const override { return db::TypeText; }
    int indexOf(const QString &name) const override { return int(m_names.indexOf(name)); }
    bool isNull(qint64, int) const override { return true; }
    std::string_view bytes(qint64, int) const override { return {}; }
    QString text(qint64, int) const override { return {}; }
    qint64 currentRow() const override { return -1; }
    void setCurrentRow(qint64) override { throw db::DbError(QStringLiteral("no rows")); }
    void moveLast() override { throw db::DbError(QStringLiteral("no rows")); }

private:
    QStringList m_names;
    int m_failingColumn;
};

const QColor kCyan(0, 255, 255);
const QColor kWhite(Qt::white);

QColor background(const QWidget *box)
{
    return box->palette().color(QPalette::Base);
}

// prefix0 .. prefix<n-1>
QStringList numbered(int n, const QString &prefix = QStringLiteral("c"))
{
    QStringList names;
    for (int i = 0; i < n; ++i)
        names.append(prefix + QString::number(i));
    return names;
}

} // namespace

class TestSearchPanel : public QObject
{
    Q_OBJECT

    test::TestRegistry m_registry;
    db::ConnectionPtr m_connection;
    test::MessageRecorder m_messages;
    FixedClock m_clock;
    std::unique_ptr<QWidget> m_window;
    SearchPanel *m_panel = nullptr;
    db::ResultPtr m_result;

    QString listFolder() const { return m_registry.file(QStringLiteral("set_info/bg_info/field_list")); }
    db::ResultPtr select(const QString &statement) { return m_connection->execute(statement); }
    // "select 1 as "name", ..." for every name.
    db::ResultPtr columns(const QStringList &names)
    {
        QStringList parts;
        for (QString name : names)
            parts.append(QStringLiteral("1 as \"%1\"").arg(name.replace(u'"', QStringLiteral("\"\""))));
        return select(QStringLiteral("select ") + parts.join(QStringLiteral(", ")));
    }
    void build(const db::ResultPtr &rs)
    {
        m_result = rs;
        m_panel->rebuildSearchPanel(*rs);
    }
    void writeList(const QString &file, const QByteArray &bytes)
    {
        const QString path = listFolder() + u'/' + file;
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    void focusBox(int row) { QTest::mouseClick(m_panel->t_field(row), Qt::LeftButton, {}, QPoint(5, 5)); }

private slots:
    void initTestCase()
    {
        m_registry.sql({QStringLiteral("create table people (姓名 VARCHAR(20), 年龄 INTEGER, 生日 DATE,"
                                       " 登记时间 NUMERIC, 备注 TEXT)"),
                        QStringLiteral("insert into people values ('张三', 30, '1982-01-02',"
                                       " '2012-03-05 10:00:00', '')")});
        m_connection = db::Connection::open(m_registry.connection(), m_registry.path());
    }

    void init()
    {
        QVERIFY(QDir().mkpath(listFolder()));
        m_window = std::make_unique<QWidget>();
        m_window->resize(300, 300);
        m_panel = new SearchPanel(ProgramDirectory(m_registry.path()), m_messages, m_clock,
                                  m_window.get());
        m_panel->setResultSource([this] { return m_result; });
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_messages.clear();
    }

    void cleanup()
    {
        m_window.reset();
        m_result.reset();
        QVERIFY(QDir(m_registry.file(QStringLiteral("set_info"))).removeRecursively());
    }

    void rowZeroStays()
    {
        m_panel->rebuildSearchPanel(NamedColumns({}));
        QCOMPARE(m_panel->c_field(0)->text(), QStringLiteral("字段"));
        QCOMPARE(m_panel->builtTypeCode(0), -1);

        // No columns after twelve: row 0 keeps its caption, loses its text,
        // and the canvas returns to the top.
        build(columns(numbered(12)));
        m_panel->VS1()->setValue(30);
        m_panel->t_field(0)->setText(QStringLiteral("x"));
        m_panel->rebuildSearchPanel(NamedColumns({}));
        QCOMPARE(m_panel->rowCount(), 1);
        QCOMPARE(m_panel->c_field(0)->text(), QStringLiteral("c0"));
        QVERIFY(m_panel->t_field(0)->text().isEmpty());
        QCOMPARE(m_panel->VS1()->value(), 0);
        QCOMPARE(m_panel->pic_dsgn()->y(), 0);
    }

    void build_data()
    {
        QTest::addColumn<int>("before"); // columns of an earlier build, row 0 ticked
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("canvasHeight");
        QTest::newRow("one") << 0 << numbered(1) << 225;
        QTest::newRow("nine") << 0 << numbered(9) << 225;
        QTest::newRow("ten") << 0 << numbered(10) << 249;
        QTest::newRow("twenty") << 0 << numbered(20) << 489;
        // The canvas does not shrink.
        QTest::newRow("twenty then three") << 20 << numbered(3) << 489;
        QTest::newRow("any characters")
            << 0 << QStringList{"", " 前后 ", "a&b", "q\"t", "../x/y"} << 225;
    }

    void build()
    {
        QFETCH(int, before);
        QFETCH(QStringList, names);
        if (before > 0) {
            build(columns(numbered(before, QStringLiteral("p"))));
            m_panel->c_field(0)->setChecked(true);
            m_panel->t_field(0)->setText(QStringLiteral("x"));
        }
        build(columns(names));

        const int count = int(names.size());
        QCOMPARE(m_panel->rowCount(), count);
        QTEST(m_panel->pic_dsgn()->height(), "canvasHeight");
        QCOMPARE(m_panel->pic_dsgn()->findChildren<SearchBox *>().size(), count);
        QCOMPARE(m_panel->pic_dsgn()->findChildren<FieldCheckBox *>().size(), count);
        for (int i = 0; i < count; ++i) {
            QCheckBox *check = m_panel->c_field(i);
            SearchBox *box = m_panel->t_field(i);
            QCOMPARE(check->text(), names.at(i));
            QCOMPARE(check->objectName(), QStringLiteral("c_field_%1").arg(i));
            QCOMPARE(box->objectName(), QStringLiteral("t_field_%1").arg(i));
            QCOMPARE(check->geometry(), QRect(0, 6 + 24 * i, 97, 19));
            QCOMPARE(box->geometry(), QRect(99, i == 0 ? 6 : 2 + 24 * i, 115, 23));
            QVERIFY(check->isVisible() && box->isVisible());
            QCOMPARE(check->isChecked(), i == 0 && before > 0);
            QVERIFY(box->text().isEmpty() && box->tag().isEmpty() && box->toolTip().isEmpty());
            QCOMPARE(m_panel->builtTypeCode(i), int(db::TypeInteger));
            if (i + 1 < count) {
                QCOMPARE(check->nextInFocusChain(), box);
                QCOMPARE(box->nextInFocusChain(), m_panel->c_field(i + 1));
            }
        }
    }

    void failedBuildKeepsRowsMadeSoFar()
    {
        build(columns(numbered(12)));
        m_panel->VS1()->setValue(30);
        QVERIFY_THROWS_EXCEPTION(db::DbError,
                                 m_panel->rebuildSearchPanel(NamedColumns({"a", "b", "c", "d", "e"}, 3)));
        QCOMPARE(m_panel->rowCount(), 4);
        QCOMPARE(m_panel->c_field(2)->text(), QStringLiteral("c"));
        QVERIFY(!m_panel->c_field(3)->isVisible());
        QCOMPARE(m_panel->VS1()->value(), 30);

        // 1,400 rows make a canvas more than 32767 pixels beyond the viewport.
        QVERIFY_THROWS_EXCEPTION(SearchPanelOverflow,
                                 m_panel->rebuildSearchPanel(NamedColumns(numbered(1400))));
        QCOMPARE(m_panel->rowCount(), 1400);
        QCOMPARE(m_panel->pic_dsgn()->height(), 33 + 24 * 1399);
    }

    void barsAtTheBoundaries_data()
    {
        // The viewport's inner size is 231 x 228; VS1 is 16 wide, HS1 19 high.
        QTest::addColumn<QSize>("canvas");
        QTest::addColumn<int>("hs1Max"); // -1: hidden
        QTest::addColumn<int>("vs1Max");
        QTest::newRow("start") << QSize(228, 225) << 13 << -1;
        QTest::newRow("exactly as tall") << QSize(215, 228) << -1 << -1;
        QTest::newRow("one taller") << QSize(215, 229) << -1 << 1;
        QTest::newRow("exactly as wide") << QSize(215, 300) << -1 << 72;
        QTest::newRow("one wider") << QSize(216, 300) << 1 << 72 + 19;
    }

    void barsAtTheBoundaries()
    {
        QFETCH(QSize, canvas);
        QFETCH(int, hs1Max);
        QFETCH(int, vs1Max);
        m_panel->pic_dsgn()->resize(canvas);
        build(columns(numbered(1)));
        QCOMPARE(m_panel->HS1()->isVisible() ? m_panel->HS1()->maximum() : -1, hs1Max);
        QCOMPARE(m_panel->VS1()->isVisible() ? m_panel->VS1()->maximum() : -1, vs1Max);
        QCOMPARE(m_panel->HS1()->geometry(), QRect(0, 209, 214, 19));
    }

    void scrollingEmptiesTheListAndRebuildReturnsToTop()
    {
        writeList(QStringLiteral("c0.flt"), "a\r\nb\r\n");
        writeList(QStringLiteral("c11.flt"), "a\r\nb\r\n");
        build(columns(numbered(12)));
        focusBox(0);
        QVERIFY(m_panel->ls_list()->isVisible());

        // A click on the bar's lower arrow.
        QScrollBar *vs1 = m_panel->VS1();
        QTest::mouseClick(vs1, Qt::LeftButton, {}, QPoint(8, vs1->height() - 4));
        QCOMPARE(vs1->value(), 1);
        QCOMPARE(m_panel->pic_dsgn()->y(), -1);
        QVERIFY(!m_panel->ls_list()->isVisible());
        QCOMPARE(m_panel->ls_list()->count(), 0);

        vs1->setValue(vs1->maximum());
        const QWidget *canvas = m_panel->pic_dsgn();
        QCOMPARE(canvas->y() + canvas->height(), m_panel->HS1()->y());
        m_panel->HS1()->setValue(m_panel->HS1()->maximum());
        QCOMPARE(canvas->x(), -13);

        // A rebuild returns to the top, not to the left, and closes the list.
        focusBox(11);
        QVERIFY(m_panel->ls_list()->isVisible());
        build(columns(numbered(12)));
        QCOMPARE(vs1->value(), 0);
        QCOMPARE(canvas->pos(), QPoint(-13, 0));
        QCOMPARE(m_panel->HS1()->value(), 13);
        QVERIFY(!m_panel->ls_list()->isVisible());
        QCOMPARE(m_panel->ls_list()->count(), 0);
    }

    void backgroundClicksHideWithoutEmptying()
    {
        writeList(QStringLiteral("c0.flt"), "a\r\nb\r\n");
        build(columns(numbered(1)));
        QListWidget *list = m_panel->ls_list();
        focusBox(0);
        QTest::mouseClick(m_panel->c_field(0), Qt::RightButton, {}, QPoint(5, 5));
        QVERIFY(list->isVisible());

        QTest::mouseClick(m_panel->pic_dsgn(), Qt::RightButton, {}, QPoint(150, 2));
        QVERIFY(!list->isVisible());
        QCOMPARE(list->count(), 2);

        focusBox(0);
        // Right of the canvas, where no bar lies.
        QTest::mouseClick(m_panel, Qt::LeftButton, {}, QPoint(231, 52));
        QVERIFY(!list->isVisible());
        QCOMPARE(list->count(), 2);
    }

    void pickList_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("file"); // in field_list; none when empty
        QTest::addColumn<QByteArray>("bytes"); // null: file is a folder
        QTest::addColumn<QStringList>("entries"); // none: no list shown
        QTest::addColumn<int>("height"); // 150: left as it was
        auto list = [](const char *tag, const QString &column) -> QTestData & {
            return QTest::newRow(tag) << column << column + QStringLiteral(".flt");
        };
        const QByteArray nine = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n";
        list("9 lines", "c") << nine << numbered(10, {}).mid(1) << 100;
        list("10 lines", "c") << nine + "10" << numbered(11, {}).mid(1) << 200;
        list("blank line", "c") << QByteArray("a\r\n\r\nb") << QStringList{"a", "", "b"} << 100;
        list("leading blanks", "c") << QByteArray("x\r\n  y\r\n") << QStringList{"x", "  y"} << 100;
        list("GBK Chinese", "姓名") << QByteArray(QStringEncoder("GB18030").encode(QStringLiteral("张三\r\n李四\r\n")))
                                << QStringList{"张三", "李四"} << 100;
        list("unreadable", "乙") << QByteArray() << QStringList() << 150;
        const QByteArray secret = "secret\r\n";
        QTest::newRow("no file") << "乙" << "" << secret << QStringList() << 150;
        QTest::newRow("parent step") << "../outside" << "../outside.flt" << secret << QStringList() << 150;
        QTest::newRow("sub folder") << "sub/inner" << "sub/inner.flt" << secret << QStringList() << 150;
        QTest::newRow("backslash") << "..\\outside" << "../outside.flt" << secret << QStringList() << 150;
        QTest::newRow("absolute") << "/tmp/x" << "/tmp/x.flt" << secret << QStringList() << 150;
    }

    void pickList()
    {
        QFETCH(QString, column);
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        if (bytes.isNull())
            QVERIFY(QDir().mkpath(listFolder() + u'/' + file));
        else if (!file.isEmpty())
            writeList(file, bytes);
        build(columns({column}));
        QListWidget *list = m_panel->ls_list();
        list->resize(list->width(), 150);
        SearchBox *box = m_panel->t_field(0);
        focusBox(0);
        QTest::keyClicks(box, QStringLiteral("typed"));

        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown.append(list->item(i)->text());
        QCOMPARE(shown, entries);
        QCOMPARE(list->isVisible(), !entries.isEmpty());
        QTEST(list->height(), "height");
        QVERIFY(m_messages.messages.isEmpty());
        if (entries.isEmpty())
            return;

        // One click only moves the focus; a double click takes the entry.
        const QPoint at = list->visualItemRect(list->item(1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(background(box), kWhite);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(box->text(), entries.at(1));
        QVERIFY(!list->isVisible());
        QCOMPARE(QApplication::focusWidget(), m_panel->HScroll1());
        QCOMPARE(background(box), kWhite);
        QCOMPARE(m_panel->cur_field(), box);
    }

    void enterMovesAndRecolours()
    {
        build(columns(numbered(3)));
        focusBox(0);
        QCOMPARE(background(m_panel->t_field(0)), kCyan);
        QTest::keyClick(m_panel->t_field(0), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), m_panel->t_field(1));
        QCOMPARE(background(m_panel->t_field(1)), kCyan);
        QCOMPARE(background(m_panel->t_field(0)), kWhite);
        QCOMPARE(m_panel->cur_field(), m_panel->t_field(1));

        // Other keys reach the box unchanged; Enter in the last box stays.
        QTest::keyClick(m_panel->t_field(1), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_panel->c_field(2));
        focusBox(2);
        QTest::keyClicks(m_panel->t_field(2), QStringLiteral("ab"));
        QTest::keyClick(m_panel->t_field(2), Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget(), m_panel->t_field(2));
        QCOMPARE(m_panel->t_field(2)->text(), QStringLiteral("ab"));
    }

    void checkBoxWholeRectangleMovesFocus()
    {
        build(columns(numbered(2)));
        QCheckBox *check = m_panel->c_field(1);
        // Far right of the box, well past its short caption; ticking and
        // unticking both move the focus.
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(92, 10));
        QVERIFY(check->isChecked());
        QCOMPARE(QApplication::focusWidget(), m_panel->t_field(1));
        QCOMPARE(background(m_panel->t_field(1)), kCyan);
        m_panel->HScroll1()->setFocus();
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(92, 10));
        QVERIFY(!check->isChecked());
        QCOMPARE(QApplication::focusWidget(), m_panel->t_field(1));
    }

    void listPlacementIsStrict()
    {
        writeList(QStringLiteral("c6.flt"), "a\r\nb\r\n");
        // Seven rows on a canvas of 246: the box of row 6 (top 146) has exactly
        // 100 pixels, the list's height, from its top to the canvas bottom.
        m_panel->pic_dsgn()->resize(228, 246);
        build(columns(numbered(7)));
        QCOMPARE(m_panel->pic_dsgn()->height(), 246);
        QCOMPARE(m_panel->t_field(6)->y(), 146);
        focusBox(6);
        QCOMPARE(m_panel->ls_list()->pos(), QPoint(99, 146 + 23 + 1));

        m_panel->pic_dsgn()->resize(228, 245);
        focusBox(5);
        focusBox(6);
        QCOMPARE(m_panel->ls_list()->pos(), QPoint(99, 146 - 100 - 1));
    }

    void dateBoxNearBottomGetsFrameAbove()
    {
        // The frame needs 82 below its top (box top + 24).
        build(select(QStringLiteral("select 姓名, 年龄, 生日 from people")));
        SearchBox *box = m_panel->t_field(2);
        QCOMPARE(box->y(), 50);
        DateFrame *frame = m_panel->fmrq();
        const QStringList today = {"2012", "3", "5", "2012", "3", "5"};
        auto combos = [frame] {
            QStringList texts;
            for (int n = 1; n <= 6; ++n)
                texts.append(frame->combo(n)->currentText());
            return texts;
        };

        m_panel->pic_dsgn()->resize(228, 50 + 24 + 82);
        focusBox(2);
        QVERIFY(frame->isVisible() && !m_panel->ls_list()->isVisible());
        QCOMPARE(frame->pos(), QPoint(99 - 32, 74));
        QCOMPARE(combos(), today);

        // Reopened one pixel shorter: above the box, back on today.
        frame->combo(2)->setCurrentText(QStringLiteral("7"));
        frame->combo(4)->setCurrentText(QStringLiteral("2020"));
        m_panel->pic_dsgn()->resize(228, 50 + 24 + 81);
        focusBox(1);
        QVERIFY(!frame->isVisible());
        focusBox(2);
        QCOMPARE(frame->pos(), QPoint(67, 50 - 82));
        QCOMPARE(combos(), today);
    }

    void listOrFrame_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("result"); // built / not open / none
        QTest::addColumn<bool>("frame");
        QTest::newRow("other type code") << "select 登记时间 from people" << 0 << "built" << false;
        // The first column of the name decides.
        QTest::newRow("one name, text first") << "select 姓名 as 同名, 生日 as 同名 from people" << 1 << "built" << false;
        QTest::newRow("one name, date first") << "select 生日 as 同名, 姓名 as 同名 from people" << 1 << "built" << true;
        QTest::newRow("result not open") << "select 生日 from people" << 0 << "not open" << false;
        QTest::newRow("no result") << "select 生日 from people" << 0 << "none" << false;
    }

    void listOrFrame()
    {
        QFETCH(QString, statement);
        QFETCH(int, row);
        QFETCH(QString, result);
        QFETCH(bool, frame);
        build(select(statement));
        writeList(m_panel->c_field(row)->text() + QStringLiteral(".flt"), "p\r\nq\r\n");
        if (result == "not open")
            m_result = select(QStringLiteral("update people set 备注 = ''"));
        else if (result == "none")
            m_result.reset();
        focusBox(row);
        QCOMPARE(background(m_panel->t_field(row)), kCyan);
        QCOMPARE(m_panel->fmrq()->isVisible(), frame);
        QCOMPARE(m_panel->ls_list()->isVisible(), !frame);
        QVERIFY(m_messages.messages.isEmpty());
    }

    void builtTypeCodeOutlivesResult()
    {
        build(select(QStringLiteral("select 姓名, 年龄, 生日, 登记时间 from people")));
        m_result = select(QStringLiteral("select 姓名 from people"));
        QCOMPARE(m_panel->currentTypeCode(0), std::optional<int>(db::TypeText));
        QCOMPARE(m_panel->currentTypeCode(2), std::nullopt);
        QCOMPARE(m_panel->builtTypeCode(1), int(db::TypeInteger));
        QCOMPARE(m_panel->builtTypeCode(2), int(db::TypeDate));
        QCOMPARE(m_panel->builtTypeCode(3), int(db::TypeNumeric));
    }
};

QTEST_MAIN(TestSearchPanel)
#include "tst_searchpanel.moc"
