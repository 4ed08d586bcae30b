#include "core/link/DataLink.h"

#include "core/config/RunConfig.h"
#include "core/link/ResultView.h"
#include "db/Snapshot.h"
#include "core/platform/MessageService.h"

namespace vesko {

namespace {

class BusyGuard
{
public:
    explicit BusyGuard(ResultView &view)
        : m_view(view)
    {
        m_view.databaseBusy(true);
    }
    ~BusyGuard() { m_view.databaseBusy(false); }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    ResultView &m_view;
};

} // namespace

DataLink::DataLink(RunConfig &config, ProgramDirectory directory, MessageService &messages,
                   ResultView &view)
    : m_config(config)
    , m_directory(std::move(directory))
    , m_messages(messages)
    , m_view(view)
    , m_result(std::make_shared<db::Snapshot>())
{
}

void DataLink::openConnection()
{
    m_connection.reset();
    try {
        BusyGuard busy(m_view);
        m_connection = db::Connection::open(m_config.connectionString, m_directory.path());
        m_config.connected = true;
    } catch (const db::DbError &error) {
        m_config.connected = false;
        m_messages.show(kConnectFailed, MessageService::Icon::None, error.detail());
    }
}

void DataLink::runStatement(const QString &statement)
{
    m_result = std::make_shared<db::Snapshot>();
    try {
        if (!m_connection)
            throw db::DbError(QStringLiteral("No open connection."));
        BusyGuard busy(m_view);
        m_result = m_connection->execute(statement);
    } catch (const db::DbError &error) {
        m_result = std::make_shared<db::Snapshot>();
        m_messages.show(kStatementFailed, MessageService::Icon::Information, error.detail());
    }
}

void DataLink::refresh(const QString &statement)
{
    runStatement(statement);
    if (!m_result->isOpen()) {
        m_view.bindGrid(nullptr);
        return;
    }
    m_view.bindGrid(m_result);
    if (m_result->rowCount() > 0) {
        m_result->moveLast();
        m_view.showCurrentRow();
    }
    m_view.setCountText(countText(m_result->rowCount()));
}

void DataLink::reconnectAndShow(const QString &statement)
{
    openConnection();
    runStatement(statement);
    if (m_result->isOpen())
        showResult();
}

void DataLink::showResult()
{
    if (!m_result->isOpen())
        throw db::DbError(QStringLiteral("The statement gave no open result."));
    m_view.rebuildSearchPanel(*m_result);
    m_view.bindGrid(m_result);
    m_view.setCountText(countText(m_result->rowCount()));
}

db::Dialect DataLink::dialect() const
{
    return m_connection ? m_connection->dialect() : db::Dialect();
}

QString DataLink::countText(qint64 rows)
{
    return QStringLiteral("共有 %1 人").arg(rows);
}

} // namespace vesko
