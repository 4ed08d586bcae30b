#include "gui/search/SearchBox.h"

#include <QPalette>

namespace vesko {

SearchBox::SearchBox(int index, QWidget *parent)
    : QLineEdit(parent)
    , m_index(index)
{
    setObjectName(QStringLiteral("t_field_%1").arg(index));
    setBackColor(Qt::white);
    connect(this, &QLineEdit::textEdited, this, [this] { setDateRange(QString(), QString()); });
}

void SearchBox::setDateRange(const QString &start, const QString &end)
{
    m_rangeStart = start;
    setToolTip(end);
}

void SearchBox::setBackColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
}

void SearchBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    emit gotFocus(m_index);
}

void SearchBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    emit lostFocus(m_index);
}

} // namespace vesko
