#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vesko {

// One running copy per program directory, whatever the executable is called
// and whatever the environment says: an advisory lock on the directory
// itself, opened read-only, so a folder the desk cannot write still works.
// The system drops the lock of a copy that crashed. The copy that holds it
// listens on a local socket named from the directory, so a second start can
// ask it to come forward.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &programDirectory, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy for the directory: the lock is then
    // held, and requests are heard, until the object goes away.
    bool acquire();

    // From a copy that did not acquire: asks the running one to show itself.
    void askRunningCopyToShow();

signals:
    // Another start for the same directory asked this copy to come forward.
    void showRequested();

private:
    QString m_directory;
    QString m_serverName;
    int m_fd = -1;
    QLocalServer *m_server = nullptr;
};

} // namespace vesko
