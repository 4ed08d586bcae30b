#include "core/platform/SingleInstance.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <unistd.h>

using namespace vesko;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStartBringsTheFirstForward_data()
    {
        QTest::addColumn<QString>("name"); // of a hard link to the executable
        QTest::addColumn<bool>("otherFolders"); // XDG_RUNTIME_DIR and TMPDIR
        QTest::newRow("same executable") << "" << false;
        QTest::newRow("hard link under another name") << "desk" << false;
        QTest::newRow("other runtime and temporary folders") << "" << true;
    }

    void secondStartBringsTheFirstForward()
    {
        QFETCH(QString, name);
        QFETCH(bool, otherFolders);
        QTemporaryDir programDirectory;
        QTemporaryDir elsewhere(QCoreApplication::applicationDirPath() + "/elsewhere-XXXXXX"); // one file system
        SingleInstance first(programDirectory.path());
        QVERIFY(first.acquire());
        QSignalSpy shown(&first, &SingleInstance::showRequested);

        QString executable = QCoreApplication::applicationFilePath();
        if (!name.isEmpty()) {
            QCOMPARE(::link(QFile::encodeName(executable).constData(), QFile::encodeName(elsewhere.filePath(name)).constData()), 0);
            executable = elsewhere.filePath(name);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (otherFolders) {
            environment.insert("XDG_RUNTIME_DIR", elsewhere.path());
            environment.insert("TMPDIR", elsewhere.path());
        }
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(executable, {"--second", programDirectory.path()});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(shown.count(), 1);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // A second start in a child process: exits 0 when refused, having asked
    // the first copy to show itself.
    if (argc == 3 && std::strcmp(argv[1], "--second") == 0) {
        SingleInstance second(QString::fromLocal8Bit(argv[2]));
        if (second.acquire())
            return 1;
        second.askRunningCopyToShow();
        return 0;
    }
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
