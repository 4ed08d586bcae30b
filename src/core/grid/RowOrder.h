#pragma once

#include "db/Result.h"

#include <Qt>

#include <vector>

namespace vesko {

// The first rows rows of column of rs in the order a header click sorts
// them: numbers by value, dates and binary values by their stored bytes
// (dates are stored year first, in fixed widths), any other text as a
// Chinese reader orders it (by pinyin, Han before Latin). Null and
// unreadable numbers come first. Equal values keep the result's order in
// both directions.
//
// Each row's key is made once and the rows are sorted by their keys.
std::vector<int> sortedRows(const db::Result &rs, int column, int rows, Qt::SortOrder order);

} // namespace vesko
