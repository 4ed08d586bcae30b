#pragma once

#include "db/Result.h"

#include <QAbstractTableModel>

namespace vesko {

// Shows a result snapshot read-only. A cell becomes a QString only when the
// view asks for it; no object is made per row. Without a result (or with a
// result that is not open) it shows nothing.
class ResultTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ResultTableModel(QObject *parent = nullptr);

    // Binds to a result; nullptr shows nothing.
    void setResult(db::ResultPtr result);
    const db::ResultPtr &result() const { return m_result; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    db::ResultPtr m_result;
    int m_rows = 0;
    int m_columns = 0;
};

} // namespace vesko
