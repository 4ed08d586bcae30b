#pragma once

#include "core/link/DatabaseCall.h"

class QWidget;

namespace vesko {

// Waits for a database call on the window's thread. While it waits the
// windows paint but take no input, except Esc, which cancels at any moment,
// and window close requests, which reach their windows. After the first
// half second a progress window captioned "vesko信息" shows the time and the
// rows so far, with 取消 (and Esc) to cancel.
class ProgressWaiter : public CallWaiter
{
public:
    explicit ProgressWaiter(QWidget *window);

    void waitFor(DatabaseCall &call) override;

    static constexpr int kQuietMs = 500;

private:
    QWidget *m_window;
};

} // namespace vesko
