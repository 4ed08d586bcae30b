#include "gui/search/SearchPanel.h"

#include "core/platform/Clock.h"
#include "db/DbError.h"
#include "db/TypeCode.h"
#include "gui/search/DateFrame.h"
#include "gui/search/FieldCheckBox.h"
#include "gui/search/PanelGeometry.h"
#include "gui/search/PickList.h"
#include "gui/search/ScrollRanges.h"
#include "gui/search/SearchBox.h"
#include "texts/Texts.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace vesko {

namespace {

const QColor kFocusedColor(0, 255, 255);
const QColor kUnfocusedColor(255, 255, 255);

// The height of fmrq as the placement rule has it, whatever the frame's size.
constexpr float kDateFrameHeight = 82;
// One row of the panel: a check box and the gap under it.
constexpr int kRowPitch = int(panelTemplateRow.checkHeight) + 5;

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
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

SearchPanel::SearchPanel(ProgramDirectory directory, MessageService &messages, const Clock &clock, QWidget *parent)
    : QFrame(parent)
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

    m_verticalBar = new QScrollBar(Qt::Vertical, m_client);
    m_verticalBar->setObjectName(QStringLiteral("VS1"));
    m_verticalBar->setGeometry(216, 0, 16, 223);
    m_verticalBar->hide();
    m_horizontalBar = new QScrollBar(Qt::Horizontal, m_client);
    m_horizontalBar->setObjectName(QStringLiteral("HS1"));
    m_horizontalBar->setGeometry(0, 0, 214, 19);
    m_horizontalBar->hide();
    connect(m_horizontalBar, &QScrollBar::valueChanged, this, &SearchPanel::followHorizontalBar);
    connect(m_horizontalBar, &QScrollBar::sliderMoved, this, &SearchPanel::followHorizontalBar);
    connect(m_verticalBar, &QScrollBar::valueChanged, this, &SearchPanel::followVerticalBar);
    connect(m_verticalBar, &QScrollBar::sliderMoved, this, &SearchPanel::followVerticalBar);

    addRow();
    m_checks[0]->setText(text::kFieldHeader);
    m_checks[0]->show();
    m_boxes[0]->show();

    m_list = new PickList(std::move(directory), m_canvas);
    connect(m_list, &PickList::entryChosen, this, &SearchPanel::takePickListEntry);
    connect(m_list, &PickList::escaped, this, &SearchPanel::returnToBox);

