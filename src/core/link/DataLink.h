#pragma once

#include "core/platform/ProgramDirectory.h"
#include "db/Connection.h"
#include "db/Result.h"
#include "texts/Texts.h"

#include <QString>

#include <functional>
#include <vector>

namespace vesko {

class DatabaseCall;
class MessageService;
class ResultView;

// The main window's connection and current result, and the routines that
// replace them. Each routine reports its own failures through the message
// service and returns normally; the caller reads the outcome from result().
//
// Every connect and statement runs off the window's thread while the view
// waits for it (ResultView::waitFor), so the order of steps is that of a
// plain call. A statement cancelled by the user changes nothing when there
// is a result to keep; without one it fails as any statement does. A
// statement that fails because the connection was lost is run once more on
// a fresh connection before anything is shown.
class DataLink
{
public:
    static inline const QString &kConnectFailed = text::kConnectFailed;
    static inline const QString &kStatementFailed = text::kStatementFailed;

    DataLink(ProgramDirectory directory, MessageService &messages, ResultView &view);

    // Drops the connection and opens a fresh one; false when it failed,
    // which it has shown.
    bool openConnection(const QString &connectionString);
    // Whether the last openConnection() succeeded.
    bool isConnected() const { return m_connected; }
    // Runs statement into a fresh result; on failure the result is not open.
    void runStatement(const QString &statement);
    // runStatement, then bind the grid; with an open result also make its
    // last row current and rewrite the count. After a failure the count
    // reads 0, as the grid shows no rows.
    void refresh(const QString &statement);
    // openConnection, runStatement, and with an open result showResult().
    void reconnectAndShow(const QString &connectionString, const QString &statement);

    // Shows an open result: rebuild the panel, bind the grid, rewrite the
    // count. Throws db::DbError when the result is not open.
    void showResult();

    // The current result, never null; not open before the first statement
    // and after a failed one.
    const db::ResultPtr &result() const { return m_result; }

    // Whether a routine above runs. Its calls wait in nested event loops, in
    // which nothing may start another routine.
    bool isBusy() const { return m_depth > 0; }
    // Runs action now, or from the event loop once the running routine has
    // returned.
    void whenIdle(std::function<void()> action);

    // The dialect of the open connection; the standard one without.
    db::Dialect dialect() const;

    static QString countText(qint64 rows);

private:
    enum class Outcome { Done, Failed, Cancelled };

    // Marks a routine as running for as long as it lives.
    class Routine
    {
    public:
        explicit Routine(DataLink &link);
        ~Routine();
        Routine(const Routine &) = delete;
        Routine &operator=(const Routine &) = delete;

    private:
        DataLink &m_link;
    };

    // Opens a connection with the last connection string; false when
    // cancelled. Throws db::DbError.
    bool connect();
    // Runs statement into m_result, showing its failure.
    Outcome execute(const QString &statement);
    // The statement's result, with one more try on a fresh connection when
    // the connection was lost; null when cancelled. Throws db::DbError.
    db::ResultPtr fetch(const QString &statement);
    db::ResultPtr fetchOnce(const QString &statement);
    // Runs the call and waits for it; false when it was cancelled.
    bool runAndWait(DatabaseCall &call);

    ProgramDirectory m_directory;
    MessageService &m_messages;
    ResultView &m_view;
    QString m_connectionString;
    bool m_connected = false;
    db::ConnectionPtr m_connection;
    // The connection was left behind by a cancel the engine did not answer:
    // the next statement opens a fresh one first.
    bool m_connectionAbandoned = false;
    db::ResultPtr m_result;
    int m_depth = 0;
    std::vector<std::function<void()>> m_whenIdle;
};

} // namespace vesko
