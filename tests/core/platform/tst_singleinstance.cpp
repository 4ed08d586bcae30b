#include "core/platform/SingleInstance.h"
#include "support/ChildProcess.h"
#include "support/DataRow.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

using namespace vesko;
using namespace vesko::test;

namespace {

using Claim = SingleInstance::Claim;

const QHash<Claim, QByteArray> kClaimWords{
    {Claim::Only, "only\n"}, {Claim::AnotherRuns, "another\n"}, {Claim::CannotTell, "cannot\n"}};

void say(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fflush(stdout);
}

// start <dir> <runtime folder>: a start as main makes it; prints the claim
// and holds it until its input closes.
int start(const QStringList &arguments)
{
    SingleInstance instance(arguments[0], arguments[1]);
    const Claim claim = instance.acquire();
    if (claim == Claim::AnotherRuns)
        instance.askRunningCopyToShow();
    say(kClaimWords[claim]);
    QFile input;
    input.open(stdin, QIODevice::ReadOnly);
    input.readAll();
    return 0;
}

// squat <name>: takes the name first and prints what one caller sent.
int squat(const QStringList &arguments)
{
    QLocalServer server;
    if (!arguments[0].startsWith(u'/'))
        server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!server.listen(arguments[0])) {
        say("refused\n");
        return 0;
    }
    say("listening\n");
    server.waitForNewConnection(-1);
    QLocalSocket *caller = server.nextPendingConnection();
    qint64 received = 0;
    while (caller->waitForReadyRead(-1))
        received += caller->readAll().size();
    say(QByteArray::number(received) + '\n');
    return 0;
}

// request <name>: sends a byte to the abstract name, as any local user can,
// and waits for the listener to hang up.
int request(const QStringList &arguments)
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(arguments[0]);
    if (!socket.waitForConnected())
        return 2;
    socket.write("!");
    socket.waitForBytesWritten();
    socket.waitForDisconnected(-1);
    return 0;
}

