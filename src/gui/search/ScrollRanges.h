#pragma once

#include <optional>

namespace vesko {

// What fitScrollBars reads, in pixels.
struct ScrollInputs
{
    float viewportWidth = 0;        // pic_box outer Width
    float viewportHeight = 0;       // pic_box outer Height
    float viewportScaleWidth = 0;   // pic_box inner ScaleWidth
    float viewportScaleHeight = 0;  // pic_box inner ScaleHeight
    float canvasScaleWidth = 0;     // pic_dsgn ScaleWidth
    float canvasScaleHeight = 0;    // pic_dsgn ScaleHeight
    float verticalBarWidth = 16;    // VS1 Width
    float horizontalBarHeight = 19; // HS1 Height
};

struct ScrollBarFit
{
    bool visible = false;
    // Set only when the bar is shown; a hidden bar keeps its former Max.
    std::optional<int> max;
};

// What fitScrollBars sets besides returning the canvas to the top
// (canvas Top = 0, VS1.Value = 0, done by the caller beforehand).
struct ScrollLayout
{
    float horizontalBarTop = 0;   // along the viewport's bottom edge
    float horizontalBarWidth = 0; // left of VS1
    ScrollBarFit horizontal;
    ScrollBarFit vertical;
};

// Fits the two scroll bars to the canvas. HS1 shows when the canvas is
// strictly wider than the viewport's inner width less VS1's width; its range
// is that overflow. VS1 shows when the canvas is strictly taller than the
// viewport's inner height; its range is that overflow, plus HS1's height
// when HS1 shows. Single-precision arithmetic; ranges are rounded to
// integers with halves going to the even neighbour.
ScrollLayout scrollRanges(const ScrollInputs &in);

} // namespace vesko
