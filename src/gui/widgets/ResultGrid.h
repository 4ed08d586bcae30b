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
class ResultGrid : public QWidget
{
    Q_OBJECT

public:
    ResultGrid(const QString &caption, QWidget *parent = nullptr);

    // Shows result (nullptr: nothing) with its current row selected.
    void bind(db::ResultPtr result);
    const db::ResultPtr &result() const;
    // Selects and reveals the bound result's current row.
    void showCurrentRow();

    QTableView *view() const { return m_view; }

signals:
    // A row was double-clicked; it is already the current row.
    void rowDoubleClicked();

private:
    void followSelection(const QModelIndex &current);

    QLabel *m_caption;
    QTableView *m_view;
    ResultTableModel *m_model;
};

} // namespace vesko
