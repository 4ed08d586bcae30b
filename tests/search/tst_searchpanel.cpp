#include "main/db/Connection.h"
#include "main/db/TypeCode.h"
#include "search/DateFrame.h"
#include "search/SearchBox.h"
#include "search/SearchPanel.h"
#include "search/SearchPanelOverflow.h"
#include "support/MessageRecorder.h"
#include "ui/Clock.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTemporaryDir>
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

QColor background(const QWidget *box)
{
    return box->palette().color(QPalette::Base);
}

} // namespace

class tst_SearchPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void initialRowZero();
    void build_data();
    void build();
    void twentyThenThree();
    void noColumnsKeepsRowZero();
    void namesWithAnyCharacters();
    void failureKeepsRowsAndSkipsScrollFit();
    void scrollRangeOverflow();
    void barsAtTheBoundaries_data();
    void barsAtTheBoundaries();
    void scrolledToTheEnd();
    void rebuildReturnsToTop();
    void scrollingEmptiesTheList();
    void backgroundClicksHideWithoutEmptying();
    void listHeight_data();
    void listHeight();
    void listWithoutFileOrUnreadable_data();
    void listWithoutFileOrUnreadable();
    void pathEscapeFindsNoList_data();
    void pathEscapeFindsNoList();
    void doubleClickTakesEntry_data();
    void doubleClickTakesEntry();
    void enterMovesAndRecolours();
    void listPlacementIsStrict();
    void dateBoxNearBottomGetsFrameAbove();
    void dateFrameConfirmationWritesCurrentBox();
    void otherTypeCodeTakesListPath();
    void twoColumnsOfOneName();
    void noOpenResultOffersList();
    void builtTypeCodeOutlivesResult();
    void checkBoxWholeRectangleMovesFocus();
    void clearCriteria();

private:
    db::ResultPtr select(const QString &statement) { return m_cn->execute(statement); }
    // "select 1 as c0, 1 as c1, ..." with n columns.
    db::ResultPtr columns(int n);
    void build(const db::ResultPtr &rs);
    void writeList(const QString &column, const QByteArray &bytes);
    void focusBox(int row);
    QPoint canvasPoint(const QWidget *child, QPoint at) const;

    QTemporaryDir m_dir;
    db::ConnectionPtr m_cn;
    test::MessageRecorder m_messages;
    FixedClock m_clock;
    std::unique_ptr<QWidget> m_window;
    SearchPanel *m_panel = nullptr;
    db::ResultPtr m_rs;
};

void tst_SearchPanel::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("set_info/bg_info/field_list")));
    // An empty file is an empty SQLite database.
    const QString database = m_dir.filePath(QStringLiteral("panel.db"));
    QFile empty(database);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    m_cn = db::Connection::open(QStringLiteral("Provider=SQLite;Data Source=") + database,
                                m_dir.path());
    m_cn->execute(QStringLiteral("create table people (姓名 VARCHAR(20), 年龄 INTEGER, 生日 DATE,"
                                 " 登记时间 NUMERIC, 备注 TEXT)"));
    m_cn->execute(QStringLiteral("insert into people values ('张三', 30, '1982-01-02',"
                                 " '2012-03-05 10:00:00', '')"));
}

void tst_SearchPanel::init()
{
    m_window = std::make_unique<QWidget>();
    m_window->resize(300, 300);
    m_panel = new SearchPanel(ProgramDirectory(m_dir.path()), m_messages, m_clock, m_window.get());
    m_panel->setResultSource([this] { return m_rs; });
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_messages.clear();
}

void tst_SearchPanel::cleanup()
{
    m_window.reset();
    m_rs.reset();
    QDir lists(m_dir.filePath(QStringLiteral("set_info/bg_info/field_list")));
    QVERIFY(lists.removeRecursively());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("set_info/bg_info/field_list")));
}

db::ResultPtr tst_SearchPanel::columns(int n)
{
    QStringList parts;
    for (int i = 0; i < n; ++i)
        parts.append(QStringLiteral("1 as c%1").arg(i));
    return select(QStringLiteral("select ") + parts.join(QStringLiteral(", ")));
}

