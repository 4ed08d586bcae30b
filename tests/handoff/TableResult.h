#pragma once

#include "main/db/Result.h"

#include <QList>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace vesko::test {

// A one-table result held in memory: column names and rows of optional
// texts (no value = Null). Not open when constructed with open = false.
class TableResult : public db::Result
{
public:
    using Row = QList<std::optional<QString>>;

    TableResult(QStringList names, QList<Row> rows, bool open = true)
        : m_names(std::move(names)), m_open(open), m_current(rows.isEmpty() ? -1 : 0)
    {
        for (const Row &row : rows) {
            std::vector<std::optional<std::string>> cells;
            for (const auto &cell : row)
                cells.push_back(cell ? std::optional(cell->toStdString()) : std::nullopt);
            m_rows.push_back(std::move(cells));
        }
    }

    bool isOpen() const override { return m_open; }
    int columnCount() const override { return check(), int(m_names.size()); }
    qint64 rowCount() const override { return check(), qint64(m_rows.size()); }
    QString columnName(int column) const override { return check(), m_names.at(column); }
    int columnType(int) const override { return check(), 0; }
    int indexOf(const QString &name) const override { return check(), int(m_names.indexOf(name)); }
    bool isNull(qint64 row, int column) const override { return !cell(row, column); }
    std::string_view bytes(qint64 row, int column) const override
    {
        const auto &c = cell(row, column);
        return c ? std::string_view(*c) : std::string_view();
    }
    QString text(qint64 row, int column) const override
    {
        const auto &c = cell(row, column);
        return c ? QString::fromStdString(*c) : QString();
    }
    qint64 currentRow() const override { return check(), m_current; }
    void setCurrentRow(qint64 row) override
    {
        check();
        if (row < 0 || row >= qint64(m_rows.size()))
            throw db::DbError(QStringLiteral("no such row"));
        m_current = row;
    }
    void moveLast() override { setCurrentRow(qint64(m_rows.size()) - 1); }

private:
    void check() const
    {
        if (!m_open)
            throw db::DbError(QStringLiteral("result not open"));
    }
    const std::optional<std::string> &cell(qint64 row, int column) const
    {
        check();
        return m_rows.at(size_t(row)).at(size_t(column));
    }

    QStringList m_names;
    std::vector<std::vector<std::optional<std::string>>> m_rows;
    bool m_open;
    qint64 m_current;
};

} // namespace vesko::test