    m_dateFrame = new DateFrame(messages, clock, m_canvas);
    m_dateFrame->setAttribute(Qt::WA_NoMousePropagation);
    m_dateFrame->installEventFilter(this);
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

db::TypeCode SearchPanel::typeCode(int row) const
{
    return currentTypeCode(row).value_or(m_builtTypes.at(row));
}

std::optional<db::TypeCode> SearchPanel::currentTypeCode(int row) const
{
    try {
        const db::ResultPtr rs = m_resultSource ? m_resultSource() : nullptr;
        if (!rs || !rs->isOpen())
            return std::nullopt;
        const int column = rs->indexOf(m_checks.at(row)->text());
        if (column < 0)
            return std::nullopt;
        return rs->columnType(column);
    } catch (const db::DbError &) {
        return std::nullopt;
    }
}

void SearchPanel::confirmOpenDateFrame()
{
    for (int i = 0; i < rowCount(); ++i) {
        if (m_checks[i]->checkState() == Qt::Checked && db::isDate(typeCode(i)) && !m_dateFrame->isHidden())
            m_dateFrame->confirmDateRange();
    }
}

QList<SearchRow> SearchPanel::criteria() const
{
    QList<SearchRow> rows;
    rows.reserve(rowCount());
    for (int i = 0; i < rowCount(); ++i) {
        const SearchBox *box = m_boxes[i];
        rows.append({m_checks[i]->text(), m_checks[i]->checkState() == Qt::Checked, typeCode(i), box->text(),
                     box->rangeStart(), box->rangeEnd()});
    }
    return rows;
}

void SearchPanel::addRow()
{
    const int index = rowCount();
    const PanelRowGeometry &shape = panelTemplateRow;

    auto *check = new FieldCheckBox(index, m_canvas);
    check->hide();
    check->setGeometry(rectOf(shape.checkLeft, shape.checkTop, shape.checkWidth, shape.checkHeight));
    check->setAttribute(Qt::WA_NoMousePropagation);
    check->installEventFilter(this);
    // toggled, unlike clicked, also fires when the program unticks the box.
    connect(check, &QCheckBox::toggled, this, [this, index] { m_boxes.at(index)->setFocus(); });

    auto *box = new SearchBox(index, m_canvas);
    box->hide();
    box->setGeometry(rectOf(shape.boxLeft, shape.boxTop, panelTextBoxWidth, panelTextBoxHeight));
    box->setAttribute(Qt::WA_NoMousePropagation);
    box->installEventFilter(this);
    connect(box, &SearchBox::gotFocus, this, &SearchPanel::boxFocused);
    connect(box, &SearchBox::lostFocus, this, [this](int i) { m_boxes.at(i)->setBackColor(kUnfocusedColor); });
    connect(box, &QLineEdit::textEdited, this, &SearchPanel::hideDateFrame);

    if (index > 0)
        QWidget::setTabOrder(m_boxes.back(), check);
    QWidget::setTabOrder(check, box);

    m_checks.push_back(check);
    m_boxes.push_back(box);
    m_builtTypes.push_back(db::TypeCode::Text);
}

void SearchPanel::rebuild(const db::Result &rs)
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
    } catch (const db::DbError &) {
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
    m_verticalBar->setValue(0);

    ScrollInputs in;
    in.viewportWidth = float(width());
    in.viewportHeight = float(height());
    in.viewportScaleWidth = float(m_client->width());
    in.viewportScaleHeight = float(m_client->height());
    in.canvasScaleWidth = float(m_canvas->width());
    in.canvasScaleHeight = float(m_canvas->height());
    in.verticalBarWidth = float(m_verticalBar->width());
    in.horizontalBarHeight = float(m_horizontalBar->height());
    const ScrollLayout layout = scrollRanges(in);

    m_horizontalBar->setGeometry(m_horizontalBar->x(), qRound(layout.horizontalBarTop),
                                 qRound(layout.horizontalBarWidth), m_horizontalBar->height());
    if (layout.horizontal.visible) {
        m_horizontalBar->show();
        m_horizontalBar->setMaximum(*layout.horizontal.max);
    }
    if (layout.vertical.visible) {
        m_verticalBar->setMaximum(*layout.vertical.max);
        m_verticalBar->show();
    } else {
        m_verticalBar->hide();
    }
    if (!layout.horizontal.visible)
        m_horizontalBar->hide();

    // An arrow steps one row, paging one view.
    const int viewHeight = m_client->height() - (layout.horizontal.visible ? m_horizontalBar->height() : 0);
    const int viewWidth = m_client->width() - (layout.vertical.visible ? m_verticalBar->width() : 0);
    m_verticalBar->setSingleStep(kRowPitch);
    m_verticalBar->setPageStep(viewHeight);
    m_horizontalBar->setSingleStep(kRowPitch);
    m_horizontalBar->setPageStep(viewWidth);
}

void SearchPanel::followHorizontalBar()
{
    hidePickListAndDateFrame(true);
    m_canvas->move(-m_horizontalBar->value(), m_canvas->y());
}

void SearchPanel::followVerticalBar()
{
    hidePickListAndDateFrame(true);
    m_canvas->move(m_canvas->x(), -m_verticalBar->value());
}

void SearchPanel::hidePickListAndDateFrame(bool emptyList)
{
    m_list->close(emptyList);
    m_dateFrame->hide();
}

void SearchPanel::hideDateFrame()
{
    m_dateFrame->hide();
}

void SearchPanel::takePickListEntry(const QString &text)
{
    if (m_currentBox)
        m_currentBox->setText(text);
    returnToBox();
}

void SearchPanel::returnToBox()
{
    // The box first: a hidden list would hand the focus on along the chain.
    if (m_currentBox) {
        m_returning = true;
        m_currentBox->setFocus();
        m_returning = false;
    }
    hidePickListAndDateFrame(false);
}

