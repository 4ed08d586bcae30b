#include "core/link/DataLink.h"

#include "core/link/DatabaseCall.h"
#include "core/link/ResultView.h"
#include "core/platform/MessageService.h"
#include "db/ConnectionString.h"
#include "db/Snapshot.h"
#include "texts/Texts.h"

#include <QCoreApplication>
#include <QTimer>

#include <utility>

namespace vesko {

namespace {

QString connectionDetail(const QString &why, const QString &connectionString)
{
    return text::withConnectionString(why, db::maskPasswords(connectionString));
}

QString statementDetail(const QString &why, const QString &statement)
{
    return text::withStatement(why, statement);
}

} // namespace

DataLink::DataLink(ProgramDirectory directory, MessageService &messages, ResultView &view)
    : m_directory(std::move(directory))
    , m_messages(messages)
    , m_view(view)
    , m_result(std::make_shared<db::Snapshot>())
{
}

DataLink::Routine::Routine(DataLink &link)
    : m_link(link)
{
    ++m_link.m_depth;
}

DataLink::Routine::~Routine()
{
    if (--m_link.m_depth > 0)
        return;
    for (std::function<void()> &action : std::exchange(m_link.m_whenIdle, {}))
        QTimer::singleShot(0, QCoreApplication::instance(), std::move(action));
}

void DataLink::whenIdle(std::function<void()> action)
{
    if (isBusy())
        m_whenIdle.push_back(std::move(action));
    else
        action();
}

bool DataLink::runAndWait(DatabaseCall &call)
{
    call.start();
    m_view.waitFor(call);
    if (call.wasCancelled())
        return false;
    call.rethrow();
    return true;
}

bool DataLink::connect()
{
    const QString text = m_connectionString;
    const QString directory = m_directory.path();
    auto opened = std::make_shared<db::ConnectionPtr>();
    DatabaseCall call([opened, text, directory] { *opened = db::Connection::open(text, directory); }, {}, {});
    if (!runAndWait(call))
        return false;
    m_connection = *opened;
    m_connectionAbandoned = false;
    return true;
}

bool DataLink::openConnection(const QString &connectionString)
{
    const Routine routine(*this);
    m_connectionString = connectionString;
    m_connection.reset();
    m_connectionAbandoned = false;
    try {
        m_connected = connect();
        if (!m_connected)
            m_messages.show(kConnectFailed, MessageService::Icon::None,
                            connectionDetail(text::kCancelled, m_connectionString));
    } catch (const db::DbError &error) {
        m_connected = false;
        m_messages.show(kConnectFailed, MessageService::Icon::None,
                        connectionDetail(error.detail(), m_connectionString));
    }
    return m_connected;
}

db::ResultPtr DataLink::fetchOnce(const QString &statement)
{
    const db::ConnectionPtr connection = m_connection;
    auto result = std::make_shared<db::ResultPtr>();
    auto cancel = std::make_shared<db::CancelRequest>();
    DatabaseCall call([connection, statement, result, cancel] { *result = connection->execute(statement, cancel); },
                      [cancel] { cancel->cancel(); }, [connection] { return connection->rowsFetched(); });
    if (runAndWait(call))
        return *result;
    if (call.wasAbandoned()) {
        m_connection.reset();
        m_connectionAbandoned = true;
    }
    return nullptr;
}

db::ResultPtr DataLink::fetch(const QString &statement)
{
    if (!m_connection && !connect())
        return nullptr;
    try {
        return fetchOnce(statement);
    } catch (const db::DbError &error) {
        if (!error.connectionLost())
            throw;
    }
    if (!connect())
        return nullptr;
    return fetchOnce(statement);
}

DataLink::Outcome DataLink::execute(const QString &statement)
{
    const db::ResultPtr previous = m_result;
    m_result = std::make_shared<db::Snapshot>();
    if (!m_connection && !m_connectionAbandoned) {
        m_messages.show(kStatementFailed, MessageService::Icon::Information, text::kNoConnection);
        return Outcome::Failed;
    }
    try {
        if (db::ResultPtr result = fetch(statement)) {
            m_result = std::move(result);
            return Outcome::Done;
        }
    } catch (const db::DbError &error) {
        m_messages.show(kStatementFailed, MessageService::Icon::Information,
                        statementDetail(error.detail(), statement));
        return Outcome::Failed;
    }
    if (previous->isOpen()) {
        m_result = previous;
        return Outcome::Cancelled;
    }
    m_messages.show(kStatementFailed, MessageService::Icon::Information, statementDetail(text::kCancelled, statement));
    return Outcome::Failed;
}

void DataLink::runStatement(const QString &statement)
{
    const Routine routine(*this);
    execute(statement);
}

void DataLink::refresh(const QString &statement)
{
    const Routine routine(*this);
    if (execute(statement) == Outcome::Cancelled)
        return;
    if (!m_result->isOpen()) {
        m_view.bindGrid(nullptr);
        m_view.setCountText(countText(0));
        return;
    }
    m_view.bindGrid(m_result);
    if (m_result->rowCount() > 0) {
        m_result->moveLast();
        m_view.showCurrentRow();
    }
    m_view.setCountText(countText(m_result->rowCount()));
}

void DataLink::reconnectAndShow(const QString &connectionString, const QString &statement)
{
    const Routine routine(*this);
    openConnection(connectionString);
    if (execute(statement) == Outcome::Done && m_result->isOpen())
        showResult();
}

void DataLink::showResult()
{
    if (!m_result->isOpen())
        throw db::DbError(text::kNoOpenResult);
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
    return text::count(rows);
}

} // namespace vesko
