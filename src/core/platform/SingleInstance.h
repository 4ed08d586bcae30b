#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace vesko {

// One running copy per program directory, whatever the executable is called
// and whatever the environment says.
//
// The claim is an advisory lock on the directory itself, opened read-only so
// that a folder the desk cannot write still works, and on the executable when
// it lives in that directory, for a folder the desk may enter but not read.
// A copy locks each of the two that it can open; another copy holding either
// refuses the start. The system drops the locks of a copy that crashed.
//
// The copy that holds the claim listens on a local socket named from the
// directory, so that a second start of the same user can ask it to come
// forward. Both ends check the other's user: another user's process can
// neither raise the window nor receive a request. The socket lives in the
// user's runtime folder when it is one that only the user can use; elsewhere
// it has an abstract name, which another user can take first: the running
// copy then cannot be raised, and nothing else changes.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        Only,        // this is the only copy for the directory
        AnotherRuns, // another copy holds the directory
        CannotTell,  // neither the directory nor the executable could be locked:
                     // the start says so (text::kCannotTellCopies) and ends
    };

    // runtimeFolder: the user's runtime folder, /run/user/<uid> unless a test
    // names another.
    explicit SingleInstance(const QString &programDirectory, const QString &runtimeFolder = userRuntimeFolder(),
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // Claims the directory. While the object holds it (Only), requests are
    // heard until the object goes away.
    Claim acquire();

    // From a copy that did not acquire: asks the running one to show itself.
    void askRunningCopyToShow();

    // Where the running copy listens: a socket path, or an abstract name.
    const QString &serverName() const { return m_serverName; }

    static QString userRuntimeFolder();

signals:
    // Another start of the same user for the same directory asked this copy
    // to come forward.
    void showRequested();

private:
    void listen();
    void hear(QLocalSocket *socket);
    void release();

    QString m_directory;
    QString m_executable; // empty when the executable lives elsewhere
    QString m_serverName;
    bool m_abstract = true;
    QList<int> m_locks;
    QLocalServer *m_server = nullptr;
};

} // namespace vesko
