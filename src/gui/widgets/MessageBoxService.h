#pragma once

#include "core/platform/MessageService.h"

class QWidget;

namespace vesko {

// Shows each message in a modal QMessageBox with an OK button. OK is the
// only button that takes Enter, and the box is wide enough for its caption.
class MessageBoxService : public MessageService
{
public:
    // parent: the window the boxes belong to; may change while the program runs.
    explicit MessageBoxService(QWidget *parent = nullptr);

    void setParent(QWidget *parent) { m_parent = parent; }
    void show(const QString &text, Icon icon, const QString &detail = QString()) override;

private:
    QWidget *m_parent;
};

} // namespace vesko