void tst_SearchPanel::build(const db::ResultPtr &rs)
{
    m_rs = rs;
    m_panel->s_showfields(*rs);
}

void tst_SearchPanel::writeList(const QString &column, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(QStringLiteral("set_info/bg_info/field_list/") + column + ".flt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void tst_SearchPanel::focusBox(int row)
{
    QTest::mouseClick(m_panel->t_field(row), Qt::LeftButton, {}, QPoint(5, 5));
}

QPoint tst_SearchPanel::canvasPoint(const QWidget *child, QPoint at) const
{
    return child->mapTo(m_panel->pic_dsgn(), at);
}

void tst_SearchPanel::initialRowZero()
{
    QCOMPARE(m_panel->objectName(), QStringLiteral("pic_box"));
    QCOMPARE(m_panel->geometry(), QRect(3, 6, 235, 232));
    QCOMPARE(m_panel->rowCount(), 1);
    QCOMPARE(m_panel->c_field(0)->text(), QStringLiteral("字段"));
    QCOMPARE(m_panel->c_field(0)->objectName(), QStringLiteral("c_field_0"));
    QCOMPARE(m_panel->c_field(0)->geometry(), QRect(0, 6, 97, 19));
    QCOMPARE(m_panel->t_field(0)->geometry(), QRect(99, 6, 115, 23));
    QCOMPARE(m_panel->pic_dsgn()->geometry(), QRect(0, 0, 228, 225));
    QCOMPARE(m_panel->VS1()->geometry(), QRect(216, 0, 16, 223));
    QVERIFY(!m_panel->ls_list()->isVisible());
    QVERIFY(!m_panel->fmrq()->isVisible());
    QCOMPARE(m_panel->cur_field(), nullptr);
    QCOMPARE(m_panel->builtTypeCode(0), -1);
}

void tst_SearchPanel::build_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("canvasHeight");
    QTest::newRow("one") << 1 << 225;
    QTest::newRow("nine") << 9 << 225;
    QTest::newRow("ten") << 10 << 249;
    QTest::newRow("twenty") << 20 << 489;
}

void tst_SearchPanel::build()
{
    QFETCH(int, count);
    QFETCH(int, canvasHeight);
    build(columns(count));

    QCOMPARE(m_panel->rowCount(), count);
    QCOMPARE(m_panel->pic_dsgn()->height(), canvasHeight);
    for (int i = 0; i < count; ++i) {
        QCheckBox *check = m_panel->c_field(i);
        SearchBox *box = m_panel->t_field(i);
        QCOMPARE(check->text(), QStringLiteral("c%1").arg(i));
        QCOMPARE(check->geometry(), QRect(0, 6 + 24 * i, 97, 19));
        QCOMPARE(box->geometry(), QRect(99, i == 0 ? 6 : 2 + 24 * i, 115, 23));
        QCOMPARE(box->objectName(), QStringLiteral("t_field_%1").arg(i));
        QVERIFY(check->isVisible() && box->isVisible());
        QVERIFY(!check->isChecked());
        QVERIFY(box->text().isEmpty() && box->tag().isEmpty() && box->toolTip().isEmpty());
        QCOMPARE(m_panel->builtTypeCode(i), int(db::TypeInteger));
    }
    // Focus order follows the rows.
    for (int i = 0; i + 1 < count; ++i) {
        QCOMPARE(m_panel->c_field(i)->nextInFocusChain(), m_panel->t_field(i));
        QCOMPARE(m_panel->t_field(i)->nextInFocusChain(), m_panel->c_field(i + 1));
    }
}

void tst_SearchPanel::twentyThenThree()
{
    build(columns(20));
    m_panel->c_field(0)->setChecked(true);
    m_panel->t_field(0)->setText(QStringLiteral("x"));
    build(select(QStringLiteral("select 1 as 甲, 2 as 乙, 3 as 丙")));

    QCOMPARE(m_panel->rowCount(), 3);
    QCOMPARE(m_panel->c_field(2)->text(), QStringLiteral("丙"));
    QCOMPARE(m_panel->pic_dsgn()->height(), 489);
    QVERIFY(!m_panel->pic_dsgn()->findChild<QCheckBox *>(QStringLiteral("c_field_3")));
    QVERIFY(!m_panel->pic_dsgn()->findChild<SearchBox *>(QStringLiteral("t_field_19")));
    QVERIFY(m_panel->c_field(0)->isChecked());
    QVERIFY(m_panel->t_field(0)->text().isEmpty());
}

void tst_SearchPanel::noColumnsKeepsRowZero()
{
    m_panel->s_showfields(NamedColumns({}));
    QCOMPARE(m_panel->c_field(0)->text(), QStringLiteral("字段"));

    build(columns(12));
    m_panel->VS1()->setValue(30);
    m_panel->t_field(0)->setText(QStringLiteral("x"));
    m_panel->s_showfields(NamedColumns({}));

    QCOMPARE(m_panel->rowCount(), 1);
    QCOMPARE(m_panel->c_field(0)->text(), QStringLiteral("c0"));
    QVERIFY(m_panel->t_field(0)->text().isEmpty());
    QCOMPARE(m_panel->VS1()->value(), 0);
    QCOMPARE(m_panel->pic_dsgn()->y(), 0);
}

void tst_SearchPanel::namesWithAnyCharacters()
{
    build(select(QStringLiteral(
        "select 1 as \"\", 1 as \" 前后 \", 1 as \"a&b\", 1 as \"q\"\"t\", 1 as \"../x/y\"")));
    const QStringList expected = {QString(), QStringLiteral(" 前后 "), QStringLiteral("a&b"),
                                  QStringLiteral("q\"t"), QStringLiteral("../x/y")};
    QCOMPARE(m_panel->rowCount(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(m_panel->c_field(i)->text(), expected.at(i));
}

void tst_SearchPanel::failureKeepsRowsAndSkipsScrollFit()
{
    build(columns(12));
    m_panel->VS1()->setValue(30);

    const NamedColumns failing({"a", "b", "c", "d", "e"}, 3);
    QVERIFY_THROWS_EXCEPTION(db::DbError, m_panel->s_showfields(failing));
    QCOMPARE(m_panel->rowCount(), 4);
    QCOMPARE(m_panel->c_field(2)->text(), QStringLiteral("c"));
    QVERIFY(!m_panel->c_field(3)->isVisible());
    QCOMPARE(m_panel->VS1()->value(), 30);
}

void tst_SearchPanel::scrollRangeOverflow()
{
    // 1,400 rows make a canvas more than 32767 pixels beyond the viewport.
    QStringList names;
    for (int i = 0; i < 1400; ++i)
        names.append(QString::number(i));
    QVERIFY_THROWS_EXCEPTION(SearchPanelOverflow, m_panel->s_showfields(NamedColumns(names)));
    QCOMPARE(m_panel->rowCount(), 1400);
    QCOMPARE(m_panel->pic_dsgn()->height(), 33 + 24 * 1399);

    names.resize(40000);
    QVERIFY_THROWS_EXCEPTION(SearchPanelOverflow, m_panel->s_showfields(NamedColumns(names)));
}

void tst_SearchPanel::barsAtTheBoundaries_data()
{
    // The viewport's inner size is 231 x 228; VS1 is 16 wide, HS1 19 high.
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<bool>("hs1Visible");
    QTest::addColumn<int>("hs1Max");
    QTest::addColumn<bool>("vs1Visible");
    QTest::addColumn<int>("vs1Max");
    QTest::newRow("start") << QSize(228, 225) << true << 13 << false << 0;
    QTest::newRow("exactly as tall") << QSize(215, 228) << false << 0 << false << 0;
    QTest::newRow("one taller") << QSize(215, 229) << false << 0 << true << 1;
    QTest::newRow("exactly as wide") << QSize(215, 300) << false << 0 << true << 72;
    QTest::newRow("one wider") << QSize(216, 300) << true << 1 << true << 72 + 19;
}

void tst_SearchPanel::barsAtTheBoundaries()
{
    QFETCH(QSize, canvas);
    QFETCH(bool, hs1Visible);
    QFETCH(int, hs1Max);
    QFETCH(bool, vs1Visible);
    QFETCH(int, vs1Max);
    m_panel->pic_dsgn()->resize(canvas);
    build(columns(1));

    QCOMPARE(m_panel->HS1()->isVisible(), hs1Visible);
    QCOMPARE(m_panel->VS1()->isVisible(), vs1Visible);
    if (hs1Visible)
        QCOMPARE(m_panel->HS1()->maximum(), hs1Max);
    if (vs1Visible)
        QCOMPARE(m_panel->VS1()->maximum(), vs1Max);
    QCOMPARE(m_panel->HS1()->geometry(), QRect(0, 209, 214, 19));
}

void tst_SearchPanel::scrolledToTheEnd()
{
    build(columns(10));
    QScrollBar *vs1 = m_panel->VS1();
    QVERIFY(vs1->isVisible() && m_panel->HS1()->isVisible());
    vs1->setValue(vs1->maximum());
    const QWidget *canvas = m_panel->pic_dsgn();
    QCOMPARE(canvas->y() + canvas->height(), m_panel->HS1()->y());

    m_panel->HS1()->setValue(m_panel->HS1()->maximum());
    QCOMPARE(canvas->x(), -13);
}

void tst_SearchPanel::rebuildReturnsToTop()
{
    writeList(QStringLiteral("c15"), "a\r\nb\r\n");
    build(columns(20));
    m_panel->HS1()->setValue(5);
    m_panel->VS1()->setValue(200);
    focusBox(15);
    QVERIFY(m_panel->ls_list()->isVisible());

    build(columns(20));
    QCOMPARE(m_panel->VS1()->value(), 0);
    QCOMPARE(m_panel->pic_dsgn()->pos(), QPoint(-5, 0));
    QCOMPARE(m_panel->HS1()->value(), 5);
    QVERIFY(!m_panel->ls_list()->isVisible());
    QCOMPARE(m_panel->ls_list()->count(), 0);
}

void tst_SearchPanel::scrollingEmptiesTheList()
{
    writeList(QStringLiteral("c0"), "a\r\nb\r\n");
    build(columns(12));
    focusBox(0);
    QVERIFY(m_panel->ls_list()->isVisible());

    // A click on the bar's lower arrow.
    QScrollBar *vs1 = m_panel->VS1();
    QTest::mouseClick(vs1, Qt::LeftButton, {}, QPoint(8, vs1->height() - 4));
    QCOMPARE(vs1->value(), 1);
    QCOMPARE(m_panel->pic_dsgn()->y(), -1);
    QVERIFY(!m_panel->ls_list()->isVisible());
    QCOMPARE(m_panel->ls_list()->count(), 0);
}

void tst_SearchPanel::backgroundClicksHideWithoutEmptying()
{
    writeList(QStringLiteral("c0"), "a\r\nb\r\n");
    build(columns(1));
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

void tst_SearchPanel::listHeight_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("height");
    QTest::newRow("9 lines") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n") << 9 << 100;
    QTest::newRow("10 lines") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10") << 10
                              << 200;
    QTest::newRow("blank line") << QByteArray("a\r\n\r\nb") << 3 << 100;
}

void tst_SearchPanel::listHeight()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, entries);
    QFETCH(int, height);
    writeList(QStringLiteral("c0"), bytes);
    build(columns(1));
    focusBox(0);
    QCOMPARE(m_panel->ls_list()->count(), entries);
    QCOMPARE(m_panel->ls_list()->height(), height);
    QVERIFY(m_panel->ls_list()->isVisible());
}

void tst_SearchPanel::listWithoutFileOrUnreadable_data()
{
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("no file") << false;
    QTest::newRow("unreadable") << true;
}

void tst_SearchPanel::listWithoutFileOrUnreadable()
{
    QFETCH(bool, unreadable);
    writeList(QStringLiteral("甲"), QByteArray("1\r\n").repeated(12));
    if (unreadable)
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("set_info/bg_info/field_list/乙.flt")));
    build(select(QStringLiteral("select 1 as 甲, 1 as 乙")));
    focusBox(0);
    QCOMPARE(m_panel->ls_list()->height(), 200);

    focusBox(1);
    QVERIFY(!m_panel->ls_list()->isVisible());
    QCOMPARE(m_panel->ls_list()->count(), 0);
    // Neither case reaches the height step.
    QCOMPARE(m_panel->ls_list()->height(), 200);
    QVERIFY(m_messages.messages.isEmpty());
}

