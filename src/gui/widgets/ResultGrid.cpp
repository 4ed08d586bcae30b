#include "gui/widgets/ResultGrid.h"

#include "core/grid/ResultTableModel.h"
#include "texts/Texts.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

namespace vesko {

namespace {

// The busy cursor for as long as it lives.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Shows a cell's text as a tooltip when the cell is too narrow for it.
class CellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QString text = index.data().toString();
        if (sizeHint(option, index).width() > option.rect.width())
            QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
        else
            QToolTip::hideText();
        return true;
    }
};

} // namespace

ResultGrid::ResultGrid(const QString &caption, QWidget *parent)
    : QWidget(parent)
    , m_caption(new QLabel(caption, this))
    , m_view(new QTableView(this))
    , m_model(new ResultTableModel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFrameShape(QFrame::Panel);
    m_caption->setFrameShadow(QFrame::Raised);
    m_caption->setAutoFillBackground(true);
    layout->addWidget(m_caption);
    layout->addWidget(m_view);

    m_view->setModel(m_model);
    m_view->setItemDelegate(new CellDelegate(m_view));
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(false);
    m_view->setTabKeyNavigation(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->installEventFilter(this);
    // Fixed row heights keep a million rows as cheap as ten.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->verticalHeader()->setFixedWidth(14);
    QHeaderView *header = m_view->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { followSelection(current); });
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit rowChosen();
    });
    // A click flips the header's indicator: ascending on a new column, then
    // the other way. Binding a result clears it to column -1.
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this](int column, Qt::SortOrder order) {
        if (column >= 0)
            sortBy(column, order);
    });
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { showCopyMenu(position); });
}

void ResultGrid::bind(db::ResultPtr result)
{
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_model->setResult(std::move(result));
    showCurrentRow();
    fitColumns();
}

const db::ResultPtr &ResultGrid::result() const
{
    return m_model->result();
}

void ResultGrid::showCurrentRow()
{
    const db::ResultPtr &rs = m_model->result();
    const int row = rs ? m_model->viewRow(rs->currentRow()) : -1;
    if (row < 0 || m_model->columnCount() == 0) {
        m_view->selectionModel()->clearCurrentIndex();
        m_view->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(row, 0);
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view->scrollTo(index);
}

void ResultGrid::followSelection(const QModelIndex &current)
{
    const db::ResultPtr &rs = m_model->result();
    if (!rs || !current.isValid())
        return;
    const qint64 row = m_model->resultRow(current.row());
    if (row != rs->currentRow())
        rs->setCurrentRow(row);
}

void ResultGrid::sortBy(int column, Qt::SortOrder order)
{
    {
        const BusyCursor busy;
        m_model->sort(column, order);
    }
    showCurrentRow();
}

void ResultGrid::fitColumns()
{
    const db::ResultPtr &rs = m_model->result();
    QHeaderView *header = m_view->horizontalHeader();
    const int rowHeight = m_view->verticalHeader()->defaultSectionSize();
    const int first = qMax(0, m_view->rowAt(0));
    // The rows on screen; the view may not be laid out yet, the grid is.
    const int last = qMin(m_model->rowCount(), first + height() / rowHeight + 1);
    QStyleOptionViewItem option;
    option.initFrom(m_view->viewport());
    // A grid line takes one pixel of each column.
    const int gridLine = m_view->showGrid() ? 1 : 0;
    const auto cellWidth = [&](int row, int column) {
        return m_view->itemDelegate()->sizeHint(option, m_model->index(row, column)).width() + gridLine;
    };
    for (int column = 0; column < m_model->columnCount(); ++column) {
        // The result knows its longest value without a pass over the rows.
        // Fewer bytes can still be wider (Latin against Chinese), so the
        // rows on screen count too.
        int width = header->sectionSizeHint(column);
        if (const int widest = m_model->viewRow(rs->widestRow(column)); widest >= 0)
            width = qMax(width, cellWidth(widest, column));
        for (int row = first; row < last && width < kMaxColumnWidth; ++row)
            width = qMax(width, cellWidth(row, column));
        m_view->setColumnWidth(column, qMin(width, kMaxColumnWidth));
    }
}

bool ResultGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QModelIndex current = m_view->currentIndex();
        if (key->matches(QKeySequence::Copy)) {
            copyCell(current);
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && current.isValid()) {
            emit rowChosen();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ResultGrid::showCopyMenu(const QPoint &position)
{
    const QModelIndex index = m_view->indexAt(position);
    if (!index.isValid())
        return;
    auto *menu = new QMenu(m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPersistentModelIndex cell(index);
    menu->addAction(text::kCopyCell, this, [this, cell] { copyCell(cell); });
    menu->addAction(text::kCopyRow, this, [this, cell] {
        if (cell.isValid())
            copyRow(cell.row());
    });
    menu->popup(m_view->viewport()->mapToGlobal(position));
}

void ResultGrid::copyCell(const QModelIndex &index) const
{
    if (index.isValid())
        QApplication::clipboard()->setText(m_model->fullText(index));
}

void ResultGrid::copyRow(int row) const
{
    QStringList cells;
    for (int column = 0; column < m_model->columnCount(); ++column)
        cells.append(m_model->fullText(m_model->index(row, column)));
    QApplication::clipboard()->setText(cells.join(u'\t'));
}

} // namespace vesko
