#pragma once

#include "core/platform/MessageService.h"

#include <QMessageBox>
#include <QPointer>

namespace vesko {

// Shows each message in a modal QMessageBox with an OK button. OK is the
// only button that takes Enter, and the box is wide enough for its caption.
// Once the program is ending, no box waits for anyone.
class MessageBoxService : public MessageService
{
public:
    // parent: the window the boxes belong to; may change while the program
    // runs. A box shows in front of parent's window the user works in.
    explicit MessageBoxService(QWidget *parent = nullptr);

    void setParent(QWidget *parent) { m_parent = parent; }
    void show(const QString &text, Icon icon, const QString &detail = QString()) override;
    // Closes the open boxes and shows no more.
    void shutDown();

private:
    QWidget *m_parent;
    // Boxes open one inside another's wait.
    QList<QPointer<QMessageBox>> m_open;
    bool m_shutDown = false;
};

} // namespace vesko
