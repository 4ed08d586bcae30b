#pragma once

#include "db/Result.h"

#include <QString>

namespace vesko {

// What the data link needs of the main window to show a result.
class ResultView
{
public:
    virtual ~ResultView() = default;

    // Rebuilds the search panel from the columns of rs; throws on failure.
    virtual void rebuildSearchPanel(const db::Result &rs) = 0;
    // Shows rs in the grid; nullptr shows nothing.
    virtual void bindGrid(const db::ResultPtr &rs) = 0;
    // The grid selects the bound result's current row.
    virtual void showCurrentRow() = 0;
    virtual void setCountText(const QString &text) = 0;
    // Around every connect and statement: a busy cursor, say.
    virtual void databaseBusy(bool busy) = 0;
};

} // namespace vesko
