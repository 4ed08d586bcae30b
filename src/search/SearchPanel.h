#pragma once

#include "main/db/Result.h"
#include "ui/ProgramDirectory.h"

#include <QFrame>

namespace vesko {

class Clock;
class MessageService;

// The search panel's viewport pic_box: one check box and one search box per
// result column on a canvas that scrolls inside it.
class SearchPanel : public QFrame
{
    Q_OBJECT

public:
    SearchPanel(ProgramDirectory directory, MessageService &messages, const Clock &clock,
                QWidget *parent);

    // Rebuilds the rows from the columns of rs; throws on failure.
    void s_showfields(const db::Result &rs);

private:
    ProgramDirectory m_directory;
    MessageService &m_messages;
    const Clock &m_clock;
};

} // namespace vesko
