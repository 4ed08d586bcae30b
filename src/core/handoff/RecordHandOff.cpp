#include "core/handoff/RecordHandOff.h"

#include "core/config/ProfileStore.h"
#include "core/platform/MessageService.h"
#include "db/Result.h"

#include <QList>

namespace vesko {

RecordHandOff::RecordHandOff(ProgramDirectory directory, MessageService &messages)
    : m_directory(std::move(directory))
    , m_messages(messages)
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
    return writeProfileValues(entries, m_directory.brinfoIni(), m_messages, ProfileStore::Encoding::Gbk);
}

void RecordHandOff::stopSignal() const
{
    const QList<ProfileEntry> stop{{kStopSection, kStopKey, kStopValue}};
    const QString path = m_directory.brinfoIni();
    try {
        try {
            ProfileStore::write(stop, path, ProfileStore::Encoding::Gbk);
        } catch (const FileError &error) {
            if (error.kind() != FileError::Kind::TooLarge)
                throw;
            ProfileStore::replace(stop, path);
        }
    } catch (const FileError &error) {
        showWriteError(error, m_messages);
    }
}

} // namespace vesko
