#include "gui/search/SearchPanel.h"

#include "db/TypeCode.h"
#include "gui/search/DateFrame.h"
#include "gui/search/FieldCheckBox.h"
#include "core/search/PanelGeometry.h"
#include "core/search/ScrollRanges.h"
#include "gui/search/SearchBox.h"
#include "core/platform/Clock.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>

namespace vesko {

namespace {

const QColor kFocusedColor(0, 255, 255);
const QColor kUnfocusedColor(255, 255, 255);

// The height of fmrq as the placement rule has it, whatever the frame's size.
constexpr float kDateFrameHeight = 82;
constexpr int kEnterKeyCode = 13;

// The small handlers skip a failing step silently and go on with the next.
template <typename Step>
void skipOnFailure(Step &&step)
{
    try {
        step();
    } catch (const std::exception &) {
    }
}

// Wide results make many rows; the canvas repaints once at the end.
class CanvasUpdatesOff
{
public:
    explicit CanvasUpdatesOff(QWidget &canvas)
        : m_canvas(canvas)
    {
        m_canvas.setUpdatesEnabled(false);
    }
    ~CanvasUpdatesOff() { m_canvas.setUpdatesEnabled(true); }
    CanvasUpdatesOff(const CanvasUpdatesOff &) = delete;
    CanvasUpdatesOff &operator=(const CanvasUpdatesOff &) = delete;

private:
    QWidget &m_canvas;
};

QRect rectOf(float left, float top, float width, float height)
{
    return QRect(qRound(left), qRound(top), qRound(width), qRound(height));
}

} // namespace

SearchPanel::SearchPanel(ProgramDirectory directory, MessageService &messages, const Clock &clock,
                         QWidget *parent)
    : QFrame(parent)
    , m_reader(std::move(directory))
    , m_clock(clock)
{
    setObjectName(QStringLiteral("pic_box"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setGeometry(3, 6, 235, 232);

    // The client area inside the border: what the panel's own coordinates
    // (ScaleWidth, ScaleHeight) measure and what clips the canvas.
    m_client = new QWidget(this);
    m_client->setGeometry(contentsRect());

    m_canvas = new QWidget(m_client);
    m_canvas->setObjectName(QStringLiteral("pic_dsgn"));
    m_canvas->setGeometry(0, 0, 228, qRound(panelInitialCanvasHeight));
    m_canvas->setAutoFillBackground(true);
    m_canvas->installEventFilter(this);

    m_vs1 = new QScrollBar(Qt::Vertical, m_client);
    m_vs1->setObjectName(QStringLiteral("VS1"));
    m_vs1->setGeometry(216, 0, 16, 223);
    m_vs1->hide();
    m_hs1 = new QScrollBar(Qt::Horizontal, m_client);
    m_hs1->setObjectName(QStringLiteral("HS1"));
    m_hs1->setGeometry(0, 0, 214, 19);
    m_hs1->hide();
    connect(m_hs1, &QScrollBar::valueChanged, this, &SearchPanel::followHorizontalBar);
    connect(m_hs1, &QScrollBar::sliderMoved, this, &SearchPanel::followHorizontalBar);
    connect(m_vs1, &QScrollBar::valueChanged, this, &SearchPanel::followVerticalBar);
    connect(m_vs1, &QScrollBar::sliderMoved, this, &SearchPanel::followVerticalBar);

    m_focusSink = new QScrollBar(Qt::Horizontal, m_client);
    m_focusSink->setObjectName(QStringLiteral("HScroll1"));
    m_focusSink->setFocusPolicy(Qt::StrongFocus);
    m_focusSink->setGeometry(0, 400, 100, 17);

    addRow();
    m_checks[0]->setText(QStringLiteral("字段"));
    m_checks[0]->show();
    m_boxes[0]->show();

    m_list = new QListWidget(m_canvas);
    m_list->setObjectName(QStringLiteral("ls_list"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    m_list->setGeometry(99, 0, 115, 100);
    m_list->setAttribute(Qt::WA_NoMousePropagation);
    m_list->hide();
    connect(m_list, &QListWidget::itemDoubleClicked, this, &SearchPanel::takePickListEntry);

    m_dateFrame = new DateFrame(messages, m_canvas);
    m_dateFrame->setAttribute(Qt::WA_NoMousePropagation);
    connect(m_dateFrame, &DateFrame::confirmed, this, &SearchPanel::takeDateRange);
}

SearchPanel::~SearchPanel() = default;

void SearchPanel::setResultSource(ResultSource source)
{
    m_resultSource = std::move(source);
}

int SearchPanel::rowCount() const
{
    return int(m_checks.size());
}

QCheckBox *SearchPanel::c_field(int row) const
{
    return m_checks.at(row);
}

SearchBox *SearchPanel::t_field(int row) const
{
    return m_boxes.at(row);
}

SearchBox *SearchPanel::cur_field() const
{
    return m_curField;
}

DateFrame *SearchPanel::fmrq() const
{
    return m_dateFrame;
}

QListWidget *SearchPanel::ls_list() const
{
    return m_list;
}

QWidget *SearchPanel::pic_dsgn() const
{
    return m_canvas;
}

QScrollBar *SearchPanel::HS1() const
{
    return m_hs1;
}

QScrollBar *SearchPanel::VS1() const
{
    return m_vs1;
}

QScrollBar *SearchPanel::HScroll1() const
{
    return m_focusSink;
}

int SearchPanel::builtTypeCode(int row) const
{
    return m_builtTypes.at(row);
}

std::optional<int> SearchPanel::currentTypeCode(int row) const
{
    try {
        const db::ResultPtr rs = m_resultSource ? m_resultSource() : nullptr;
        if (!rs || !rs->isOpen())
            return std::nullopt;
        const int column = rs->indexOf(c_field(row)->text());
        if (column < 0)
            return std::nullopt;
        return rs->columnType(column);
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

void SearchPanel::addRow()
{
    const int index = rowCount();
    const PanelRowGeometry &shape = panelTemplateRow;

    auto *check = new FieldCheckBox(index, m_canvas);
    check->hide();
    check->setGeometry(rectOf(shape.checkLeft, shape.checkTop, shape.checkWidth,
                              shape.checkHeight));
    check->setAttribute(Qt::WA_NoMousePropagation);
    // toggled, unlike clicked, also fires when the program unticks the box.
    connect(check, &QCheckBox::toggled, this, [this, index] { checkBoxToggled(index); });

    auto *box = new SearchBox(index, m_canvas);
    box->hide();
    box->setGeometry(rectOf(shape.boxLeft, shape.boxTop, panelTextBoxWidth,
                            panelTextBoxHeight));
    box->setAttribute(Qt::WA_NoMousePropagation);
    box->installEventFilter(this);
    connect(box, &SearchBox::gotFocus, this, &SearchPanel::boxFocused);
    connect(box, &SearchBox::lostFocus, this, &SearchPanel::boxLostFocus);

    if (index > 0)
        QWidget::setTabOrder(m_boxes.back(), check);
    QWidget::setTabOrder(check, box);

    m_checks.push_back(check);
    m_boxes.push_back(box);
    m_builtTypes.push_back(-1);
}

void SearchPanel::rebuildSearchPanel(const db::Result &rs)
{
    CanvasUpdatesOff quiet(*m_canvas);
    m_boxes[0]->clear();

    const std::size_t oldCount = m_checks.size();
    for (std::size_t i = 1; i < oldCount; ++i) {
        delete m_checks[i];
        delete m_boxes[i];
    }
    m_checks.resize(1);
    m_boxes.resize(1);
    m_builtTypes.resize(1);

    const float startHeight = float(m_canvas->height());
    const int columns = rs.columnCount();
    const PanelGeometry geometry = panelGeometry(columns, startHeight);
    m_canvas->resize(m_canvas->width(), qRound(geometry.canvasHeight));
    try {
        for (int i = 0; i < columns; ++i) {
            if (i == 0) {
                m_checks[0]->setText(rs.columnName(0));
                m_builtTypes[0] = rs.columnType(0);
                continue;
            }
            addRow();
            const PanelRowGeometry &row = geometry.rows.at(i);
            QCheckBox *check = m_checks.back();
            SearchBox *box = m_boxes.back();
            check->move(qRound(row.checkLeft), qRound(row.checkTop));
            check->setText(rs.columnName(i));
            m_builtTypes.back() = rs.columnType(i);
            check->show();
            box->move(qRound(row.boxLeft), qRound(row.boxTop));
            box->show();
        }
    } catch (const std::exception &) {
        // The canvas grows row by row: keep it as tall as the rows made so far.
        const float reached = panelGeometry(rowCount(), startHeight).canvasHeight;
        m_canvas->resize(m_canvas->width(), qRound(reached));
        throw;
    }
    fitScrollBars();
}

void SearchPanel::fitScrollBars()
{
    m_canvas->move(m_canvas->x(), 0);
    m_vs1->setValue(0);

    ScrollInputs in;
    in.viewportWidth = float(width());
    in.viewportHeight = float(height());
    in.viewportScaleWidth = float(m_client->width());
    in.viewportScaleHeight = float(m_client->height());
    in.canvasScaleWidth = float(m_canvas->width());
    in.canvasScaleHeight = float(m_canvas->height());
    in.verticalBarWidth = float(m_vs1->width());
    in.horizontalBarHeight = float(m_hs1->height());
    const ScrollLayout layout = scrollRanges(in);

    m_hs1->setGeometry(m_hs1->x(), qRound(layout.horizontalBarTop), qRound(layout.horizontalBarWidth),
                       m_hs1->height());
    if (layout.horizontal.visible) {
        m_hs1->show();
        m_hs1->setMaximum(*layout.horizontal.max);
    }
    if (layout.vertical.visible) {
        m_vs1->setMaximum(*layout.vertical.max);
        m_vs1->show();
    } else {
        m_vs1->hide();
    }
    if (!layout.horizontal.visible)
        m_hs1->hide();
}

void SearchPanel::followHorizontalBar()
{
    hidePickListAndDateFrame(true);
    m_canvas->move(-m_hs1->value(), m_canvas->y());
}

void SearchPanel::followVerticalBar()
{
    hidePickListAndDateFrame(true);
    m_canvas->move(m_canvas->x(), -m_vs1->value());
}

void SearchPanel::viewportClicked()
{
    hidePickListAndDateFrame(false);
}

void SearchPanel::canvasPressed()
{
    hidePickListAndDateFrame(false);
}

void SearchPanel::hidePickListAndDateFrame(bool emptyList)
{
    if (emptyList)
        m_list->clear();
    m_list->hide();
    m_dateFrame->hide();
}

void SearchPanel::hideDateFrame()
{
    m_dateFrame->hide();
}

void SearchPanel::loadPickList(const QString &columnName)
{
    const PickList list = m_reader.read(columnName);
    if (!list.found)
        return;
    m_list->addItems(list.entries);
    if (list.completed)
        m_list->resize(m_list->width(), PickListReader::listHeight(m_list->count()));
}

void SearchPanel::takePickListEntry()
{
    if (m_curField) {
        if (const QListWidgetItem *item = m_list->currentItem())
            m_curField->setText(item->text());
    }
    m_list->hide();
    // Away from the box, so that its focus handler does not reopen the list.
    m_focusSink->setFocus();
    QCoreApplication::processEvents();
    m_dateFrame->hide();
}

void SearchPanel::checkBoxToggled(int index)
{
    skipOnFailure([&] { t_field(index)->setFocus(); });
}

void SearchPanel::clearCriteria()
{
    for (int i = 0; i < rowCount(); ++i) {
        skipOnFailure([&] { c_field(i)->setChecked(false); });
        skipOnFailure([&] { t_field(i)->clear(); });
    }
}

void SearchPanel::boxFocused(int index)
{
    SearchBox *box = t_field(index);
    skipOnFailure([&] { box->setBackColor(kFocusedColor); });
    skipOnFailure([&] { m_list->clear(); });
    skipOnFailure([&] { m_list->hide(); });
    skipOnFailure([&] { m_dateFrame->hide(); });
    skipOnFailure([&] { m_curField = box; });
    std::optional<int> type;
    skipOnFailure([&] { type = currentTypeCode(index); });
    if (type == db::TypeDate)
        showDateFrameAt(*box);
    else
        showPickListAt(*box);
}

void SearchPanel::showDateFrameAt(const SearchBox &box)
{
    skipOnFailure([&] { m_dateFrame->move(m_dateFrame->x(), box.y() + box.height() + 1); });
    skipOnFailure([&] { m_dateFrame->move(box.x() - 32, m_dateFrame->y()); });
    skipOnFailure([&] {
        m_dateFrame->show();
        m_dateFrame->raise();
    });
    skipOnFailure([&] { m_dateFrame->setDate(m_clock.today()); });
    skipOnFailure([&] {
        if (float(m_canvas->height() - m_dateFrame->y()) < kDateFrameHeight)
            m_dateFrame->move(m_dateFrame->x(), box.y() - qRound(kDateFrameHeight));
    });
}

void SearchPanel::showPickListAt(const SearchBox &box)
{
    skipOnFailure([&] { loadPickList(c_field(box.index())->text()); });
    if (m_list->count() == 0)
        return;
    skipOnFailure([&] {
        const int height = m_list->height();
        const bool above = float(m_canvas->height() - box.y()) < float(height);
        m_list->move(m_list->x(), above ? box.y() - height - 1 : box.y() + box.height() + 1);
    });
    skipOnFailure([&] { m_list->move(box.x(), m_list->y()); });
    skipOnFailure([&] {
        m_list->show();
        m_list->raise();
    });
}

void SearchPanel::boxKeyPressed(int index, int key)
{
    skipOnFailure([&] {
        if (key == kEnterKeyCode && index < rowCount() - 1)
            t_field(index + 1)->setFocus();
    });
}

void SearchPanel::boxLostFocus(int index)
{
    skipOnFailure([&] { t_field(index)->setBackColor(kUnfocusedColor); });
}

void SearchPanel::takeDateRange(const QString &text, const QString &tag, const QString &toolTip)
{
    if (!m_curField)
        return;
    m_curField->setText(text);
    m_curField->setTag(tag);
    m_curField->setToolTip(toolTip);
}

// A click on the viewport where neither the canvas nor a bar lies.
void SearchPanel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void SearchPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        viewportClicked();
}

bool SearchPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_canvas) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            canvasPressed();
            return true;
        case QEvent::MouseButtonRelease:
            // Keeps a click on the canvas from counting as one on the viewport.
            return true;
        default:
            return false;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        if (auto *box = qobject_cast<SearchBox *>(watched)) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            const QString text = key->text();
            const int code = enter ? kEnterKeyCode : (text.isEmpty() ? 0 : text.at(0).unicode());
            boxKeyPressed(box->index(), code);
        }
    }
    return false;
}

} // namespace vesko
