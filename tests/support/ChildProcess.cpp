#include "support/ChildProcess.h"

#include <csignal>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace vesko::test {

void startChild(QProcess &child, const QString &role, const QStringList &arguments, const QString &program)
{
    child.start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, QStringList{role} + arguments);
}

void runAsNobody(QProcess &child)
{
    const passwd *nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    child.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(127);
    });
}

void startHoldingSignal(QProcess &child, const QString &program, int signal)
{
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    child.start(program);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace vesko::test
