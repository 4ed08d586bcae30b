#include "core/platform/SingleInstance.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <unistd.h>

using namespace vesko;

namespace {

// Another start for a program directory, in a child process:
//   --hold <dir>    a first copy that keeps the directory until killed
//   --second <dir>  exits 0 when refused, after asking the first to show
int startAsChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    const bool hold = std::strcmp(argv[1], "--hold") == 0;
    if (instance.acquire() != hold)
        return 1;
    if (!hold) {
        instance.askRunningCopyToShow();
        return 0;
    }
    std::puts("held");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void aCrashedCopyLeavesNoLock()
    {
        QProcess first;
        first.start(QCoreApplication::applicationFilePath(), {"--hold", m_programDir.path()});
        QVERIFY(first.waitForReadyRead(60000));
        SingleInstance instance(m_programDir.path());
        QVERIFY(!instance.acquire());
        ::kill(first.processId(), SIGKILL);
        QVERIFY(first.waitForFinished());
        QVERIFY(instance.acquire());
    }

    void secondStartBringsTheFirstForward_data()
    {
        QTest::addColumn<bool>("hardLink");
        QTest::addColumn<bool>("otherEnvironment");
        QTest::newRow("same executable") << false << false;
        QTest::newRow("hard link under another name") << true << false;
        QTest::newRow("other runtime and temporary folders") << false << true;
    }

    void secondStartBringsTheFirstForward()
    {
        QFETCH(bool, hardLink);
        QFETCH(bool, otherEnvironment);
        // Beside the test executable, so a hard link stays on one file system.
        QTemporaryDir elsewhere(QCoreApplication::applicationDirPath() + "/elsewhere-XXXXXX");
        SingleInstance first(m_programDir.path());
        QVERIFY(first.acquire());
        QSignalSpy shown(&first, &SingleInstance::showRequested);

        QString executable = QCoreApplication::applicationFilePath();
        if (hardLink) {
            QCOMPARE(::link(QFile::encodeName(executable).constData(), QFile::encodeName(elsewhere.filePath("desk")).constData()), 0);
            executable = elsewhere.filePath("desk");
        }
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (otherEnvironment) {
            environment.insert("XDG_RUNTIME_DIR", elsewhere.path());
            environment.insert("TMPDIR", elsewhere.path());
        }
        second.setProcessEnvironment(environment);
        second.start(executable, {"--second", m_programDir.path()});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(QDir(m_programDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

private:
    QTemporaryDir m_programDir;
};

int main(int argc, char *argv[])
{
    if (argc == 3 && (std::strcmp(argv[1], "--hold") == 0 || std::strcmp(argv[1], "--second") == 0))
        return startAsChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
