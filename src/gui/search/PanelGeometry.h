#pragma once

#include <QList>

namespace vesko {

// Where a rebuild puts the rows of the search panel, in canvas pixels.
struct PanelRowGeometry
{
    float checkLeft = 0;
    float checkTop = 0;
    float checkWidth = 0;
    float checkHeight = 0;
    float boxLeft = 0;
    float boxTop = 0;
};

struct PanelGeometry
{
    // One entry per row after the build, index = row index: max(columns, 1)
    // entries, since row 0 stays also for a result without columns.
    QList<PanelRowGeometry> rows;
    // The canvas (pic_dsgn) height after the build.
    float canvasHeight = 0;
};

// The template row 0 that every other row copies its size from.
inline constexpr PanelRowGeometry panelTemplateRow{0, 6, 97, 19, 99, 6};
inline constexpr float panelInitialCanvasHeight = 225;
inline constexpr float panelTextBoxWidth = 115;
inline constexpr float panelTextBoxHeight = 23;

// Lays out the rows for a result with the given column count on a canvas
// that is currently canvasHeight high. Row 0 keeps the template's place;
// each further row lies one pitch (check box height + 5) under the previous
// one, its text box raised 4 above its check box. The canvas grows by one
// pitch whenever a row's bottom + 5 reaches its height, and never shrinks.
// Single-precision arithmetic throughout.
PanelGeometry panelGeometry(qsizetype columnCount, float canvasHeight);

} // namespace vesko
