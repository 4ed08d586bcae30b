#pragma once

#include "core/link/DatabaseCall.h"
#include "db/Result.h"

#include <QString>

namespace vesko {

// What the data link needs of the main window: showing a result, and
// waiting for a database call (CallWaiter) while the window keeps painting.
class ResultView : public CallWaiter
{
public:
    virtual ~ResultView() = default;

    // Rebuilds the search panel from the columns of rs.
    virtual void rebuildSearchPanel(const db::Result &rs) = 0;
    // Shows rs in the grid; nullptr shows nothing.
    virtual void bindGrid(const db::ResultPtr &rs) = 0;
    // The grid selects the bound result's current row.
    virtual void showCurrentRow() = 0;
    virtual void setCountText(const QString &text) = 0;
};

} // namespace vesko
