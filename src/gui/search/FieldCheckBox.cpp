#include "gui/search/FieldCheckBox.h"

namespace vesko {

FieldCheckBox::FieldCheckBox(int index, QWidget *parent)
    : QCheckBox(parent)
{
    setObjectName(QStringLiteral("c_field_%1").arg(index));
}

bool FieldCheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

} // namespace vesko