void tst_SearchPanel::pathEscapeFindsNoList_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("file");
    QTest::newRow("parent step") << QStringLiteral("../outside") << QStringLiteral("set_info/bg_info/outside.flt");
    QTest::newRow("sub folder") << QStringLiteral("sub/inner") << QStringLiteral("set_info/bg_info/field_list/sub/inner.flt");
    QTest::newRow("backslash") << QStringLiteral("..\\outside") << QStringLiteral("set_info/bg_info/outside.flt");
    QTest::newRow("absolute") << QStringLiteral("/tmp/x") << QStringLiteral("set_info/bg_info/field_list//tmp/x.flt");
}

void tst_SearchPanel::pathEscapeFindsNoList()
{
    QFETCH(QString, column);
    QFETCH(QString, file);
    const QString path = m_dir.filePath(file);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("secret\r\n");
    out.close();

    m_rs = select(QStringLiteral("select 1 as \"%1\"").arg(column));
    m_panel->s_showfields(*m_rs);
    focusBox(0);
    QVERIFY(!m_panel->ls_list()->isVisible());
    QCOMPARE(m_panel->ls_list()->count(), 0);
    QVERIFY(m_messages.messages.isEmpty());
    QVERIFY(QFile::remove(path));
}

void tst_SearchPanel::doubleClickTakesEntry_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("expected");
    QStringEncoder gbk("GB18030");
    QTest::newRow("GBK Chinese") << QByteArray(gbk.encode(QStringLiteral("张三\r\n李四\r\n"))) << 1
                                 << QStringLiteral("李四");
    QTest::newRow("leading blanks") << QByteArray("x\r\n  y\r\n") << 1 << QStringLiteral("  y");
    QTest::newRow("blank line") << QByteArray("x\r\n\r\nz") << 1 << QString();
}

