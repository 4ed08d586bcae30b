#include "core/grid/ResultTableModel.h"

#include "core/grid/RowOrder.h"

#include <algorithm>
#include <limits>

namespace vesko {

namespace {

bool reordersText(QChar c)
{
    switch (c.direction()) {
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return true;
    default:
        // The invisible marks LRM, RLM and ALM.
        return c == u'\u200E' || c == u'\u200F' || c == u'\u061C';
    }
}

bool shownAsCode(QChar c)
{
    return (c.category() == QChar::Other_Control && c != u'\t') || reordersText(c);
}

} // namespace

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
    m_order.clear();
    if (m_result && m_result->isOpen()) {
        // A view addresses rows with int: a larger result shows its first 2^31-1 rows.
        m_rows = int(std::min<qint64>(m_result->rowCount(), std::numeric_limits<int>::max()));
        m_columns = m_result->columnCount();
    } else {
        m_result.reset();
    }
    endResetModel();
}

void ResultTableModel::sort(int column, Qt::SortOrder order)
{
    if (!m_result || column < 0 || column >= m_columns)
        return;
    std::vector<int> sorted = sortedRows(*m_result, column, m_rows, order);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> newViewRow(sorted.size());
    for (int row = 0; row < m_rows; ++row)
        newViewRow[std::size_t(sorted[std::size_t(row)])] = row;
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(index.isValid() ? this->index(newViewRow[std::size_t(resultRow(index.row()))], index.column())
                                     : index);
    m_order = std::move(sorted);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

qint64 ResultTableModel::resultRow(int viewRow) const
{
    return m_order.empty() ? viewRow : m_order[std::size_t(viewRow)];
}

int ResultTableModel::viewRow(qint64 resultRow) const
{
    if (resultRow < 0 || resultRow >= m_rows)
        return -1;
    if (m_order.empty())
        return int(resultRow);
    return int(std::find(m_order.begin(), m_order.end(), int(resultRow)) - m_order.begin());
}

QString ResultTableModel::fullText(const QModelIndex &index) const
{
    if (!index.isValid() || !m_result)
        return QString();
    return m_result->text(resultRow(index.row()), index.column());
}

QString ResultTableModel::visible(const QString &text)
{
    if (std::none_of(text.begin(), text.end(), shownAsCode))
        return text;
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (!shownAsCode(c))
            shown += c;
        else if (c.unicode() < 0x20)
            shown += QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            shown += QChar(0x2421);
        else
            shown += QStringLiteral("<U+%1>").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    }
    return shown;
}

QString ResultTableModel::shownText(qint64 row, int column) const
{
    const std::string_view stored = m_result->bytes(row, column);
    if (stored.size() <= std::size_t(kShownLength))
        return visible(m_result->text(row, column));
    // A UTF-8 character takes at most four bytes, so the first kShownLength
    // characters are whole within four times as many bytes.
    const std::string_view head = stored.substr(0, std::size_t(kShownLength) * 4);
    return visible(QString::fromUtf8(head.data(), qsizetype(head.size())).left(kShownLength));
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
    return shownText(resultRow(index.row()), index.column());
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
