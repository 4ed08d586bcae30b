#pragma once

#include "support/TestRunner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <csignal>

#include <grp.h>
#include <unistd.h>

namespace vesko::test {

// A test's other processes are its own executable started again: the name of
// the role a child plays first, the role's arguments after it.
using ChildRole = int (*)(const QStringList &arguments);

// Starts this executable, or `program` (a link to it), playing role.
inline void startChild(QProcess &child, const QString &role, const QStringList &arguments,
                       const QString &program = QString())
{
    child.start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, QStringList{role} + arguments);
}

// Makes the child run as the user and group nobody (65534), a real other user
// (the test runs as root); a child that cannot drop to it exits with 127.
inline void runAsNobody(QProcess &child)
{
    child.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(127);
    });
}

// Starts program with signal blocked here while the child starts, and so in
// the child: the signal waits there until the child is ready for it.
inline void startHoldingSignal(QProcess &child, const QString &program, int signal)
{
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    child.start(program);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// The main of a test program whose children play role.
template<class Tests>
int testsOrRole(int argc, char *argv[], const QString &role, ChildRole play)
{
    QCoreApplication app(argc, argv);
    if (QCoreApplication::arguments().value(1) == role)
        return play(QCoreApplication::arguments().mid(2));
    ExceptionsFailTheRow<Tests> runner;
    return QTest::qExec(&runner, argc, argv);
}

} // namespace vesko::test
