#include "gui/widgets/MessageBoxService.h"

#include "gui/widgets/FrontWindow.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
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
    if (m_shutDown)
        return;
    QMessageBox box(icon == Icon::Information ? QMessageBox::Information : QMessageBox::NoIcon, kAppTitle, text,
                    QMessageBox::Ok, frontWindow(m_parent));
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    // Enter closes the box, even from the details button: no other button
    // takes Enter for itself.
    box.setDefaultButton(QMessageBox::Ok);
    for (QPushButton *button : box.findChildren<QPushButton *>())
        button->setAutoDefault(button == box.button(QMessageBox::Ok));
    // The box sizes itself to its text; a short text would cut the caption.
    auto *layout = static_cast<QGridLayout *>(box.layout());
    layout->addItem(new QSpacerItem(box.fontMetrics().horizontalAdvance(kAppTitle) + kTitleBarExtra, 0),
                    layout->rowCount(), 0, 1, layout->columnCount());
    m_open.append(&box);
    box.exec();
    m_open.removeAll(&box);
}

void MessageBoxService::shutDown()
{
    m_shutDown = true;
    for (const QPointer<QMessageBox> &box : std::as_const(m_open))
        box->done(QMessageBox::Ok);
}

} // namespace vesko