void tst_SearchPanel::doubleClickTakesEntry()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, entry);
    QFETCH(QString, expected);
    writeList(QStringLiteral("姓名"), bytes);
    build(select(QStringLiteral("select 姓名, 年龄 from people")));
    SearchBox *box = m_panel->t_field(0);
    focusBox(0);
    QTest::keyClicks(box, QStringLiteral("typed"));

    QListWidget *list = m_panel->ls_list();
    const QPoint at = list->visualItemRect(list->item(entry)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(background(box), QColor(Qt::white));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);

    QCOMPARE(box->text(), expected);
    QVERIFY(!list->isVisible());
    QCOMPARE(QApplication::focusWidget(), m_panel->HScroll1());
    QCOMPARE(background(box), QColor(Qt::white));
    QCOMPARE(m_panel->cur_field(), box);
}

void tst_SearchPanel::enterMovesAndRecolours()
{
    build(columns(3));
    focusBox(0);
    QCOMPARE(background(m_panel->t_field(0)), kCyan);

    QTest::keyClick(m_panel->t_field(0), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), m_panel->t_field(1));
    QCOMPARE(background(m_panel->t_field(1)), kCyan);
    QCOMPARE(background(m_panel->t_field(0)), QColor(Qt::white));
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

void tst_SearchPanel::listPlacementIsStrict()
{
    writeList(QStringLiteral("c6"), "a\r\nb\r\n");
    // Seven rows on a canvas of 246: the box of row 6 (top 146) has exactly
    // 100 pixels, the list's height, from its top to the canvas bottom.
    m_panel->pic_dsgn()->resize(228, 246);
    build(columns(7));
    QCOMPARE(m_panel->pic_dsgn()->height(), 246);
    SearchBox *box = m_panel->t_field(6);
    QCOMPARE(box->y(), 146);

    focusBox(6);
    QCOMPARE(m_panel->ls_list()->pos(), QPoint(99, 146 + 23 + 1));

    m_panel->pic_dsgn()->resize(228, 245);
    focusBox(5);
    focusBox(6);
    QCOMPARE(m_panel->ls_list()->pos(), QPoint(99, 146 - 100 - 1));
}

