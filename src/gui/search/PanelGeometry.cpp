#include "gui/search/PanelGeometry.h"

namespace vesko {

PanelGeometry panelGeometry(qsizetype columnCount, float canvasHeight)
{
    PanelGeometry geometry;
    geometry.rows.reserve(qMax<qsizetype>(columnCount, 1));
    geometry.rows.append(panelTemplateRow);

    for (qsizetype i = 1; i < columnCount; ++i) {
        const PanelRowGeometry &previous = geometry.rows.constLast();
        PanelRowGeometry row = panelTemplateRow;
        row.checkLeft = previous.checkLeft;
        row.checkTop = row.checkHeight + previous.checkTop + 5.0f;
        if (row.checkHeight + row.checkTop + 5.0f >= canvasHeight)
            canvasHeight = row.checkHeight + canvasHeight + 5.0f;
        row.boxTop = row.checkTop - 4.0f;
        row.boxLeft = previous.boxLeft;
        geometry.rows.append(row);
    }
    geometry.canvasHeight = canvasHeight;
    return geometry;
}

} // namespace vesko
