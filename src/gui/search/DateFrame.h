#pragma once

#include <QGroupBox>

class QComboBox;

namespace vesko {

class Clock;
class MessageService;

// The date frame fmrq ("选择日期"): a start row and an end row of year, month
// and day combos Combo1 .. Combo6, and the OK button Command2 that confirms
// the range. The years run from 1900 to ten years after the clock's current
// year, and may also be typed. The combos' open lists are wider than the
// combos, so that every entry shows whole.
class DateFrame : public QGroupBox
{
    Q_OBJECT

public:
    DateFrame(MessageService &messages, const Clock &clock, QWidget *canvas);

    // Sets all six combos to date, start and end alike; each open list starts
    // at the entry shown.
    void setDate(const QDate &date);

    // The confirmation: with an empty combo shows "请正确选择日期！" and returns
    // false; otherwise emits confirmed(text, start, end) for the current
    // search box to take, lets pending events run, hides the frame and
    // returns true.
    bool confirmDateRange();

signals:
    // text: "从 Y-M-D 到 Y-M-D"; start: "Y-M-D"; end: "Y-M-D".
    void confirmed(const QString &text, const QString &start, const QString &end);

private:
    MessageService &m_messages;
    QComboBox *m_combos[6] = {};
};

} // namespace vesko