void tst_SearchPanel::dateBoxNearBottomGetsFrameAbove()
{
    // Rows 姓名, 年龄, 生日, ...; the frame needs 82 below its top (box top + 24).
    build(select(QStringLiteral("select 姓名, 年龄, 生日 from people")));
    SearchBox *box = m_panel->t_field(2);
    QCOMPARE(box->y(), 50);
    DateFrame *frame = m_panel->fmrq();

    m_panel->pic_dsgn()->resize(228, 50 + 24 + 82);
    focusBox(2);
    QVERIFY(frame->isVisible());
    QCOMPARE(frame->pos(), QPoint(99 - 32, 74));
    QVERIFY(!m_panel->ls_list()->isVisible());
    const QStringList today = {"2012", "3", "5", "2012", "3", "5"};
    for (int n = 1; n <= 6; ++n)
        QCOMPARE(frame->combo(n)->currentText(), today.at(n - 1));

    frame->combo(2)->setCurrentText(QStringLiteral("7"));
    frame->combo(4)->setCurrentText(QStringLiteral("2020"));
    m_panel->pic_dsgn()->resize(228, 50 + 24 + 81);
    focusBox(1);
    QVERIFY(!frame->isVisible());
    focusBox(2);
    QCOMPARE(frame->pos(), QPoint(67, 50 - 82));
    QCOMPARE(frame->y() + 82, box->y());
    for (int n = 1; n <= 6; ++n)
        QCOMPARE(frame->combo(n)->currentText(), today.at(n - 1));
}

