#include "core/search/PanelGeometry.h"

#include "core/search/SearchPanelOverflow.h"

#include <limits>

namespace vesko {

PanelGeometry panelGeometry(qsizetype columnCount, float canvasHeight)
{
    if (columnCount > std::numeric_limits<qint16>::max())
        throw SearchPanelOverflow("search panel: more columns than row indices");

    PanelGeometry geometry;
    geometry.rows.reserve(qMax<qsizetype>(columnCount, 1));
    geometry.rows.append(panelTemplateRow);

    for (qsizetype i = 1; i < columnCount; ++i) {
        const PanelRowGeometry &previous = geometry.rows.constLast();
        PanelRowGeometry row = panelTemplateRow;
        row.c_fieldLeft = previous.c_fieldLeft;
        row.c_fieldTop = row.c_fieldHeight + previous.c_fieldTop + 5.0f;
        if (row.c_fieldHeight + row.c_fieldTop + 5.0f >= canvasHeight)
            canvasHeight = row.c_fieldHeight + canvasHeight + 5.0f;
        row.t_fieldTop = row.c_fieldTop - 4.0f;
        row.t_fieldLeft = previous.t_fieldLeft;
        geometry.rows.append(row);
    }
    geometry.canvasHeight = canvasHeight;
    return geometry;
}

} // namespace vesko
