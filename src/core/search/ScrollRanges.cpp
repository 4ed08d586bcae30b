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
    layout.horizontalBarTop = in.viewportHeight - in.horizontalBarHeight - 4.0f;
    layout.horizontalBarWidth = in.viewportWidth - in.verticalBarWidth - 5.0f;

    const float heightOverflow = in.canvasScaleHeight - in.viewportScaleHeight;
    if (in.viewportScaleWidth - in.verticalBarWidth < in.canvasScaleWidth) {
        layout.horizontal.visible = true;
        layout.horizontal.max = toRange(in.canvasScaleWidth - in.viewportScaleWidth + in.verticalBarWidth);
        if (heightOverflow > 0) {
            layout.vertical.max = toRange(heightOverflow + in.horizontalBarHeight);
            layout.vertical.visible = true;
        }
    } else if (heightOverflow > 0) {
        layout.vertical.max = toRange(heightOverflow);
        layout.vertical.visible = true;
    }
    return layout;
}

} // namespace vesko
