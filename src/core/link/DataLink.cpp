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
    , m_rs(std::make_shared<db::Snapshot>())
{
}

void DataLink::s_connect()
{
    m_cn.reset();
    try {
        BusyGuard busy(m_view);
        m_cn = db::Connection::open(m_config.g_cn, m_directory.path());
        m_config.g_cnok = true;
    } catch (const db::DbError &error) {
        m_config.g_cnok = false;
        m_messages.show(kConnectFailed, MessageService::Icon::None, error.detail());
    }
}

void DataLink::s_search(const QString &statement)
{
    m_rs = std::make_shared<db::Snapshot>();
    try {
        if (!m_cn)
            throw db::DbError(QStringLiteral("No open connection."));
        BusyGuard busy(m_view);
        m_rs = m_cn->execute(statement);
    } catch (const db::DbError &error) {
        m_rs = std::make_shared<db::Snapshot>();
        m_messages.show(kStatementFailed, MessageService::Icon::Information, error.detail());
    }
}

void DataLink::s_ref(const QString &statement)
{
    s_search(statement);
    try {
        bindGrid();
    } catch (const std::exception &) {
    }
    try {
        openResult().moveLast();
        m_view.showCurrentRow();
    } catch (const std::exception &) {
    }
    try {
        m_view.setCountText(countText(openResult().rowCount()));
    } catch (const std::exception &) {
    }
}

void DataLink::ceshi_cn(const QString &statement)
{
    s_connect();
    s_search(statement);
    try {
        showResult();
    } catch (const std::exception &) {
    }
}

void DataLink::showResult()
{
    m_view.s_showfields(openResult());
    bindGrid();
    m_view.setCountText(countText(openResult().rowCount()));
}

db::Result &DataLink::openResult() const
{
    if (!m_rs->isOpen())
        throw db::DbError(QStringLiteral("The statement gave no open result."));
    return *m_rs;
}

QString DataLink::countText(qint64 rows)
{
    return QStringLiteral("共有 %1 人").arg(rows);
}

void DataLink::bindGrid()
{
    if (!m_rs->isOpen()) {
        m_view.bindGrid(nullptr);
        openResult();
    }
    m_view.bindGrid(m_rs);
}

} // namespace vesko
