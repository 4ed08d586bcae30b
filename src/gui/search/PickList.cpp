#include "gui/search/PickList.h"

#include <QKeyEvent>

namespace vesko {

PickList::PickList(ProgramDirectory directory, QWidget *canvas)
    : QListWidget(canvas)
    , m_reader(std::move(directory))
{
    setObjectName(QStringLiteral("ls_list"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setGeometry(99, 0, 115, 100);
    setAttribute(Qt::WA_NoMousePropagation);
    hide();
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](const QListWidgetItem *item) { emit entryChosen(item->text()); });
}

void PickList::openBeside(const QString &columnName, const QRect &box, const QRect &shown)
{
    clear();
    hide();
    // A list that cannot be read keeps its height and shows what was read.
    if (const std::optional<QStringList> entries = m_reader.read(columnName)) {
        addItems(*entries);
        resize(width(), PickListReader::listHeight(count()));
    }
    if (count() == 0)
        return;
    int top = box.y() + box.height() + 1;
    if (top + height() > shown.y() + shown.height())
        top = box.y() - height() - 1;
    top = qMax(shown.y(), qMin(top, shown.y() + shown.height() - height()));
    move(box.x(), top);
    scrollToTop();
    show();
    raise();
}

void PickList::close(bool empty)
{
    if (empty)
        clear();
    hide();
}

void PickList::enter()
{
    if (!currentItem())
        setCurrentRow(0);
    setFocus();
}

void PickList::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (const QListWidgetItem *item = currentItem())
            emit entryChosen(item->text());
        break;
    case Qt::Key_Escape:
        emit escaped();
        break;
    default:
        QListWidget::keyPressEvent(event);
    }
}

} // namespace vesko
