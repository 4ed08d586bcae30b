#pragma once

#include "db/Result.h"

#include <QAbstractTableModel>

#include <vector>

namespace vesko {

// Shows a result snapshot read-only. A cell becomes a QString only when the
// view asks for it; no object is made per row. Without a result (or with a
// result that is not open) it shows nothing.
//
// Sorting reorders a permutation of row numbers, never the snapshot: view
// row r shows result row resultRow(r).
class ResultTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // A cell shows at most this many characters, so that painting a row costs
    // the same however long its values are.
    static constexpr int kShownLength = 4000;

    explicit ResultTableModel(QObject *parent = nullptr);

    // Binds to a result in its own row order; nullptr shows nothing.
    void setResult(db::ResultPtr result);
    const db::ResultPtr &result() const { return m_result; }

    // Orders the rows by column as sortedRows() does: numbers and dates by
    // value, text by pinyin, Null first; equal values keep their order.
    // Persistent indexes (the selection) follow their rows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    qint64 resultRow(int viewRow) const;
    // -1 when the result row is not shown.
    int viewRow(qint64 resultRow) const;
    // The whole value of a cell, not cut to kShownLength.
    QString fullText(const QModelIndex &index) const;

    // A value as the grid shows it, in its stored order and with nothing
    // hidden: a C0 control or DEL (a tab excepted) as its symbol (NUL as ␀),
    // and a character that would reorder the text around it (bidi
    // overrides, embeddings, isolates and marks) or a C1 control as its code
    // (U+202E as <U+202E>).
    static QString visible(const QString &text);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QString shownText(qint64 row, int column) const;

    db::ResultPtr m_result;
    int m_rows = 0;
    int m_columns = 0;
    // Result row of each view row; empty while the rows are in result order.
    std::vector<int> m_order;
};

} // namespace vesko