void SearchPanel::clearCriteria()
{
    for (int i = 0; i < rowCount(); ++i) {
        m_checks[i]->setChecked(false);
        m_boxes[i]->clear();
    }
}

void SearchPanel::boxFocused(int index)
{
    SearchBox *box = m_boxes.at(index);
    box->setBackColor(kFocusedColor);
    m_currentBox = box;
    if (!m_returning)
        offerHelp(*box);
}

void SearchPanel::offerHelp(const SearchBox &box)
{
    hidePickListAndDateFrame(true);
    scrollIntoView(box);
    if (db::isDate(currentTypeCode(box.index()).value_or(db::TypeCode::Text)))
        showDateFrameAt(box);
    else
        m_list->openBeside(m_checks.at(box.index())->text(), box.geometry(), shownCanvas());
}

QRect SearchPanel::shownCanvas() const
{
    return QRect(-m_canvas->x(), -m_canvas->y(),
                 m_client->width() - (m_verticalBar->isHidden() ? 0 : m_verticalBar->width()),
                 m_client->height() - (m_horizontalBar->isHidden() ? 0 : m_horizontalBar->height()));
}

void SearchPanel::scrollIntoView(const QWidget &row)
{
    if (m_verticalBar->isHidden())
        return;
    const QRect shown = shownCanvas();
    if (row.y() < shown.top())
        m_verticalBar->setValue(row.y());
    else if (row.y() + row.height() > shown.top() + shown.height())
        m_verticalBar->setValue(row.y() + row.height() - shown.height());
}

void SearchPanel::showDateFrameAt(const SearchBox &box)
{
    m_dateFrame->move(box.x() - 32, box.y() + box.height() + 1);
    m_dateFrame->show();
    m_dateFrame->raise();
    m_dateFrame->setDate(m_clock.today());
    if (float(m_canvas->height() - m_dateFrame->y()) < kDateFrameHeight)
        m_dateFrame->move(m_dateFrame->x(), box.y() - qRound(kDateFrameHeight));
}

bool SearchPanel::boxKeyPressed(SearchBox &box, int key)
{
    if (isEnter(key)) {
        if (box.index() < rowCount() - 1)
            m_boxes.at(box.index() + 1)->setFocus();
        return false;
    }
    if (key == Qt::Key_Escape && (m_list->isVisible() || m_dateFrame->isVisible())) {
        hidePickListAndDateFrame(false);
        return true;
    }
    if (key == Qt::Key_Down && m_list->isVisible()) {
        m_list->enter();
        return true;
    }
    return false;
}

void SearchPanel::takeDateRange(const QString &text, const QString &start, const QString &end)
{
    if (!m_currentBox)
        return;
    m_currentBox->setText(text);
    m_currentBox->setDateRange(start, end);
}

// A click on the viewport where neither the canvas nor a bar lies.
void SearchPanel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void SearchPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        hidePickListAndDateFrame(false);
}

bool SearchPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && watched != m_dateFrame) {
        // Over the rows the wheel scrolls the panel.
        if (!m_verticalBar->isHidden())
            QCoreApplication::sendEvent(m_verticalBar, event);
        return true;
    }
    if (event->type() == QEvent::FocusIn && qobject_cast<QCheckBox *>(watched)) {
        // A list or frame open for another box would hide the check box.
        hidePickListAndDateFrame(false);
        scrollIntoView(*static_cast<QWidget *>(watched));
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        // A click on the focused box offers its list or frame again.
        auto *box = qobject_cast<SearchBox *>(watched);
        if (box && box->hasFocus() && m_list->isHidden() && m_dateFrame->isHidden())
            offerHelp(*box);
    }
    if (watched == m_canvas) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            hidePickListAndDateFrame(false);
            return true;
        case QEvent::MouseButtonRelease:
            // Keeps a click on the canvas from counting as one on the viewport.
            return true;
        default:
            return false;
        }
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (auto *box = qobject_cast<SearchBox *>(watched))
        return boxKeyPressed(*box, key);
    if (watched == m_dateFrame && key == Qt::Key_Escape) {
        returnToBox();
        return true;
    }
    return false;
}

} // namespace vesko
