#include "core/platform/SingleInstance.h"
#include "support/ChildProcess.h"
#include "support/TestRunner.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

using namespace vesko;
using namespace vesko::test;

namespace {

using Claim = SingleInstance::Claim;

const QHash<Claim, QByteArray> kClaimWords{
    {Claim::Only, "only\n"}, {Claim::AnotherRuns, "another\n"}, {Claim::CannotTell, "cannot\n"}};

// start <dir> <runtime folder>: a start as main makes it; prints the claim
// and holds it until its input closes.
int start(const QStringList &arguments)
{
    SingleInstance instance(arguments[0], arguments[1]);
    const Claim claim = instance.acquire();
    if (claim == Claim::AnotherRuns)
        instance.askRunningCopyToShow();
    std::fputs(kClaimWords[claim].constData(), stdout);
    QTextStream(stdin).readAll();
    return 0;
}

// squat <name>: takes the name first and prints what one caller sent.
int squat(const QStringList &arguments)
{
    QLocalServer server;
    if (!arguments[0].startsWith(u'/'))
        server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    std::fputs(server.listen(arguments[0]) ? "listening\n" : "refused\n", stdout);
    if (!server.isListening())
        return 0;
    server.waitForNewConnection(-1);
    QLocalSocket *caller = server.nextPendingConnection();
    caller->waitForDisconnected(-1);
    std::printf("%lld\n", caller->bytesAvailable());
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

// Each line a child prints reaches the test at once.
int play(const QStringList &arguments)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
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

    // A second start of the same user brings the first copy forward, also
    // with another user (nobody) around: one who sends a request itself, or
    // one who takes the socket's name before the first copy starts, which
    // leaves the first copy unraised but tells the squatter nothing.
    void secondStartBringsTheFirstForward_data()
    {
        QTest::addColumn<bool>("elsewhere");     // from a hard link elsewhere, XDG_RUNTIME_DIR and TMPDIR there
        QTest::addColumn<bool>("privateFolder"); // the socket in a runtime folder
        QTest::addColumn<QString>("intruder");   // the role nobody plays
        QTest::addColumn<QByteArray>("squatterSaw");
        QTest::addColumn<bool>("raised");
        dataRow("another user's request raises nothing", false, false, "request", QByteArray(), true);
        dataRow("other name, runtime and temporary folders", true, false, "", QByteArray(), true);
        dataRow("abstract name squatted: told nothing", false, false, "squat", QByteArray("listening\n0\n"), false);
        dataRow("runtime folder: cannot be squatted", false, true, "squat", QByteArray("refused\n"), true);
    }

    void secondStartBringsTheFirstForward()
    {
        QFETCH(bool, elsewhere);
        QFETCH(bool, privateFolder);
        QFETCH(QString, intruder);
        QTemporaryDir other(QCoreApplication::applicationDirPath() + "/elsewhere-XXXXXX"); // one file system
        QTemporaryDir directory;
        const QString runtimeFolder = privateFolder ? other.path() : QString();
        SingleInstance first(directory.path(), runtimeFolder);
        QProcess nobody;
        runAsNobody(nobody);
        if (intruder == "squat") {
            startChild(nobody, "play", {"squat", first.serverName()});
            QVERIFY(nobody.waitForReadyRead(60000));
        }
        QCOMPARE(first.acquire(), Claim::Only);
        QSignalSpy shown(&first, &SingleInstance::showRequested);
        if (intruder == "request") {
            startChild(nobody, "play", {"request", first.serverName()});
            QTRY_COMPARE_WITH_TIMEOUT(nobody.state(), QProcess::NotRunning, 60000);
            QCOMPARE(nobody.exitCode(), 0);
            QCOMPARE(shown.count(), 0);
        }

        const QString program = elsewhere ? other.filePath("desk") : QCoreApplication::applicationFilePath();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &folder : elsewhere ? QStringList{"XDG_RUNTIME_DIR", "TMPDIR"} : QStringList())
            environment.insert(folder, other.path());
        const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
        QVERIFY(!elsewhere || ::link(self.constData(), QFile::encodeName(program).constData()) == 0);
        QProcess second;
        second.setProcessEnvironment(environment);
        startChild(second, "play", {"start", directory.path(), runtimeFolder}, program);
        second.closeWriteChannel();
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.readAllStandardOutput(), kClaimWords[Claim::AnotherRuns]);
        if (intruder == "squat") {
            QTRY_COMPARE_WITH_TIMEOUT(nobody.state(), QProcess::NotRunning, 60000);
            QTEST(nobody.readAllStandardOutput(), "squatterSaw");
        }
        QFETCH(bool, raised);
        if (raised)
            QTRY_COMPARE(shown.count(), 1);
    }

    // The desk may enter the program folder but not read it: two starts of
    // the desk user, from the executable in it.
    void oneCopyWhereTheFolderCannotBeRead_data()
    {
        QTest::addColumn<int>("programMode");
        QTest::addColumn<QByteArrayList>("claims");
        dataRow("the program can be read", 0755, QByteArrayList{"only\n", "another\n"});
        dataRow("nothing can be read", 0711, QByteArrayList{"cannot\n", "cannot\n"});
    }

    void oneCopyWhereTheFolderCannotBeRead()
    {
        QFETCH(int, programMode);
        QTemporaryDir folder(QCoreApplication::applicationDirPath() + "/closed-XXXXXX"); // where programs may run
        const QString program = folder.filePath("vesko");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QCOMPARE(::chmod(QFile::encodeName(program).constData(), mode_t(programMode)), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder.path()).constData(), 0711), 0);

        QProcess copies[2];
        QByteArrayList claims;
        for (QProcess &copy : copies) {
            runAsNobody(copy);
            startChild(copy, "play", {"start", folder.path(), QString()}, program);
            QVERIFY(copy.waitForReadyRead(60000));
            claims.append(copy.readAllStandardOutput());
        }
        QTEST(claims, "claims");
        for (QProcess &copy : copies) {
            copy.closeWriteChannel();
            QVERIFY(copy.waitForFinished(60000));
        }
    }
};

int main(int argc, char *argv[])
{
    return testsOrRole<TestSingleInstance>(argc, argv, "play", play);
}

#include "tst_singleinstance.moc"
