#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "core/handoff/RecordHandOff.h"
#include "core/platform/SingleInstance.h"
#include "db/Connection.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vesko;
using namespace vesko::test;

// The files of a program directory and the processes that share them: the
// profile store, vesko.ini, the hand-off and the one running copy. Children
// of this executable play the other processes.
namespace {

// A writer: --write <uid or -1> <file size limit or 0> <path>. Exits 0 when
// it stored s/k=new, 3 when it showed "写出错！".
int writeAsChild(char **argv)
{
    const rlim_t limit = std::strtoull(argv[3], nullptr, 10);
    const rlimit fileSize{limit, limit};
    if ((limit > 0 && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &fileSize) != 0))
        || (std::atoi(argv[2]) >= 0 && ::setuid(uid_t(std::atoi(argv[2]))) != 0))
        return 2;
    MessageRecorder messages;
    writeProfileValue("s", "k", limit > 0 ? QString(int(limit) * 2, 'n') : "new", QString::fromLocal8Bit(argv[4]), messages);
    return messages.messages.isEmpty() ? 0 : 3;
}

// The empty SQLite file of a program directory, which the records come from.
db::ConnectionPtr registry(const QString &directory)
{
    QFile(directory + "/registry.db").open(QIODevice::Append);
    return db::Connection::open(QStringLiteral("Provider=SQLite;Data Source=registry.db"), directory);
}

// One row of n columns named c0, c1, ...; values v0, v1, ... after `padding` copies of tag.
db::ResultPtr numbered(db::Connection &registry, int n, const QString &tag = QString(), int padding = 0)
{
    QStringList cells;
    for (int i = 0; i < n; ++i)
        cells.append(QStringLiteral("'%1v%2' as c%2").arg(tag.repeated(padding)).arg(i));
    return registry.execute("select " + cells.join(", "));
}

// The records a desk hands over in turn: a wide and a narrow one of long values.
db::ResultPtr deskRecord(db::Connection &registry, int k)
{
    return k % 2 ? numbered(registry, 7, QStringLiteral("乙"), 500) : numbered(registry, 40, QStringLiteral("甲"), 1000);
}

// A desk: --hand-off-forever <dir> hands over deskRecord(0), (1), (2) ...
// with a '.' after each, until it is killed.
int handOffForever(const QString &directory)
{
    MessageRecorder messages;
    const RecordHandOff handOff{ProgramDirectory(directory), messages};
    const db::ConnectionPtr records = registry(directory);
    for (int k = 0; messages.messages.isEmpty(); ++k) {
        handOff.handOff(*deskRecord(*records, k));
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
    return 1;
}

// A second start: --second <dir> exits 0 when refused, having asked the
// first copy to show itself.
int secondStart(const QString &directory)
{
    SingleInstance second(directory);
    if (second.acquire())
        return 1;
    second.askRunningCopyToShow();
    return 0;
}

// Owner and mode, then what the file holds, opening nothing but a regular file.
QByteArrayList fingerprint(const QString &path)
{
    const QFileInfo info(path);
    const QByteArray content = info.isFile() ? readBytes(path) : "special";
    return {QByteArray::number(info.ownerId()) + ' ' + QByteArray::number(int(info.permissions())), content};
}

} // namespace

