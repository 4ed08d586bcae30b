#include "gui/widgets/MessageBoxService.h"

#include <QMessageBox>

namespace vesko {

MessageBoxService::MessageBoxService(QWidget *parent)
    : m_parent(parent)
{
}

void MessageBoxService::show(const QString &text, Icon icon, const QString &detail)
{
    QMessageBox box(icon == Icon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                    kAppTitle, text, QMessageBox::Ok, m_parent);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.exec();
}

} // namespace vesko
