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

    // The whole record is taken before the first write, so a failing read
    // cannot leave a hand-off half written.
    const qint64 row = rs.currentRow();
    const int n = rs.columnCount();
    QList<QString> names;
    QList<QString> values;
    names.reserve(n);
    values.reserve(n);
    for (int i = 0; i < n; ++i) {
        names.append(rs.columnName(i));
        values.append(rs.isNull(row, i) ? QString() : rs.text(row, i));
    }

    write(kCountSection, kCountKey, QString::number(n));
    for (int i = 0; i < n; ++i) {
        const QString key = QString::number(i);
        write(kNameSection, key, names[i]);
        write(kValueSection, key, values[i]);
    }
    write(kOverSection, kOverKey, kOverValue);
    return true;
}

void RecordHandOff::stopSignal() const
{
    write(kStopSection, kStopKey, kStopValue);
}

void RecordHandOff::write(const QString &section, const QString &key, const QString &value) const
{
    writeProfileValue(section, key, value, m_directory.brinfoIni(), m_messages);
}

} // namespace vesko