class TestProgramDirectory : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tmp.emplace();
        m_dir = ProgramDirectory(m_tmp->path());
        m_path = m_dir.veskoIni();
        m_registry = registry(m_tmp->path());
        m_messages.clear();
    }

    void readsHandWrittenFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("letter case of names") << QByteArray("; note\r\n[people]\r\nname=x\r\n") << "PEOPLE" << "NAME" << "x";
        QTest::newRow("blanks around names and value") << QByteArray("  [ a b ]  \r\n\t key \t=  x y  \r\n") << "a b" << "key" << "x y";
        QTest::newRow("first section of a name counts") << QByteArray("[a]\r\nk=1\r\n[a]\r\nk=2\r\nn=3\r\n") << "a" << "k" << "1";
        QTest::newRow("key of a later same-named section") << QByteArray("[a]\r\nk=1\r\n[a]\r\nn=3\r\n") << "a" << "n" << "-1";
        QTest::newRow("value keeps later equals signs") << QByteArray("[a]\r\nk=select 1 where a=1\r\n") << "a" << "k" << "select 1 where a=1";
        QTest::newRow("300-byte value whole") << "[a]\r\nk=" + QByteArray(300, 'x') << "a" << "k" << QString(300, 'x');
        QTest::newRow("0x80 is the euro sign") << QByteArray("[a]\r\nk=1\x80, \x81\x40\x80\r\n") << "a" << "k" << QStringLiteral("1€, 丂€");
    }

    void readsHandWrittenFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY(writeBytes(m_path, file));
        QCOMPARE(ProfileStore::read(section, key, m_path), expected);
    }

    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QList<ProfileEntry>>("entries");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("creates a missing file with CR LF") << kMissingFile << QList<ProfileEntry>{{QStringLiteral("数据连接"), "value", QStringLiteral("张三")}}
            << QByteArray("[\xca\xfd\xbe\xdd\xc1\xac\xbd\xd3]\r\nvalue=\xd5\xc5\xc8\xfd\r\n");
        QTest::newRow("replaces in place, keeping comments and LF ends") << QByteArray("; note\n[a]\nk=old\nz=1\n\n[b]\nk=2\n") << QList<ProfileEntry>{{"A", "K", "new"}}
            << QByteArray("; note\n[a]\nk=new\nz=1\n\n[b]\nk=2\n");
        QTest::newRow("a key at the end of its section, a section at the end") << QByteArray("[a]\r\nk=1\r\n\r\n[b]\r\nk=2") << QList<ProfileEntry>{{"a", "n", "v"}, {"c", "k", "3"}}
            << QByteArray("[a]\r\nk=1\r\nn=v\r\n\r\n[b]\r\nk=2\r\n[c]\r\nk=3\r\n");
        QTest::newRow("line breaks in a value become blanks, empty value") << QByteArray("[a]\r\nk=1\r\n") << QList<ProfileEntry>{{"a", "k", "x\r\ny\nz\rw"}, {"a", "e", ""}}
            << QByteArray("[a]\r\nk=x y z w\r\ne=\r\n");
        QTest::newRow("euro as 0x80, beyond GBK as GB18030") << QByteArray() << QList<ProfileEntry>{{"a", "k", QStringLiteral("€😀")}}
                                                              << QByteArray("[a]\r\nk=\x80\x94\x39\xfc\x36\r\n");
        QTest::newRow("an entry moved to the end takes its section along") << QByteArray("[over]\r\nvalue=no\r\nx=1\r\n\r\n[stop]\r\nvalue=stop\r\n") << QList<ProfileEntry>{{"over", "value", "yes", true}}
            << QByteArray("\r\n[stop]\r\nvalue=stop\r\n[over]\r\nx=1\r\nvalue=yes\r\n");
    }

    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QList<ProfileEntry>, entries);
        QFETCH(QByteArray, after);
        if (before != kMissingFile)
            QVERIFY(writeBytes(m_path, before));
        ProfileStore::write(entries, m_path);
        QCOMPARE(readBytes(m_path), after);
        QCOMPARE(ProfileStore::read(entries.last().section, entries.last().key, m_path), entries.last().value);
    }

    // Writers in child processes, with a file size limit (SIGXFSZ ignored)
    // or as another user. A write that cannot be completed leaves the file
    // byte for byte; a FIFO or an oversized file is never read; owner and mode
    // are kept; no other file is left beside it.
    void writesFromAnotherProcess_data()
    {
        QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("read"); // s/k after the write; unchanged file when "old" or "-1"
        QTest::newRow("read-only file, even for root") << "read-only" << "old";
        QTest::newRow("file size limit at the flush") << "limit 64" << "old";
        QTest::newRow("file size limit while writing") << "limit 65536" << "old";
        QTest::newRow("FIFO") << "fifo" << "-1";
        QTest::newRow("over the size cap") << "large" << "-1";
        QTest::newRow("nobody, folder forbids a new file: in place") << "root's 0666" << "new";
        QTest::newRow("root writes another user's file") << "nobody's 0640" << "new";
    }

    void writesFromAnotherProcess()
    {
        QFETCH(QString, make);
        QFETCH(QString, read);
        const QString writer = make == "root's 0666" ? "65534" : "-1";
        const QByteArray path = QFile::encodeName(m_path);
        if (make == "fifo")
            QCOMPARE(::mkfifo(path.constData(), 0666), 0);
        else
            QVERIFY(writeBytes(m_path, "[s]\r\nk=old\r\n"));
        if (make == "large")
            QVERIFY(QFile::resize(m_path, ProfileStore::kMaxFileSize + 1));
        if ((writer != "-1" || make == "nobody's 0640") && ::geteuid() != 0)
            QSKIP("needs root to act for another user");
        const uid_t owner = make == "nobody's 0640" ? 65534 : ::geteuid();
        const mode_t mode = make == "read-only" ? 0444 : make == "nobody's 0640" ? 0640 : 0666;
        QVERIFY(::chown(path.constData(), owner, gid_t(-1)) == 0 && ::chmod(path.constData(), mode) == 0);
        QCOMPARE(::chmod(QFile::encodeName(m_tmp->path()).constData(), 0755), 0);
        const QByteArrayList before = fingerprint(m_path);
        const QStringList files = QDir(m_tmp->path()).entryList(QDir::AllEntries | QDir::Hidden);

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--write", writer, make.startsWith("limit") ? make.mid(6) : "0", m_path});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), read == "new" ? 0 : 3);
        QCOMPARE(ProfileStore::read("s", "k", m_path), read);
        QCOMPARE(fingerprint(m_path).first(), before.first());
        if (read != "new")
            QCOMPARE(fingerprint(m_path), before);
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::AllEntries | QDir::Hidden), files);
    }

    void positions_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected"); // as written back, -1 when not set, "error" for PositionError
        QTest::newRow("no file") << "-1" << "-1";
        QTest::newRow("fraction") << "12.5" << "12.5";
        QTest::newRow("beyond 32767 pixels") << "491520" << "error";
        QTest::newRow("text") << "abc" << "error";
        QTest::newRow("nan") << "nan" << "error";
    }

    void positions()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        if (stored != "-1")
            ProfileStore::write(ini::kPosition, ini::kLeft, stored, m_path);
        if (expected == "error")
            QVERIFY_THROWS_EXCEPTION(PositionError, readPosition(m_path, ini::kLeft));
        else
            QCOMPARE(positionText(readPosition(m_path, ini::kLeft).value_or(-1)), expected);
        QCOMPARE(QFile::exists(m_path), stored != "-1"); // reading never creates the file
    }

    // A read-only file gives one message per hand-off and stays. Then a wider
    // record first: its later keys stay, past "9"; over=yes moves behind the
    // stop signal, to the end of the file.
    void handOffsKeepTheLayout()
    {
        QVERIFY(writeBytes(m_dir.brinfoIni(), "[over]\r\nvalue=no\r\n"));
        QVERIFY(QFile::setPermissions(m_dir.brinfoIni(), QFileDevice::ReadOwner));
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(handOff.handOff(*numbered(*m_registry, 4)));
        handOff.stopSignal();
        QCOMPARE(m_messages.texts(), QStringList(2, QStringLiteral("写出错！")));
        QCOMPARE(m_messages.messages[0].icon, MessageService::Icon::None);
        QVERIFY(m_messages.messages[0].detail.startsWith(m_dir.brinfoIni() + ": "));
        QCOMPARE(readBytes(m_dir.brinfoIni()), "[over]\r\nvalue=no\r\n");

        QVERIFY(QFile::remove(m_dir.brinfoIni()));
        m_messages.clear();
        QVERIFY(handOff.handOff(*numbered(*m_registry, 11)));
        handOff.stopSignal();
        const db::ResultPtr rs = m_registry->execute(
            QStringLiteral("select 'X' as 证件号, 'Y' as 单位, 'Z' as 人数 union all select 'A001', null, '2'"));
        rs->setCurrentRow(1);
        QVERIFY(handOff.handOff(*rs));
        QCOMPARE(readBytes(m_dir.brinfoIni()),
                 QStringEncoder("GB18030").encode(QStringLiteral("[字段总数]\r\n值=3\r\n[字段名]\r\n0=证件号\r\n1=单位\r\n2=人数\r\n"
                                                                "3=c3\r\n4=c4\r\n5=c5\r\n6=c6\r\n7=c7\r\n8=c8\r\n9=c9\r\n10=c10\r\n"
                                                                "[字段值]\r\n0=A001\r\n1=\r\n2=2\r\n"
                                                                "3=v3\r\n4=v4\r\n5=v5\r\n6=v6\r\n7=v7\r\n8=v8\r\n9=v9\r\n10=v10\r\n"
                                                                "[登记程序]\r\nvalue=stop\r\n[over]\r\nvalue=yes\r\n")));
        QVERIFY(m_messages.messages.isEmpty());
    }

    // This process reads the file over and over, as the registration program
    // may at any moment, while desks handing over records are killed at
    // random moments. Each read finds no file or one a whole hand-off leaves.
    void readsOnlyWholeRecordsWhileDesksAreKilled()
    {
        QTemporaryDir reference;
        const ProgramDirectory referenceDirectory(reference.path());
        QByteArrayList whole{kMissingFile};
        for (int k = 0; k < 2; ++k) {
            RecordHandOff(referenceDirectory, m_messages).handOff(*deskRecord(*m_registry, k));
            whole.append(readBytes(referenceDirectory.brinfoIni()));
        }
        for (int round = 0; round < 12; ++round) {
            QProcess desk;
            desk.start(QCoreApplication::applicationFilePath(), {"--hand-off-forever", m_dir.path()});
            QVERIFY(desk.waitForStarted());
            const int handOffs = QRandomGenerator::global()->bounded(1, 4);
            while (desk.state() == QProcess::Running && desk.bytesAvailable() < handOffs) {
                QVERIFY(whole.contains(readBytes(m_dir.brinfoIni())));
                desk.waitForReadyRead(0);
            }
            ::kill(desk.processId(), SIGKILL);
            QVERIFY(desk.waitForFinished());
            QCOMPARE(desk.exitStatus(), QProcess::CrashExit);
            QVERIFY(whole.contains(readBytes(m_dir.brinfoIni())));
        }
    }

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
        SingleInstance first(m_tmp->path());
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
        second.start(executable, {"--second", m_tmp->path()});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(shown.count(), 1);
    }
private:
    std::optional<QTemporaryDir> m_tmp;
    ProgramDirectory m_dir;
    QString m_path;
    MessageRecorder m_messages;
    db::ConnectionPtr m_registry;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 2 ? argv[1] : "";
    if (mode == "--write" && argc == 5)
        return writeAsChild(argv);
    if (mode == "--hand-off-forever")
        return handOffForever(QString::fromLocal8Bit(argv[2]));
    if (mode == "--second")
        return secondStart(QString::fromLocal8Bit(argv[2]));
    TestProgramDirectory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programdirectory.moc"
