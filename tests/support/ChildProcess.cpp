#include "support/ChildProcess.h"

#include <csignal>

#include <grp.h>
#include <unistd.h>

namespace vesko::test {

void startChild(QProcess &child, const QString &role, const QStringList &arguments, const QString &program)
{
    child.start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, QStringList{role} + arguments);
}

void runAsNobody(QProcess &child)
{
    child.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
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
