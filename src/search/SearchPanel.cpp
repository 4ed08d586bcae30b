#include "search/SearchPanel.h"

namespace vesko {

SearchPanel::SearchPanel(ProgramDirectory directory, MessageService &messages, const Clock &clock,
                         QWidget *parent)
    : QFrame(parent)
    , m_directory(std::move(directory))
    , m_messages(messages)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("pic_box"));
    setFrameShape(QFrame::Box);
    setGeometry(3, 6, 235, 232);
}

void SearchPanel::s_showfields(const db::Result &rs)
{
    rs.columnCount();
}

} // namespace vesko
