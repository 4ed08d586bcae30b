#pragma once

#include <qnamespace.h>

namespace vesko {

class DataLink;
class MessageService;
class SearchPanel;
struct RunConfig;

// The 查询 button exbt_find: composes the search statement from the panel's
// criteria on the default statement defaultStatement and runs it through refresh.
class SearchCommand
{
public:
    SearchCommand(SearchPanel &panel, const RunConfig &config, DataLink &link,
                  MessageService &messages);

    // opAnd: op_and is selected; substringOption: the match option ck_mohu's check state.
    //
    // Every ticked (value 1) date column meets the date frame: while fmrq is
    // shown its confirmation runs first, so a failed one (frame left open)
    // runs again, with its message, at the next ticked date column. The rows
    // are read after that. A column's type is that of the first column of
    // the current result with its name; a column the current result lacks
    // (after 全部, say) keeps the type the panel recorded when it was built.
    // refresh then runs exactly once; a statement that cannot be composed (a
    // date holding '#' or "'") shows the query message and runs nothing.
    void run(bool opAnd, Qt::CheckState substringOption);

private:
    SearchPanel &m_panel;
    const RunConfig &m_config;
    DataLink &m_link;
    MessageService &m_messages;
};

} // namespace vesko
