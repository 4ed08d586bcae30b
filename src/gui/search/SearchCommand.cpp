#include "gui/search/SearchCommand.h"

#include "core/config/RunConfig.h"
#include "core/link/DataLink.h"
#include "core/platform/MessageService.h"
#include "core/search/StatementBuilder.h"
#include "gui/search/SearchPanel.h"

namespace vesko {

SearchCommand::SearchCommand(SearchPanel &panel, const RunConfig &config, DataLink &link, MessageService &messages)
    : m_panel(panel)
    , m_config(config)
    , m_link(link)
    , m_messages(messages)
{
}

void SearchCommand::run(bool opAnd, Qt::CheckState substringOption)
{
    m_panel.confirmOpenDateFrame();
    const SearchCriteria criteria{m_config.defaultStatement, opAnd ? SearchJoin::And : SearchJoin::Or,
                                  substringOption != Qt::Unchecked, m_panel.criteria()};
    const ComposedSearch search = composeStatement(criteria, m_link.dialect());
    if (search.refusal.isEmpty())
        m_link.refresh(search.statement);
    else
        m_messages.show(search.refusal, MessageService::Icon::Information);
}

} // namespace vesko
