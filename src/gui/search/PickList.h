#pragma once

#include "core/platform/ProgramDirectory.h"
#include "core/search/PickListReader.h"

#include <QListWidget>

namespace vesko {

// The pick list ls_list on the search panel's canvas: the entries of one
// column's pick-list file, shown next to the search box that asked for them.
// Enter or a double-click on an entry chooses it; Esc gives up.
class PickList : public QListWidget
{
    Q_OBJECT

public:
    PickList(ProgramDirectory directory, QWidget *canvas);

    // Loads the column's entries in place of the old ones and, when there
    // are any, shows the list from its first entry beside box, wholly inside
    // shown (the part of the canvas on screen; both in canvas coordinates):
    // below the box, else above it, else covering it where neither side has
    // the room. A list taller than shown starts at shown's top.
    void openBeside(const QString &columnName, const QRect &box, const QRect &shown);
    // Hides the list, emptying it first when empty.
    void close(bool empty);
    // Takes the focus, on its current entry or else on the first.
    void enter();

signals:
    void entryChosen(const QString &text);
    void escaped();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    PickListReader m_reader;
};

} // namespace vesko
