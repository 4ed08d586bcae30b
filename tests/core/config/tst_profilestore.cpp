#include "core/config/Gbk.h"
#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"
#include "support/TestRunner.h"

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

// A writer: write <file size limit or 0> <value length> <path> stores s/k as
// that many 'n', twice. Exits with the number of "写出错！" it showed.
int writeAsChild(const QStringList &arguments)
{
    const rlim_t limit = arguments[0].toULongLong();
    const rlimit fileSize{limit, limit};
    if (limit > 0 && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &fileSize) != 0))
        return 9;
    MessageRecorder messages;
    for (int i = 0; i < 2; ++i)
        writeProfileValue("s", "k", QString(arguments[1].toInt(), 'n'), arguments[2], messages);
    return int(messages.texts().count(QStringLiteral("写出错！")));
}

using Entries = QList<ProfileEntry>;

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

    // s/k in a file written by hand.
    void readsHandWrittenFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        dataRow("letter case of names", QByteArray("; note\r\n[S]\r\nK=x\r\n"), "x");
        dataRow("blanks around names and value", QByteArray("  [ s ]  \r\n\t k \t=  x y  \r\n"), "x y");
        dataRow("first section and key of a name count", QByteArray("[s]\r\nk=1\r\nk=4\r\n[s]\r\nk=2\r\n"), "1");
        dataRow("key of a later same-named section", QByteArray("[s]\r\nn=1\r\n[s]\r\nk=3\r\n"), "-1");
        dataRow("value keeps later equals signs", QByteArray("[s]\r\nk=select 1 where a=1\r\n"), "select 1 where a=1");
        dataRow("300-byte value whole", "[s]\r\nk=" + QByteArray(300, 'x'), QString(300, 'x'));
        dataRow("UTF-8 with CR line ends", QStringLiteral("[s]\rk=张三\r").toUtf8(), "张三");
    }

    void readsHandWrittenFile()
    {
        QFETCH(QByteArray, file);
        QVERIFY(writeBytes(m_path, file));
        QTEST(ProfileStore::read("s", "k", m_path), "expected");
    }

    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QByteArray>("after"); // null: the file begins with before
        dataRow("creates a missing file with CR LF", kMissingFile, Entries{{"数据连接", "value", "张三"}},
                QByteArray("[\xca\xfd\xbe\xdd\xc1\xac\xbd\xd3]\r\nvalue=\xd5\xc5\xc8\xfd\r\n"));
        dataRow("GBK that begins as UTF-8 stays GBK, keeping comments and LF ends",
                QByteArray("; \xc3\xa9\xd5\xc5\n[a]\nk=old\nz=1\n\n[b]\nk=2\n"), Entries{{"A", "K", "张"}},
                QByteArray("; \xc3\xa9\xd5\xc5\n[a]\nk=\xd5\xc5\nz=1\n\n[b]\nk=2\n"));
        dataRow("UTF-8 stays UTF-8, its byte order mark kept", QStringLiteral("\uFEFF[数据连接]\r\nvalue=旧").toUtf8(),
                Entries{{"数据连接", "value", "张三"}, {"默认查询", "value", "李四"}},
                QStringLiteral("\uFEFF[数据连接]\r\nvalue=张三\r\n[默认查询]\r\nvalue=李四\r\n").toUtf8());
        dataRow("later duplicates of a written section or key go",
                QByteArray("[a]\r\nk=1\r\nK=2\r\nz=3\r\n[b]\r\nk=4\r\n[A]\r\nk=5\r\n"), Entries{{"a", "k", "new"}},
                QByteArray("[a]\r\nk=new\r\nz=3\r\n[b]\r\nk=4\r\n"));
        dataRow("a key at the end of its section, a section at the end", QByteArray("[a]\r\nk=1\r\n\r\n[b]\r\nk=2"),
                Entries{{"a", "n", "v"}, {"c", "k", "3"}},
                QByteArray("[a]\r\nk=1\r\nn=v\r\n\r\n[b]\r\nk=2\r\n[c]\r\nk=3\r\n"));
        dataRow("control characters in a value become blanks but a tab, empty value", QByteArray("[a]\r\nk=1\r\n"),
                Entries{{"a", "k", QString("x\r\ny\nz\rw") + QChar(0) + "\x1b\x01\x7f\tv"}, {"a", "e", ""}},
                QByteArray("[a]\r\nk=x y z w    \tv\r\ne=\r\n"));
        dataRow("euro as 0x80, beyond GBK as GB18030", QByteArray(), Entries{{"a", "k", "€😀"}},
                QByteArray("[a]\r\nk=\x80\x94\x39\xfc\x36\r\n"));
        dataRow("an entry moved to the end takes its section along",
                QByteArray("[over]\r\nvalue=no\r\nx=1\r\n\r\n[stop]\r\nvalue=stop\r\n"),
                Entries{{"over", "value", "yes", true}},
                QByteArray("\r\n[stop]\r\nvalue=stop\r\n[over]\r\nx=1\r\nvalue=yes\r\n"));
        // Bytes of any kind: a read finds what it finds, and a write adds its
        // entry after them all.
        const QByteArray alphabet = QByteArrayLiteral("[]= \t\r\na\x80\x81\xfe\xff") + '\0';
        for (quint32 seed = 1; seed <= 20; ++seed) {
            QRandomGenerator random(seed);
            QByteArray bytes(4096, 0);
            for (char &c : bytes)
                c = alphabet.at(random.bounded(int(alphabet.size())));
            QTest::addRow("random bytes, seed %u", seed) << bytes << Entries{{"新", "k", "v"}} << QByteArray();
        }
    }

    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(Entries, entries);
        QFETCH(QByteArray, after);
        if (before != kMissingFile)
            QVERIFY(writeBytes(m_path, before));
        ProfileStore::write(entries, m_path);
        if (after.isNull())
            QVERIFY(readBytes(m_path).startsWith(before));
        else
            QCOMPARE(readBytes(m_path), after);
        QCOMPARE(ProfileStore::read(entries.last().section, entries.last().key, m_path), entries.last().value);
    }

    // Writers in child processes, with a file size limit (SIGXFSZ ignored)
    // or as another user. A write that cannot be completed leaves the file
    // byte for byte, in place too; a file that could not be read back is
    // never written; a FIFO or an oversized file is never read; owner and
    // mode are kept; no other file is left beside it.
    void writesFromAnotherProcess_data()
    {
        QTest::addColumn<QString>("make");   // file, fifo, large, or none
        QTest::addColumn<QString>("nobody"); // writes the file, owns it, or neither
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("read"); // s/k after the write; the file unchanged unless the new "nnn"
        const int cap = int(ProfileStore::kMaxFileSize);
        dataRow("nobody, folder forbids a new file", "none", "writes", 0666, 0, 3, "-1");
        dataRow("read-only file, even for root", "file", "", 0444, 0, 3, "older");
        dataRow("file size limit at the flush", "file", "", 0666, 64, 128, "older");
        dataRow("file size limit while writing", "file", "", 0666, 65536, 131072, "older");
        dataRow("nobody, folder forbids a new file: in place, cut", "file", "writes", 0666, 0, 3, "nnn");
        dataRow("in place, file size limit", "file", "writes", 0666, 64, 128, "older");
        dataRow("a file that could not be read back", "file", "", 0666, 0, cap, "older");
        dataRow("FIFO", "fifo", "", 0666, 0, 3, "-1");
        dataRow("over the size cap", "large", "", 0666, 0, 3, "-1");
        dataRow("root writes another user's file", "file", "owns", 0640, 0, 3, "nnn");
    }

    void writesFromAnotherProcess()
    {
        QFETCH(QString, make);
        QFETCH(QString, nobody);
        QFETCH(int, mode);
        QFETCH(int, limit);
        QFETCH(int, length);
        QFETCH(QString, read);
        if (!nobody.isEmpty() && ::geteuid() != 0)
            QSKIP("needs root to act for another user");
        const QByteArray path = QFile::encodeName(m_path);
        if (make == "fifo")
            QCOMPARE(::mkfifo(path.constData(), 0666), 0);
        else if (make != "none")
            QVERIFY(writeBytes(m_path, "[s]\r\nk=older\r\n"));
        if (make == "large")
            QVERIFY(QFile::resize(m_path, ProfileStore::kMaxFileSize + 1));
        QVERIFY(make == "none" || ::chmod(path.constData(), mode_t(mode)) == 0);
        QVERIFY(nobody != "owns" || ::chown(path.constData(), 65534, gid_t(-1)) == 0);
        QCOMPARE(::chmod(QFile::encodeName(m_tmp->path()).constData(), 0755), 0);
        const QByteArrayList before = fingerprint(m_path);
        const QStringList files = QDir(m_tmp->path()).entryList(QDir::AllEntries | QDir::Hidden);

        QProcess child;
        if (nobody == "writes")
            runAsNobody(child);
        startChild(child, "write", {QString::number(limit), QString::number(length), m_path});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), read == "nnn" ? 0 : 2);
        QCOMPARE(ProfileStore::read("s", "k", m_path), read);
        QCOMPARE(fingerprint(m_path), (read == "nnn" ? QByteArrayList{before.first(), "[s]\r\nk=nnn\r\n"} : before));
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::AllEntries | QDir::Hidden), files);
    }

    // vesko.ini. Start-up reads the two texts it needs first and stops at one
    // not set ("-1" stored included); the settings dialog shows one not set as
    // empty, and stores all five in their order, empty as empty. Reading never
    // creates the file.
    void veskoIni_data()
    {
        QTest::addColumn<QString>("file"); // null: none
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("startup");
        QTest::addColumn<QStringList>("dialog");
        QTest::addColumn<QString>("left"); // as written back, -1 when not set, "error" for PositionError
        const QStringList none(5, QString());
        const QString left = "[vesko窗口位置]\r\nleft=";
        dataRow("no file", QString(), false, none, none, "-1");
        dataRow("default -1: the rest unread; a fraction",
                "[数据连接]\r\nvalue=c\r\n[默认查询]\r\nvalue=-1\r\n[备用二]\r\nvalue=q\r\n" + left + "12.5", false,
                QStringList{"c", "", "", "", ""}, QStringList{"c", "", "", "", "q"}, "12.5");
        dataRow("-1 is not set, empty is; negative",
                "[数据连接]\r\nvalue=\r\n[默认查询]\r\nvalue=s\r\n[全部]\r\nvalue=-1\r\n" + left + "-150", true,
                QStringList{"", "s", "", "", ""}, QStringList{"", "s", "", "", ""}, "0");
        dataRow("beyond 32767 pixels", left + "491520", false, none, none, "error");
        dataRow("text", left + "abc", false, none, none, "error");
        dataRow("nan", left + "nan", false, none, none, "error");
    }

    void veskoIni()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, dialog);
        QFETCH(QString, left);
        QVERIFY(file.isNull() || writeBytes(m_path, toGbk(file)));
        RunConfig config;
        QTEST(readStartupConfig(m_path, config), "complete");
        QTEST(textsOf(config), "startup");
        const RunConfig shown = readStoredTexts(m_path);
        QCOMPARE(textsOf(shown), dialog);
        if (left == "error")
            QVERIFY_THROWS_EXCEPTION(PositionError, readPosition(m_path, ini::kLeft));
        else
            QCOMPARE(positionText(readPosition(m_path, ini::kLeft).value_or(-1)), left);
        QCOMPARE(QFile::exists(m_path), !file.isNull());

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