void tst_SearchPanel::dateFrameConfirmationWritesCurrentBox()
{
    build(select(QStringLiteral("select 生日 from people")));
    focusBox(0);
    QTest::mouseClick(m_panel->fmrq()->findChild<QPushButton *>(QStringLiteral("Command2")),
                      Qt::LeftButton);
    SearchBox *box = m_panel->t_field(0);
    QCOMPARE(box->text(), QStringLiteral("从 2012-3-5 到 2012-3-5"));
    QCOMPARE(box->tag(), QStringLiteral("2012-3-5"));
    QCOMPARE(box->toolTip(), QStringLiteral("2012-3-5"));
    QVERIFY(!m_panel->fmrq()->isVisible());
}

void tst_SearchPanel::otherTypeCodeTakesListPath()
{
    writeList(QStringLiteral("登记时间"), "2012-03-05\r\n");
    build(select(QStringLiteral("select 登记时间 from people")));
    QCOMPARE(m_panel->builtTypeCode(0), int(db::TypeNumeric));
    focusBox(0);
    QVERIFY(!m_panel->fmrq()->isVisible());
    QVERIFY(m_panel->ls_list()->isVisible());
}

void tst_SearchPanel::twoColumnsOfOneName()
{
    // The first field of the name is text, so both rows take its pick list.
    writeList(QStringLiteral("同名"), "p\r\nq\r\n");
    build(select(QStringLiteral("select 姓名 as 同名, 生日 as 同名 from people")));
    QCOMPARE(m_panel->builtTypeCode(1), int(db::TypeDate));
    focusBox(1);
    QVERIFY(!m_panel->fmrq()->isVisible());
    QCOMPARE(m_panel->ls_list()->count(), 2);
    QCOMPARE(m_panel->ls_list()->pos(), QPoint(99, 26 + 23 + 1));

    build(select(QStringLiteral("select 生日 as 同名, 姓名 as 同名 from people")));
    focusBox(1);
    QVERIFY(m_panel->fmrq()->isVisible());
    QVERIFY(!m_panel->ls_list()->isVisible());
}

