#pragma once

#include "db/Dialect.h"

#include <QList>
#include <QString>

#include <optional>

namespace vesko {

// One row of the search panel as the search statement sees it.
struct SearchRow
{
    QString caption;      // the column name, inserted as it stands
    bool ticked = false;  // only a fully ticked box counts
    int typeCode = 0;     // the column's type code: 3 integer, 7 date, any other text
    QString text;         // what the search box shows
    QString rangeStart;   // a confirmed date range: its start, empty when none
    QString rangeEnd;     // and its end
};

enum class SearchJoin { And, Or };

struct SearchCriteria
{
    QString defaultStatement;          // the base of every search
    SearchJoin join = SearchJoin::Or;  // op_and selected: And
    bool substring = false;            // ck_mohu not unticked: text columns match by substring
    QList<SearchRow> rows;             // panel rows in index order
};

// Composes the statement that 查询 runs.
//
// The first "where" of defaultStatement, in any letter case, as a whole word
// and outside quoted text, is kept with everything before it exactly as
// stored and followed by " "; the rest is dropped. Without it, " where " is
// appended. Each ticked row then adds its clause and the join:
//   integer  N=<numberText(text)>
//   date     N  between  <start>  and  <end>
//            whole days from the dialect, on the confirmed range when there
//            is one, else on text as one day
//   text     N='<text>'  or, with substring,  N LIKE '%<likeText(text)>%'
// A "'" inside a text value is doubled so that it cannot end its literal;
// "%" and "_" stay wildcards. Without a ticked row the statement is
// defaultStatement. Finally a trailing "and " is dropped, then a trailing "or ".
//
// A date reads as yyyy-m-d, yyyy/m/d or month-first m/d/yyyy, blanks around
// it ignored. Returns no statement when a date that would be used is none
// of these: nothing is to be sent to the database.
std::optional<QString> composeStatement(const SearchCriteria &criteria, const db::Dialect &dialect);

} // namespace vesko
