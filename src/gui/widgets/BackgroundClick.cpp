#include "gui/widgets/BackgroundClick.h"

#include <QMouseEvent>
#include <QWidget>

namespace vesko {

BackgroundClick::BackgroundClick(QWidget *widget, std::function<void()> action)
    : QObject(widget)
    , m_widget(widget)
    , m_action(std::move(action))
{
    widget->installEventFilter(this);
}

bool BackgroundClick::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (!m_widget->childAt(press->position().toPoint()))
            m_action();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vesko
