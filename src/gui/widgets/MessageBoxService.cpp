#include "gui/widgets/MessageBoxService.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace vesko {

namespace {

// Room the title bar takes beside the caption: icon and buttons.
constexpr int kTitleBarExtra = 120;

} // namespace

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
    // Enter closes the box; it never toggles the details.
    box.setDefaultButton(QMessageBox::Ok);
    // The box sizes itself to its text; a short text would cut the caption.
    auto *layout = static_cast<QGridLayout *>(box.layout());
    layout->addItem(new QSpacerItem(box.fontMetrics().horizontalAdvance(kAppTitle) + kTitleBarExtra, 0),
                    layout->rowCount(), 0, 1, layout->columnCount());
    box.exec();
}

} // namespace vesko
