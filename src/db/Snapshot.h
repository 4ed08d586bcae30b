#pragma once

#include "db/ColumnStore.h"
#include "db/Result.h"

#include <QList>

#include <vector>

namespace vesko::db {

// The result of one statement held column by column as UTF-8 bytes; a cell
// becomes a QString only when text() is asked for it. The engines fill it
// row by row through cells(), then call finish().
class Snapshot final : public Result
{
public:
    struct ColumnInfo
    {
        QString name;
        TypeCode type;
    };

    // A result that is not open: the statement produced no result set.
    Snapshot();
    explicit Snapshot(const QList<ColumnInfo> &columns);

    // The store of one column, for the engine filling the snapshot.
    ColumnStore &cells(int column) { return m_stores[std::size_t(column)]; }
    void setColumnType(int column, TypeCode type) { m_columns[column].type = type; }
    // Called once every row is in: fixes the row count and the current row.
    void finish();

    // Bytes held by the snapshot, for the benchmark.
    std::size_t memoryBytes() const;

    bool isOpen() const override { return m_open; }
    int columnCount() const override;
    qint64 rowCount() const override;
    QString columnName(int column) const override;
    TypeCode columnType(int column) const override;
    int indexOf(const QString &name) const override;
    bool isNull(qint64 row, int column) const override;
    std::string_view bytes(qint64 row, int column) const override;
    QString text(qint64 row, int column) const override;
    qint64 widestRow(int column) const override;
    qint64 currentRow() const override;
    void setCurrentRow(qint64 row) override;
    void moveLast() override;

private:
    void checkOpen() const;
    void checkColumn(int column) const;
    void checkCell(qint64 row, int column) const;

    bool m_open = false;
    QList<ColumnInfo> m_columns;
    std::vector<ColumnStore> m_stores;
    qint64 m_rows = 0;
    qint64 m_current = -1;
};

// The text of a date or date-time value as the Chinese regional short forms
// show it: 2012/3/5, or 2012/3/5 10:00:00 when the time is not midnight.
// Fractions of a second and a zone offset are dropped. Text that is not a
// date comes back unchanged.
QString dateText(std::string_view stored);

} // namespace vesko::db
