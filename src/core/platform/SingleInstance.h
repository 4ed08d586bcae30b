#pragma once

#include <QString>

namespace vesko {

// Tells whether another copy of the same executable runs, without disturbing
// it: an advisory lock on a file keyed by the executable's path in the user's
// runtime directory, held for the life of this object. The system drops the
// lock of a copy that crashed, so a stale lock file never blocks a start.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &executablePath);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when this copy is the only one; the lock is then held until the
    // object goes away.
    bool acquire();

    const QString &lockPath() const { return m_lockPath; }

private:
    QString m_lockPath;
    int m_fd = -1;
};

} // namespace vesko
