#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace vesko {

// One row of the search panel as the search statement sees it.
struct SearchRow
{
    QString caption;      // c_field(i).Caption: the column name, inserted as it stands
    int checkValue = 0;   // c_field(i).Value: only 1 counts as ticked (2, greyed, does not)
    int typeCode = 0;     // the column's type code: 3 integer, 7 date, any other text
    QString text;         // t_field(i).Text
    QString tag;          // t_field(i).Tag: confirmed date range start, empty when none
    QString toolTipText;  // t_field(i).ToolTipText: confirmed date range end
};

enum class SearchJoin { And, Or };

struct SearchCriteria
{
    QString defaultStatement;                     // the default statement, the base of every search
    SearchJoin join = SearchJoin::Or;  // op_and selected: And
    int substringOption = 0;                   // any value other than 0: text columns match by substring
    QList<SearchRow> rows;             // panel rows in index order
};

// Composes the statement that 查询 runs.
//
// The first lower-case "where" of defaultStatement (found anywhere, also inside a word
// or a literal) is kept with everything before it and followed by " "; the
// rest of defaultStatement is dropped. Without it, " where " is appended to defaultStatement. Each
// ticked row then adds its clause and the join:
//   integer  N=<numberText(text)>
//   date     N  between  # A 01:01:01 #  and  # B 23:59:01#
//            (A, B = tag, toolTipText when tag is not empty, else text twice)
//   text     N='<text>'  or, with ck_mohu,  N LIKE '%<text>%'
// A "'" inside a text value is doubled so that it cannot end its literal;
// "%" and "_" stay wildcards. Finally, in this order on what the previous
// step left: a statement ending in "where " becomes defaultStatement; a trailing
// "and " is dropped; a trailing "or " is dropped.
//
// Returns no statement when a date value that would be used holds "#" or
// "'": it cannot be a date, and nothing is to be sent to the database.
// Dates are otherwise not checked; an empty one gives an empty range.
//
// The date confirmation that a search runs for a ticked date column while
// the date frame is open is the caller's: run it (once per such column while
// the frame stays open) before collecting the rows.
std::optional<QString> composeStatement(const SearchCriteria &criteria);

} // namespace vesko
