#include "gui/widgets/FrontWindow.h"

#include <QApplication>
#include <QWidget>

namespace vesko {

QWidget *frontWindow(QWidget *owner)
{
    // isAncestorOf() stops at a window's edge; the owner of a dialog is
    // found through its parents.
    for (QWidget *active = QApplication::activeWindow(), *w = active; owner && w; w = w->parentWidget()) {
        if (w == owner)
            return active;
    }
    return owner;
}

} // namespace vesko
