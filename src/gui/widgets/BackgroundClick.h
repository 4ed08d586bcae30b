#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace vesko {

// Runs an action when a mouse button is pressed on a widget's own
// background: a press that lands on none of its child widgets, whether the
// widget got it first hand or a child passed it on unhandled.
class BackgroundClick : public QObject
{
    Q_OBJECT

public:
    // Watches widget; the filter is owned by it.
    BackgroundClick(QWidget *widget, std::function<void()> action);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_widget;
    std::function<void()> m_action;
};

} // namespace vesko
