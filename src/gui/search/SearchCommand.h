#pragma once

#include <qnamespace.h>

namespace vesko {

class DataLink;
class MessageService;
class SearchPanel;
struct RunConfig;

// The 查询 button exbt_find: composes the search statement from the panel's
// criteria on the default statement, in the dialect of the open connection,
// and runs it through refresh.
class SearchCommand
{
public:
    SearchCommand(SearchPanel &panel, const RunConfig &config, DataLink &link, MessageService &messages);

    // opAnd: op_and is selected; substringOption: ck_mohu's check state, any
    // but unticked matching text by substring.
    //
    // The panel's open date frame is confirmed first, then the rows are read.
    // Runs refresh once, or, when the search is refused (a date that reads as
    // none, a value the server's dialect cannot write), shows why and runs
    // nothing.
    void run(bool opAnd, Qt::CheckState substringOption);

private:
    SearchPanel &m_panel;
    const RunConfig &m_config;
    DataLink &m_link;
    MessageService &m_messages;
};

} // namespace vesko
