#pragma once

#include <QGroupBox>

class QComboBox;

namespace vesko {

class MessageService;

// The date frame fmrq ("选择日期"): a start row and an end row of year, month
// and day combos, and the OK button Command2 that confirms the range.
class DateFrame : public QGroupBox
{
    Q_OBJECT

public:
    DateFrame(MessageService &messages, QWidget *canvas);

    // Sets all six combos to date: start and end alike.
    void setDate(const QDate &date);

    // Combo1 .. Combo6 by number (1 to 6).
    QComboBox *combo(int number) const;

    // The confirmation: with an empty combo shows "请正确选择日期！" and returns
    // false; otherwise emits confirmed(text, tag, toolTip) for the current
    // search box to take, lets pending events run, hides the frame and
    // returns true.
    bool confirmDateRange();

signals:
    // text: "从 Y-M-D 到 Y-M-D"; tag: the start "Y-M-D"; toolTip: the end.
    void confirmed(const QString &text, const QString &tag, const QString &toolTip);

private:
    MessageService &m_messages;
    QComboBox *m_combos[6] = {};
};

} // namespace vesko
