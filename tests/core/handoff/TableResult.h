#pragma once

#include "db/Snapshot.h"
#include "db/TypeCode.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace vesko::test {

// Text columns and rows of optional texts (no value = Null) in the snapshot
// an engine would give for them, on its first row.
struct TableResult
{
    using Row = QList<std::optional<QString>>;

    TableResult(const QStringList &names, const QList<Row> &rows)
        : snapshot([&names] {
            QList<db::Snapshot::ColumnInfo> columns;
            for (const QString &name : names)
                columns.append({name, db::TypeText});
            return columns;
        }())
    {
        for (const Row &row : rows) {
            for (int i = 0; i < row.size(); ++i) {
                const QByteArray utf8 = row[i].value_or(QString()).toUtf8();
                row[i] ? snapshot.cells(i).append(utf8.constData(), size_t(utf8.size())) : snapshot.cells(i).appendNull();
            }
        }
        snapshot.finish();
    }

    operator const db::Result &() const { return snapshot; }

    db::Snapshot snapshot;
};

} // namespace vesko::test
