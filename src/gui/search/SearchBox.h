#pragma once

#include <QLineEdit>

namespace vesko {

// A search box t_field(i): its text, and the date range a confirmation
// stored in it: the start in tag(), the end in toolTip() (shown as tooltip).
class SearchBox : public QLineEdit
{
    Q_OBJECT

public:
    SearchBox(int index, QWidget *parent);

    int index() const { return m_index; }

    const QString &tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // The box's background (cyan while focused, white otherwise).
    void setBackColor(const QColor &color);

signals:
    void gotFocus(int index);
    void lostFocus(int index);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_index;
    QString m_tag;
};

} // namespace vesko
