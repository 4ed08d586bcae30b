#include "core/handoff/RecordHandOff.h"

#include "core/config/ProfileStore.h"
#include "db/Result.h"
#include "core/platform/MessageService.h"

#include <QList>

namespace vesko {

RecordHandOff::RecordHandOff(ProgramDirectory directory, MessageService &messages)
    : m_directory(std::move(directory)), m_messages(messages)
{
}

bool RecordHandOff::handOff(const db::Result &rs) const
{
    if (!rs.isOpen() || rs.currentRow() < 0) {
        m_messages.show(kNoRecord, MessageService::Icon::Information);
        return false;
    }

    const qint64 row = rs.currentRow();
    const int n = rs.columnCount();
    QList<ProfileEntry> entries;
    entries.reserve(2 * n + 2);
    entries.append({kCountSection, kCountKey, QString::number(n)});
    for (int i = 0; i < n; ++i) {
        const QString key = QString::number(i);
        entries.append({kNameSection, key, rs.columnName(i)});
        entries.append({kValueSection, key, rs.isNull(row, i) ? QString() : rs.text(row, i)});
    }
    entries.append({kOverSection, kOverKey, kOverValue, true});
    writeProfileValues(entries, m_directory.brinfoIni(), m_messages);
    return true;
}

void RecordHandOff::stopSignal() const
{
    writeProfileValue(kStopSection, kStopKey, kStopValue, m_directory.brinfoIni(), m_messages);
}

} // namespace vesko
