#include "gui/widgets/ResultGrid.h"

#include "core/grid/ResultTableModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace vesko {

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
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(false);
    // Fixed row heights keep a million rows as cheap as ten.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->verticalHeader()->setFixedWidth(14);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { followSelection(current); });
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit rowDoubleClicked();
    });
}

void ResultGrid::bind(db::ResultPtr result)
{
    m_model->setResult(std::move(result));
    showCurrentRow();
}

const db::ResultPtr &ResultGrid::result() const
{
    return m_model->result();
}

void ResultGrid::showCurrentRow()
{
    const db::ResultPtr &rs = m_model->result();
    const qint64 row = rs ? rs->currentRow() : -1;
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0) {
        m_view->selectionModel()->clearCurrentIndex();
        m_view->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(int(row), 0);
    m_view->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view->scrollTo(index);
}

void ResultGrid::followSelection(const QModelIndex &current)
{
    const db::ResultPtr &rs = m_model->result();
    if (rs && current.isValid() && current.row() != rs->currentRow())
        rs->setCurrentRow(current.row());
}

} // namespace vesko