int play(const QStringList &arguments)
{
    static const QHash<QString, ChildRole> acts{{"start", start}, {"squat", squat}, {"request", request}};
    return acts.value(arguments[0])(arguments.mid(1));
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("the other user's processes need root to start them");
    }

    void secondStartBringsTheFirstForward_data()
    {
        QTest::addColumn<QString>("name");       // of a hard link to the executable
        QTest::addColumn<bool>("otherFolders");  // XDG_RUNTIME_DIR and TMPDIR
        QTest::addColumn<bool>("privateFolder"); // the socket in a runtime folder
        dataRow("same executable", "", false, false);
        dataRow("hard link under another name", "desk", false, false);
        dataRow("other runtime and temporary folders", "", true, false);
        dataRow("socket in the runtime folder", "", false, true);
    }

    void secondStartBringsTheFirstForward()
    {
        QFETCH(QString, name);
        QFETCH(bool, otherFolders);
        QFETCH(bool, privateFolder);
        QTemporaryDir elsewhere(QCoreApplication::applicationDirPath() + "/elsewhere-XXXXXX"); // one file system
        QTemporaryDir directory;
        QTemporaryDir runtime;
        const QString runtimeFolder = privateFolder ? runtime.path() : QString();
        SingleInstance first(directory.path(), runtimeFolder);
        QCOMPARE(first.acquire(), Claim::Only);
        QSignalSpy shown(&first, &SingleInstance::showRequested);

        QString executable = QCoreApplication::applicationFilePath();
        if (!name.isEmpty()) {
            QCOMPARE(::link(QFile::encodeName(executable).constData(),
                            QFile::encodeName(elsewhere.filePath(name)).constData()),
                     0);
            executable = elsewhere.filePath(name);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &folder : otherFolders ? QStringList{"XDG_RUNTIME_DIR", "TMPDIR"} : QStringList())
            environment.insert(folder, elsewhere.path());
        QProcess second;
        second.setProcessEnvironment(environment);
        startChild(second, "play", {"start", directory.path(), runtimeFolder}, executable);
        second.closeWriteChannel();
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.readAllStandardOutput(), kClaimWords[Claim::AnotherRuns]);
        QTRY_COMPARE(shown.count(), 1);
    }

    // The desk may enter the program folder but not read it: two starts of
    // the desk user, from the executable in it.
    void oneCopyWhereTheFolderCannotBeRead_data()
    {
        QTest::addColumn<bool>("programReadable");
        QTest::addColumn<Claim>("firstClaim");
        QTest::addColumn<Claim>("secondClaim");
        dataRow("the program can be read", true, Claim::Only, Claim::AnotherRuns);
        dataRow("nothing can be read", false, Claim::CannotTell, Claim::CannotTell);
    }

    void oneCopyWhereTheFolderCannotBeRead()
    {
        QFETCH(bool, programReadable);
        QFETCH(Claim, firstClaim);
        QFETCH(Claim, secondClaim);
        QTemporaryDir folder(QCoreApplication::applicationDirPath() + "/closed-XXXXXX"); // one file system
        const QString program = folder.filePath("vesko");
        const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
        if (programReadable) {
            QCOMPARE(::link(self.constData(), QFile::encodeName(program).constData()), 0);
        } else {
            QVERIFY(QFile::copy(self, program));
            QCOMPARE(::chmod(QFile::encodeName(program).constData(), 0711), 0);
        }
        QCOMPARE(::chmod(QFile::encodeName(folder.path()).constData(), 0711), 0);

        QProcess copies[2];
        for (QProcess &copy : copies) {
            runAsNobody(copy);
            startChild(copy, "play", {"start", folder.path(), QString()}, program);
            QVERIFY(copy.waitForReadyRead(60000));
        }
        QCOMPARE(copies[0].readAllStandardOutput(), kClaimWords[firstClaim]);
        QCOMPARE(copies[1].readAllStandardOutput(), kClaimWords[secondClaim]);
        for (QProcess &copy : copies) {
            copy.closeWriteChannel();
            QVERIFY(copy.waitForFinished(60000));
        }
    }

    // Another user connects to the abstract name and sends a request.
    void anotherUserCannotRaise()
    {
        QTemporaryDir directory;
        SingleInstance first(directory.path(), QString());
        QCOMPARE(first.acquire(), Claim::Only);
        QSignalSpy shown(&first, &SingleInstance::showRequested);
        QProcess requester;
        runAsNobody(requester);
        startChild(requester, "play", {"request", first.serverName()});
        QTRY_COMPARE_WITH_TIMEOUT(requester.state(), QProcess::NotRunning, 60000);
        QCOMPARE(requester.exitCode(), 0);
        QCOMPARE(shown.count(), 0);
    }

    // Another user takes the socket's name before the first copy starts.
    void squatterChangesNothing_data()
    {
        QTest::addColumn<bool>("privateFolder");
        QTest::addColumn<QByteArray>("squatterSaw");
        dataRow("abstract name: taken, told nothing", false, QByteArray("listening\n0\n"));
        dataRow("runtime folder: cannot be taken", true, QByteArray("refused\n"));
    }

    void squatterChangesNothing()
    {
        QFETCH(bool, privateFolder);
        QFETCH(QByteArray, squatterSaw);
        QTemporaryDir directory;
        QTemporaryDir runtime;
        const QString runtimeFolder = privateFolder ? runtime.path() : QString();
        SingleInstance first(directory.path(), runtimeFolder);
        QProcess squatter;
        runAsNobody(squatter);
        startChild(squatter, "play", {"squat", first.serverName()});
        QVERIFY(squatter.waitForReadyRead(60000));
        QCOMPARE(first.acquire(), Claim::Only);
        QSignalSpy shown(&first, &SingleInstance::showRequested);

        QProcess second;
        startChild(second, "play", {"start", directory.path(), runtimeFolder});
        second.closeWriteChannel();
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.readAllStandardOutput(), kClaimWords[Claim::AnotherRuns]);
        if (privateFolder)
            QTRY_COMPARE(shown.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(squatter.state(), QProcess::NotRunning, 60000);
        QCOMPARE(squatter.readAllStandardOutput(), squatterSaw);
    }
};

int main(int argc, char *argv[])
{
    return testsOrRole<TestSingleInstance>(argc, argv, "play", play);
}

#include "tst_singleinstance.moc"
