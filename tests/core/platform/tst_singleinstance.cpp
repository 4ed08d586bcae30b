#include "core/platform/SingleInstance.h"
#include "support/ChildProcess.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <unistd.h>

using namespace vesko;
using namespace vesko::test;

namespace {

// A second start: second <dir> exits 0 when refused, having asked the
// first copy to show itself.
int secondStart(const QStringList &arguments)
{
    SingleInstance second(arguments[0]);
    if (second.acquire())
        return 1;
    second.askRunningCopyToShow();
    return 0;
}

} // namespace

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
        QTemporaryDir elsewhere(QCoreApplication::applicationDirPath() + "/elsewhere-XXXXXX"); // one file system
        QTemporaryDir directory;
        SingleInstance first(directory.path());
        QVERIFY(first.acquire());
        QSignalSpy shown(&first, &SingleInstance::showRequested);

        QString executable = QCoreApplication::applicationFilePath();
        if (!name.isEmpty()) {
            QCOMPARE(::link(QFile::encodeName(executable).constData(), QFile::encodeName(elsewhere.filePath(name)).constData()), 0);
            executable = elsewhere.filePath(name);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &folder : otherFolders ? QStringList{"XDG_RUNTIME_DIR", "TMPDIR"} : QStringList())
            environment.insert(folder, elsewhere.path());
        QProcess second;
        second.setProcessEnvironment(environment);
        startChild(second, "second", {directory.path()}, executable);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(shown.count(), 1);
    }
};

int main(int argc, char *argv[])
{
    return testsOrRole<TestSingleInstance>(argc, argv, "second", secondStart);
}

#include "tst_singleinstance.moc"
