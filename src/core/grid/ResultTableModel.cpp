#include "core/grid/ResultTableModel.h"

#include <limits>

namespace vesko {

ResultTableModel::ResultTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ResultTableModel::setResult(db::ResultPtr result)
{
    beginResetModel();
    m_result = std::move(result);
    m_rows = 0;
    m_columns = 0;
    if (m_result && m_result->isOpen()) {
        // A view addresses rows with int: a larger result shows its first 2^31-1 rows.
        m_rows = int(std::min<qint64>(m_result->rowCount(), std::numeric_limits<int>::max()));
        m_columns = m_result->columnCount();
    } else {
        m_result.reset();
    }
    endResetModel();
}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !m_result)
        return QVariant();
    return m_result->text(index.row(), index.column());
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_result)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section < m_columns ? m_result->columnName(section) : QVariant();
    return QVariant();
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace vesko
