#pragma once

#include "db/DbError.h"
#include "db/TypeCode.h"

#include <QString>

#include <memory>
#include <string_view>

namespace vesko::db {

// A complete snapshot of one statement's result: every row fetched when the
// statement ran, exact row count, column names in result order (duplicates
// kept), a type code per column, values that keep Null apart from the empty
// text, and a current row.
//
// A statement that produced no result set gives a result that is not open:
// every accessor below then throws DbError, as the callers expect.
class Result
{
public:
    virtual ~Result() = default;

    virtual bool isOpen() const = 0;

    virtual int columnCount() const = 0;
    virtual qint64 rowCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual TypeCode columnType(int column) const = 0;
    // First column of that name (exact match), -1 when there is none.
    virtual int indexOf(const QString &name) const = 0;

    virtual bool isNull(qint64 row, int column) const = 0;
    // The stored UTF-8 bytes of a cell; empty for Null.
    virtual std::string_view bytes(qint64 row, int column) const = 0;
    // A cell as text for the grid and the hand-off: text unchanged, numbers in
    // plain decimal, dates as 2012/3/5, date-times as 2012/3/5 10:00:00.
    // Null gives the empty text.
    virtual QString text(qint64 row, int column) const = 0;
    // The first row of the column's longest stored value, -1 when every
    // value is empty or Null: what the grid measures to fit the column.
    virtual qint64 widestRow(int column) const = 0;

    // Current row: the first after opening (-1 when there are no rows).
    virtual qint64 currentRow() const = 0;
    // Throws DbError when the row does not exist.
    virtual void setCurrentRow(qint64 row) = 0;
    // Throws DbError on an empty result.
    virtual void moveLast() = 0;
};

using ResultPtr = std::shared_ptr<Result>;

} // namespace vesko::db
