#pragma once

#include "core/link/DatabaseCall.h"

class QWidget;

namespace vesko {

// Waits for a database call on the window's thread. For the first half
// second the windows paint but take no input (it waits its turn); after that
// a modal progress window captioned "vesko信息" shows the time and the rows
// so far, with 取消 (and Esc) to cancel.
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
