#include "core/search/ScrollRanges.h"

#include "core/search/SearchPanelOverflow.h"

#include <cmath>
#include <limits>

namespace vesko {

namespace {

// nearbyint rounds halves to even in the default rounding mode.
qint16 toRange(float value)
{
    const float rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<qint16>::min()
          && rounded <= std::numeric_limits<qint16>::max()))
        throw SearchPanelOverflow("search panel: scroll range beyond 16 bits");
    return static_cast<qint16>(rounded);
}

} // namespace

ScrollLayout scrollRanges(const ScrollInputs &in)
{
    ScrollLayout layout;
    layout.hs1Top = in.viewportHeight - in.hs1Height - 4.0f;
    layout.hs1Width = in.viewportWidth - in.vs1Width - 5.0f;

    const float heightOverflow = in.canvasScaleHeight - in.viewportScaleHeight;
    if (in.viewportScaleWidth - in.vs1Width < in.canvasScaleWidth) {
        layout.hs1.visible = true;
        layout.hs1.max = toRange(in.canvasScaleWidth - in.viewportScaleWidth + in.vs1Width);
        if (heightOverflow > 0) {
            layout.vs1.max = toRange(heightOverflow + in.hs1Height);
            layout.vs1.visible = true;
        }
    } else if (heightOverflow > 0) {
        layout.vs1.max = toRange(heightOverflow);
        layout.vs1.visible = true;
    }
    return layout;
}

} // namespace vesko
