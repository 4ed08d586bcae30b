#pragma once

#include <QLineEdit>

namespace vesko {

// A search box t_field_<i>: its text, and the date range a confirmation
// stored in it (the end also shown as its tooltip). Typing into the box
// drops the range: what the box shows is what is searched.
class SearchBox : public QLineEdit
{
    Q_OBJECT

public:
    SearchBox(int index, QWidget *parent);

    int index() const { return m_index; }

    const QString &rangeStart() const { return m_rangeStart; }
    QString rangeEnd() const { return toolTip(); }
    void setDateRange(const QString &start, const QString &end);

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
    QString m_rangeStart;
};

} // namespace vesko
