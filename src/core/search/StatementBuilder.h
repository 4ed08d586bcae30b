#pragma once

#include "db/Dialect.h"
#include "db/TypeCode.h"

#include <QList>
#include <QString>

namespace vesko {

// One row of the search panel as the search statement sees it.
struct SearchRow
{
    QString caption;     // the column name, inserted as it stands
    bool ticked = false; // only a fully ticked box counts
    db::TypeCode typeCode = db::TypeCode::Text;
    QString text;       // what the search box shows
    QString rangeStart; // a confirmed date range: its start, empty when none
    QString rangeEnd;   // and its end
};

enum class SearchJoin { And, Or };

struct SearchCriteria
{
    QString defaultStatement;         // the base of every search
    SearchJoin join = SearchJoin::Or; // op_and selected: And
    bool substring = false;           // ck_mohu not unticked: text columns match by substring
    QList<SearchRow> rows;            // panel rows in index order
};

// What 查询 is to do: send statement, or, when refusal is not empty, show
// refusal to the clerk and send nothing.
struct ComposedSearch
{
    QString statement;
    QString refusal;
};

// Composes the statement that 查询 runs.
//
// Only the outermost level of defaultStatement counts: quoted text ('...',
// "...", `...`, [...]), comments (-- to the line end, /* ... */) and
// brackets are passed over. Its first "where" there, in any letter case and
// as a whole word, is kept with everything before it exactly as stored and
// followed by " "; the statement's own conditions are dropped. Without it,
// " where " is appended, after a line break when the statement ends in a
// "--" comment. A trailing "order by" there (any letter case) is kept, with
// everything after it, behind the composed conditions.
//
// The ticked rows' clauses, joined with " and " or " or " and followed by
// " ", are the conditions:
//   integer  N=<numberText(text)>
//   date     the dialect's dayRange of N, on the confirmed range when there
//            is one, else on text as one day
//   text     N=<literal(text)>  or, with substring,
//            N LIKE <containsPattern(text)>  followed by a blank
// Values are written in the dialect so that the server reads them exactly as
// typed; "%" and "_" stay wildcards. A value the dialect cannot write (a
// backslash for a server it does not know) is refused with a message that
// names the column. Without a ticked row the statement is defaultStatement,
// unchanged.
//
// A date reads, blanks around it ignored and full-width characters taken as
// their plain forms, as 2012-3-5, 2012/3/5, 2012.3.5, 2012年3月5日, 20120305
// or month-first 3/5/2012. A date that would be used and reads as none is
// refused with a message that names the column, the text and these forms.
ComposedSearch composeStatement(const SearchCriteria &criteria, const db::Dialect &dialect);

} // namespace vesko
