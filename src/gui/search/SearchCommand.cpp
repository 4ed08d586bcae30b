#include "gui/search/SearchCommand.h"

#include "core/config/RunConfig.h"
#include "core/link/DataLink.h"
#include "db/TypeCode.h"
#include "gui/search/DateFrame.h"
#include "gui/search/SearchBox.h"
#include "gui/search/SearchPanel.h"
#include "core/search/StatementBuilder.h"
#include "core/platform/MessageService.h"

#include <QCheckBox>

namespace vesko {

namespace {

// A check box's Value: 0 unticked, 1 ticked, 2 greyed.
int checkValue(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

} // namespace

SearchCommand::SearchCommand(SearchPanel &panel, const RunConfig &config, DataLink &link,
                             MessageService &messages)
    : m_panel(panel)
    , m_config(config)
    , m_link(link)
    , m_messages(messages)
{
}

void SearchCommand::run(bool opAnd, Qt::CheckState substringOption)
{
    const int n = m_panel.rowCount();
    QList<int> types(n);
    for (int i = 0; i < n; ++i) {
        types[i] = m_panel.currentTypeCode(i).value_or(m_panel.builtTypeCode(i));
        if (m_panel.c_field(i)->checkState() == Qt::Checked && types[i] == db::TypeDate
            && !m_panel.fmrq()->isHidden())
            m_panel.fmrq()->confirmDateRange();
    }

    SearchCriteria criteria;
    criteria.defaultStatement = m_config.defaultStatement;
    criteria.join = opAnd ? SearchJoin::And : SearchJoin::Or;
    criteria.substringOption = checkValue(substringOption);
    criteria.rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        const SearchBox *box = m_panel.t_field(i);
        criteria.rows.append({m_panel.c_field(i)->text(), checkValue(m_panel.c_field(i)->checkState()),
                              types[i], box->text(), box->tag(), box->toolTip()});
    }

    if (const std::optional<QString> statement = composeStatement(criteria))
        m_link.refresh(*statement);
    else
        m_messages.show(DataLink::kStatementFailed, MessageService::Icon::Information);
}

} // namespace vesko