void tst_SearchPanel::noOpenResultOffersList()
{
    writeList(QStringLiteral("生日"), "x\r\n");
    build(select(QStringLiteral("select 生日 from people")));
    m_rs = m_cn->execute(QStringLiteral("update people set 备注 = ''"));
    QVERIFY(!m_rs->isOpen());
    focusBox(0);
    QCOMPARE(background(m_panel->t_field(0)), kCyan);
    QVERIFY(m_panel->ls_list()->isVisible());
    QVERIFY(!m_panel->fmrq()->isVisible());
    m_rs.reset();
    focusBox(0);
    QVERIFY(m_panel->ls_list()->isVisible());
    QVERIFY(m_messages.messages.isEmpty());
}

void tst_SearchPanel::builtTypeCodeOutlivesResult()
{
    build(select(QStringLiteral("select 姓名, 年龄, 生日 from people")));
    m_rs = select(QStringLiteral("select 姓名 from people"));
    QCOMPARE(m_panel->currentTypeCode(0), std::optional<int>(db::TypeText));
    QCOMPARE(m_panel->currentTypeCode(2), std::nullopt);
    QCOMPARE(m_panel->builtTypeCode(1), int(db::TypeInteger));
    QCOMPARE(m_panel->builtTypeCode(2), int(db::TypeDate));
}

void tst_SearchPanel::checkBoxWholeRectangleMovesFocus()
{
    build(select(QStringLiteral("select 姓名, 年龄 from people")));
    QCheckBox *check = m_panel->c_field(1);
    // Far right of the box, well past its short caption.
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(92, 10));
    QVERIFY(check->isChecked());
    QCOMPARE(QApplication::focusWidget(), m_panel->t_field(1));
    QCOMPARE(background(m_panel->t_field(1)), kCyan);

    m_panel->HScroll1()->setFocus();
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(92, 10));
    QVERIFY(!check->isChecked());
    QCOMPARE(QApplication::focusWidget(), m_panel->t_field(1));

    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
    QVERIFY(check->isChecked());
    QCOMPARE(QApplication::focusWidget(), m_panel->t_field(1));
}

void tst_SearchPanel::clearCriteria()
{
    build(select(QStringLiteral("select 姓名, 生日, 年龄, 备注 from people")));
    auto *button = new QPushButton(QStringLiteral("清空"), m_window.get());
    button->setGeometry(0, 250, 80, 25);
    button->show();
    connect(button, &QPushButton::clicked, m_panel, &SearchPanel::clearCriteria);

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), button);

    for (int row : {0, 1, 2})
        m_panel->c_field(row)->setChecked(true);
    for (int row = 0; row < 4; ++row)
        m_panel->t_field(row)->setText(QStringLiteral("v%1").arg(row));
    m_panel->t_field(1)->setTag(QStringLiteral("2012-3-1"));
    m_panel->t_field(1)->setToolTip(QStringLiteral("2012-3-9"));

    QTest::mouseClick(button, Qt::LeftButton);
    for (int row = 0; row < 4; ++row) {
        QVERIFY(!m_panel->c_field(row)->isChecked());
        QVERIFY(m_panel->t_field(row)->text().isEmpty());
    }
    QCOMPARE(m_panel->t_field(1)->tag(), QStringLiteral("2012-3-1"));
    QCOMPARE(m_panel->t_field(1)->toolTip(), QStringLiteral("2012-3-9"));
    QCOMPARE(QApplication::focusWidget(), m_panel->t_field(2));
    QCOMPARE(m_panel->cur_field(), m_panel->t_field(2));
    QCOMPARE(background(m_panel->t_field(1)), QColor(Qt::white));
}

QTEST_MAIN(tst_SearchPanel)
#include "tst_searchpanel.moc"
