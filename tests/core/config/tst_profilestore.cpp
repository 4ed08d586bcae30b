#include "core/config/Gbk.h"
#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "support/ChildProcess.h"
#include "support/DataRow.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
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

// A writer: write <uid or -1> <file size limit or 0> <value length> <path>
// stores s/k as that many 'n', twice. Exits with the number of "写出错！" it
// showed.
int writeAsChild(const QStringList &arguments)
{
    const rlim_t limit = arguments[1].toULongLong();
    const rlimit fileSize{limit, limit};
    if ((limit > 0 && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &fileSize) != 0))
        || (arguments[0].toInt() >= 0 && ::setuid(uid_t(arguments[0].toInt())) != 0))
        return 9;
    MessageRecorder messages;
    for (int i = 0; i < 2; ++i)
        writeProfileValue("s", "k", QString(arguments[2].toInt(), 'n'), arguments[3], messages);
    return int(messages.texts().count(QStringLiteral("写出错！")));
}

QStringList textsOf(const RunConfig &c)
{
    return {c.connectionString, c.defaultStatement, c.allStatement, c.spare1Statement, c.spare2Statement};
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
        dataRow("letter case of names", QByteArray("; note\r\n[people]\r\nname=x\r\n"), "PEOPLE", "NAME", "x");
        dataRow("blanks around names and value", QByteArray("  [ a b ]  \r\n\t key \t=  x y  \r\n"), "a b", "key",
                "x y");
        dataRow("first section and key of a name count", QByteArray("[a]\r\nk=1\r\nk=4\r\n[a]\r\nk=2\r\nn=3\r\n"), "a",
                "k", "1");
        dataRow("key of a later same-named section", QByteArray("[a]\r\nk=1\r\n[a]\r\nn=3\r\n"), "a", "n", "-1");
        dataRow("value keeps later equals signs", QByteArray("[a]\r\nk=select 1 where a=1\r\n"), "a", "k",
                "select 1 where a=1");
        dataRow("300-byte value whole", "[a]\r\nk=" + QByteArray(300, 'x'), "a", "k", QString(300, 'x'));
        dataRow("0x80 is the euro sign", QByteArray("[a]\r\nk=1\x80, \x81\x40\x80\r\n"), "a", "k",
                QStringLiteral("1€, 丂€"));
        dataRow("UTF-8 with CR line ends", QStringLiteral("[数据连接]\rvalue=张三\r").toUtf8(),
                QStringLiteral("数据连接"), "value", QStringLiteral("张三"));
        dataRow("GBK that begins as UTF-8 would", QByteArray("[a]\r\nk=\xc3\xa9\xd5\xc5\xc8\xfd\r\n"), "a", "k",
                QStringLiteral("茅张三"));
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
        dataRow("creates a missing file with CR LF", kMissingFile,
                QList<ProfileEntry>{{QStringLiteral("数据连接"), "value", QStringLiteral("张三")}},
                QByteArray("[\xca\xfd\xbe\xdd\xc1\xac\xbd\xd3]\r\nvalue=\xd5\xc5\xc8\xfd\r\n"));
        dataRow("GBK that begins as UTF-8 stays GBK, keeping comments and LF ends",
                QByteArray("; \xc3\xa9\xd5\xc5\n[a]\nk=old\nz=1\n\n[b]\nk=2\n"),
                QList<ProfileEntry>{{"A", "K", QStringLiteral("张")}},
                QByteArray("; \xc3\xa9\xd5\xc5\n[a]\nk=\xd5\xc5\nz=1\n\n[b]\nk=2\n"));
        dataRow("UTF-8 stays UTF-8, its byte order mark kept", QStringLiteral("\uFEFF[数据连接]\r\nvalue=旧").toUtf8(),
                QList<ProfileEntry>{{QStringLiteral("数据连接"), "value", QStringLiteral("张三")},
                                    {QStringLiteral("默认查询"), "value", QStringLiteral("李四")}},
                QStringLiteral("\uFEFF[数据连接]\r\nvalue=张三\r\n[默认查询]\r\nvalue=李四\r\n").toUtf8());
        dataRow("later duplicates of a written section or key go",
                QByteArray("[a]\r\nk=1\r\nK=2\r\nz=3\r\n[b]\r\nk=4\r\n[A]\r\nk=5\r\n"),
                QList<ProfileEntry>{{"a", "k", "new"}}, QByteArray("[a]\r\nk=new\r\nz=3\r\n[b]\r\nk=4\r\n"));
        dataRow("a key at the end of its section, a section at the end", QByteArray("[a]\r\nk=1\r\n\r\n[b]\r\nk=2"),
                QList<ProfileEntry>{{"a", "n", "v"}, {"c", "k", "3"}},
                QByteArray("[a]\r\nk=1\r\nn=v\r\n\r\n[b]\r\nk=2\r\n[c]\r\nk=3\r\n"));
        dataRow("control characters in a value become blanks but a tab, empty value", QByteArray("[a]\r\nk=1\r\n"),
                QList<ProfileEntry>{{"a", "k", QString("x\r\ny\nz\rw") + QChar(0) + "\x1b\x01\x7f\tv"}, {"a", "e", ""}},
                QByteArray("[a]\r\nk=x y z w    \tv\r\ne=\r\n"));
        dataRow("euro as 0x80, beyond GBK as GB18030", QByteArray(),
                QList<ProfileEntry>{{"a", "k", QStringLiteral("€😀")}}, QByteArray("[a]\r\nk=\x80\x94\x39\xfc\x36\r\n"));
        dataRow("an entry moved to the end takes its section along",
                QByteArray("[over]\r\nvalue=no\r\nx=1\r\n\r\n[stop]\r\nvalue=stop\r\n"),
                QList<ProfileEntry>{{"over", "value", "yes", true}},
                QByteArray("\r\n[stop]\r\nvalue=stop\r\n[over]\r\nx=1\r\nvalue=yes\r\n"));
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

    // Bytes of any kind: a read finds what it finds, and a write adds its
    // entry after them all.
    void survivesRandomBytes_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 20; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }

    void survivesRandomBytes()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const QByteArray alphabet = QByteArrayLiteral("[]= \t\r\na\x80\x81\xfe\xff") + '\0';
        QByteArray bytes(4096, 0);
        for (char &c : bytes)
            c = alphabet.at(random.bounded(int(alphabet.size())));
        QVERIFY(writeBytes(m_path, bytes));
        ProfileStore::read("a", "a", m_path);
        ProfileStore::write(QStringLiteral("新"), "k", "v", m_path);
        QCOMPARE(ProfileStore::read(QStringLiteral("新"), "k", m_path), "v");
        QVERIFY(readBytes(m_path).startsWith(bytes));
    }

    // Writers in child processes, with a file size limit (SIGXFSZ ignored)
    // or as another user. A write that cannot be completed leaves the file
    // byte for byte, in place too; a file that could not be read back is
    // never written; a FIFO or an oversized file is never read; owner and
    // mode are kept; no other file is left beside it.
    void writesFromAnotherProcess_data()
    {
        QTest::addColumn<QString>("make"); // file, fifo, large, or none
        QTest::addColumn<int>("writer");   // uid, -1 for this one
        QTest::addColumn<int>("owner");    // uid, -1 for this process's
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("read"); // s/k after the write; the file unchanged unless "new"
        const int self = -1, nobody = 65534, cap = int(ProfileStore::kMaxFileSize);
        dataRow("nobody, folder forbids a new file", "none", nobody, self, 0666, 0, 3, "-1");
        dataRow("read-only file, even for root", "file", -1, self, 0444, 0, 3, "older");
        dataRow("file size limit at the flush", "file", -1, self, 0666, 64, 128, "older");
        dataRow("file size limit while writing", "file", -1, self, 0666, 65536, 131072, "older");
        dataRow("nobody, folder forbids a new file: in place, cut", "file", nobody, self, 0666, 0, 3, "new");
        dataRow("in place, file size limit", "file", nobody, self, 0666, 64, 128, "older");
        dataRow("a file that could not be read back", "file", -1, self, 0666, 0, cap, "older");
        dataRow("FIFO", "fifo", -1, self, 0666, 0, 3, "-1");
        dataRow("over the size cap", "large", -1, self, 0666, 0, 3, "-1");
        dataRow("root writes another user's file", "file", -1, nobody, 0640, 0, 3, "new");
    }

    void writesFromAnotherProcess()
    {
        QFETCH(QString, make);
        QFETCH(int, writer);
        QFETCH(int, owner);
        QFETCH(int, mode);
        QFETCH(int, limit);
        QFETCH(int, length);
        QFETCH(QString, read);
        if ((writer >= 0 || owner >= 0) && ::geteuid() != 0)
            QSKIP("needs root to act for another user");
        const QByteArray path = QFile::encodeName(m_path);
        if (make == "fifo")
            QCOMPARE(::mkfifo(path.constData(), 0666), 0);
        else if (make != "none")
            QVERIFY(writeBytes(m_path, "[s]\r\nk=older\r\n"));
        if (make == "large")
            QVERIFY(QFile::resize(m_path, ProfileStore::kMaxFileSize + 1));
        QVERIFY(make == "none"
                || (::chown(path.constData(), owner >= 0 ? uid_t(owner) : ::geteuid(), gid_t(-1)) == 0
                    && ::chmod(path.constData(), mode_t(mode)) == 0));
        QCOMPARE(::chmod(QFile::encodeName(m_tmp->path()).constData(), 0755), 0);
        const QByteArrayList before = fingerprint(m_path);
        const QStringList files = QDir(m_tmp->path()).entryList(QDir::AllEntries | QDir::Hidden);

        QProcess child;
        startChild(child, "write", {QString::number(writer), QString::number(limit), QString::number(length), m_path});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), read == "new" ? 0 : 2);
        QCOMPARE(ProfileStore::read("s", "k", m_path), read == "new" ? QString(length, 'n') : read);
        QCOMPARE(fingerprint(m_path).first(), before.first());
        QCOMPARE(fingerprint(m_path).last(),
                 read == "new" ? "[s]\r\nk=" + QByteArray(length, 'n') + "\r\n" : before.last());
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::AllEntries | QDir::Hidden), files);
    }

    void positions_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected"); // as written back, -1 when not set, "error" for PositionError
        dataRow("no file", "-1", "-1");
        dataRow("fraction", "12.5", "12.5");
        dataRow("negative", "-150", "0");
        dataRow("beyond 32767 pixels", "491520", "error");
        dataRow("text", "abc", "error");
        dataRow("nan", "nan", "error");
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

    // vesko.ini's five texts. Start-up reads the two it needs first and stops
    // at one not set ("-1" stored included); the settings dialog shows one
    // not set as empty, and stores all five in their order, empty as empty.
    void statementTexts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("startup");
        QTest::addColumn<QStringList>("dialog");
        dataRow("default -1: the rest unread",
                "[数据连接]\r\nvalue=c\r\n[默认查询]\r\nvalue=-1\r\n[备用二]\r\nvalue=q\r\n", false,
                QStringList{"c", "", "", "", ""}, QStringList{"c", "", "", "", "q"});
        dataRow("-1 is not set, empty is", "[数据连接]\r\nvalue=\r\n[默认查询]\r\nvalue=s\r\n[全部]\r\nvalue=-1\r\n",
                true, QStringList{"", "s", "", "", ""}, QStringList{"", "s", "", "", ""});
    }

    void statementTexts()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, dialog);
        QVERIFY(writeBytes(m_path, toGbk(file)));
        RunConfig config;
        QTEST(readStartupConfig(m_path, config), "complete");
        QTEST(textsOf(config), "startup");
        const RunConfig shown = readStoredTexts(m_path);
        QCOMPARE(textsOf(shown), dialog);

        const QString stored = m_tmp->filePath("stored.ini");
        MessageRecorder messages;
        writeStatementTexts(stored, shown, messages);
        QString expected;
        for (const QString &section : QStringList{"数据连接", "默认查询", "全部", "备用一", "备用二"})
            expected += "[" + section + "]\r\nvalue=" + dialog.takeFirst() + "\r\n";
        QCOMPARE(readBytes(stored), toGbk(expected));
        QVERIFY(messages.messages.isEmpty());
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
