#pragma once

#include "db/Result.h"

#include <QWidget>

class QLabel;
class QTableView;

namespace vesko {

class ResultTableModel;

// The result grid: a caption bar over a read-only table of the bound result.
// One row is selected, and it is the result's current row in both
// directions: selecting a row makes it current, and showCurrentRow() selects
// the current row.
//
// A header click sorts by that column, ascending then descending, and the
// current row stays selected. Tab leaves the grid; Enter and a double-click
// choose the row. Ctrl+C and the right-click menu copy a cell or a row.
class ResultGrid : public QWidget
{
    Q_OBJECT

public:
    // A column never starts wider than this.
    static constexpr int kMaxColumnWidth = 300;

    ResultGrid(const QString &caption, QWidget *parent = nullptr);

    // Shows result (nullptr: nothing) in its own order with its current row
    // selected, each column as wide as its header, its longest value and the
    // rows on screen need, up to kMaxColumnWidth.
    void bind(db::ResultPtr result);
    const db::ResultPtr &result() const;
    // Selects and reveals the bound result's current row.
    void showCurrentRow();

    QTableView *view() const { return m_view; }

signals:
    // A row was double-clicked or Enter pressed on it; it is the current row.
    void rowChosen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followSelection(const QModelIndex &current);
    void sortBy(int column, Qt::SortOrder order);
    void fitColumns();
    void showCopyMenu(const QPoint &position);
    void copyCell(const QModelIndex &index) const;
    void copyRow(int row) const;

    QLabel *m_caption;
    QTableView *m_view;
    ResultTableModel *m_model;
};

} // namespace vesko
