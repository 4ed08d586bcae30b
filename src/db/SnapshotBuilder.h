#pragma once

#include "db/Snapshot.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace vesko::db {

// One cell as an engine hands it over; the bytes stay valid until the
// source's next call.
struct Cell
{
    const char *data;
    std::size_t size;
    bool null;
};

// The one fetch loop of every engine. A row source offers
//   QList<Snapshot::ColumnInfo> columns();  before the first row
//   bool next();                            the next row, false after the last
//   Cell cell(int column);                  a cell of the current row
//   TypeCode columnType(int column) const;  once every row is in
// and throws DbError on a failure. rowsFetched counts the rows as they come,
// for a reader on another thread.
template<typename RowSource>
std::shared_ptr<Snapshot> buildSnapshot(RowSource &source, std::atomic<qint64> &rowsFetched)
{
    auto snapshot = std::make_shared<Snapshot>(source.columns());
    const int columns = snapshot->columnCount();
    std::vector<ColumnStore *> stores;
    for (int c = 0; c < columns; ++c)
        stores.push_back(&snapshot->cells(c));
    qint64 rows = 0;
    while (source.next()) {
        for (int c = 0; c < columns; ++c) {
            const Cell cell = source.cell(c);
            if (cell.null)
                stores[std::size_t(c)]->appendNull();
            else
                stores[std::size_t(c)]->append(cell.data, cell.size);
        }
        rowsFetched.store(++rows, std::memory_order_relaxed);
    }
    for (int c = 0; c < columns; ++c)
        snapshot->setColumnType(c, source.columnType(c));
    snapshot->finish();
    return snapshot;
}

} // namespace vesko::db
