#include "gui/search/ScrollRanges.h"

#include <cmath>

namespace vesko {

namespace {

// nearbyint rounds halves to even in the default rounding mode.
int toRange(float value)
{
    return static_cast<int>(std::nearbyint(value));
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
