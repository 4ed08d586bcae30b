#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vesko;
using namespace vesko::test;

// Profile files as people write them by hand and as other processes write
// them; children of this executable play the other processes.
namespace {

// A writer: write <uid or -1> <file size limit or 0> <path>. Exits 0 when
// it stored s/k=new, 3 when it showed "写出错！".
int writeAsChild(const QStringList &arguments)
{
    const rlim_t limit = arguments[1].toULongLong();
    const rlimit fileSize{limit, limit};
    if ((limit > 0 && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &fileSize) != 0))
        || (arguments[0].toInt() >= 0 && ::setuid(uid_t(arguments[0].toInt())) != 0))
        return 2;
    MessageRecorder messages;
    writeProfileValue("s", "k", limit > 0 ? QString(int(limit) * 2, 'n') : "new", arguments[2], messages);
    return messages.messages.isEmpty() ? 0 : 3;
}

// Owner and mode, then what the file holds, opening nothing but a regular file.
QByteArrayList fingerprint(const QString &path)
{
    const QFileInfo info(path);
    const QByteArray content = info.isFile() ? readBytes(path) : "special";
    return {QByteArray::number(info.ownerId()) + ' ' + QByteArray::number(int(info.permissions())), content};
}

} // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tmp.emplace();
        m_path = m_tmp->filePath("vesko.ini");
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
        startChild(child, "write", {writer, make.startsWith("limit") ? make.mid(6) : "0", m_path});
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

private:
    std::optional<QTemporaryDir> m_tmp;
    QString m_path;
};

int main(int argc, char *argv[])
{
    return testsOrRole<TestProfileStore>(argc, argv, "write", writeAsChild);
}

#include "tst_profilestore.moc"
