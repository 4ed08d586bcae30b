#include "core/config/ProfileStore.h"
#include "core/platform/RegularFile.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vesko;
using namespace vesko::test;

namespace {

const QByteArray kShujuLianjie = QByteArray::fromHex("cafdbeddc1acbdd3"); // 数据连接
const QByteArray kZhangSan = QByteArray::fromHex("d5c5c8fd");             // 张三

// A writer in a child process: --write <uid or -1> <file size limit or 0>
// <path> <n>. Exits 0 when s/k= n letters was stored, 3 on FileError.
int writeAsChild(char **argv)
{
    const int uid = std::atoi(argv[2]);
    const rlim_t limit = std::strtoull(argv[3], nullptr, 10);
    const rlimit fileSize{limit, limit};
    if (limit > 0 && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &fileSize) != 0))
        return 2;
    if (uid >= 0 && ::setuid(uid_t(uid)) != 0)
        return 2;
    try {
        ProfileStore::write("s", "k", QString(std::atoi(argv[5]), 'n'), QString::fromLocal8Bit(argv[4]));
    } catch (const FileError &) {
        return 3;
    }
    return 0;
}

int runWriter(int uid, qint64 limit, const QString &path, qint64 letters)
{
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(),
                 {"--write", QString::number(uid), QString::number(limit), path, QString::number(letters)});
    return writer.waitForFinished(60000) && writer.exitStatus() == QProcess::NormalExit ? writer.exitCode() : -1;
}

// The file as found, without opening anything but a regular file.
QByteArray fingerprint(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return "link to " + info.symLinkTarget().toUtf8();
    return info.isFile() ? QCryptographicHash::hash(readBytes(path), QCryptographicHash::Sha1) : "special";
}

} // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        m_path = m_dir->filePath("t.ini");
    }

    void readsHandWrittenFile_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("chinese section") << QStringLiteral("数据连接") << "value" << "Provider=SQLite;Data Source=a.db";
        QTest::newRow("chinese value whole") << "people" << "name" << QStringLiteral("张三");
        QTest::newRow("letter case of names") << "PEOPLE" << "NAME" << QStringLiteral("张三");
        QTest::newRow("blanks around name and value") << "spaced" << "key" << "a b";
        QTest::newRow("lone LF line ends") << "lf" << "k" << "lf value";
        QTest::newRow("empty value") << "people" << "empty" << "";
        QTest::newRow("stored -1") << "people" << "minus" << "-1";
        QTest::newRow("missing key") << "people" << "nope" << "-1";
        QTest::newRow("missing section") << "nope" << "name" << "-1";
        QTest::newRow("first section of a name counts") << "twice" << "k" << "first";
        QTest::newRow("key of a later same-named section") << "twice" << "only2" << "-1";
        QTest::newRow("first key counts") << "people" << "dup" << "one";
        QTest::newRow("value keeps later equals signs") << "people" << "sql" << "select * from t where a=1";
        QTest::newRow("300-byte value whole") << "long" << "v300" << QString(300, 'x');
        QTest::newRow("0x80 is the euro sign") << "long" << "euro" << QStringLiteral("1€, 丂€");
    }

    void readsHandWrittenFile()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY(writeBytes(m_path, "; comment\r\n[" + kShujuLianjie + "]\r\nvalue=Provider=SQLite;Data Source=a.db\r\n\r\n"
                                   "[people]\r\nname=" + kZhangSan + "\r\nempty=\r\nminus=-1\r\ndup=one\r\ndup=two\r\n"
                                   "sql=select * from t where a=1\r\n  [ spaced ]  \r\n\t key \t=  a b  \r\n"
                                   "[lf]\nk=lf value\n[twice]\r\nk=first\r\n[twice]\r\nk=second\r\nonly2=x\r\n"
                                   "[long]\r\nv300=" + QByteArray(300, 'x') + "\r\neuro=1\x80, \x81\x40\x80\r\n"));
        QCOMPARE(ProfileStore::read(section, key, m_path), expected);
    }

    void missingFileReadsNotSetAndStaysMissing()
    {
        QCOMPARE(ProfileStore::read("a", "b", m_path), QStringLiteral("-1"));
        QVERIFY(!QFile::exists(m_path));
    }

    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QList<ProfileEntry>>("entries");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("creates a missing file with CR LF")
            << kMissingFile << QList<ProfileEntry>{{QStringLiteral("数据连接"), "value", QStringLiteral("张三")}}
            << "[" + kShujuLianjie + "]\r\nvalue=" + kZhangSan + "\r\n";
        QTest::newRow("replaces in place, keeping comments and LF ends")
            << QByteArray("; note\n[a]\nk=old\nz=1\n\n[b]\nk=2\n") << QList<ProfileEntry>{{"A", "K", "new"}}
            << QByteArray("; note\n[a]\nk=new\nz=1\n\n[b]\nk=2\n");
        QTest::newRow("appends a key at the end of its section, a section at the end of the file")
            << QByteArray("[a]\r\nk=1\r\n\r\n[b]\r\nk=2") << QList<ProfileEntry>{{"a", "n", "v"}, {"c", "k", "3"}}
            << QByteArray("[a]\r\nk=1\r\nn=v\r\n\r\n[b]\r\nk=2\r\n[c]\r\nk=3\r\n");
        QTest::newRow("line breaks in a value become blanks, empty value")
            << QByteArray("[a]\r\nk=1\r\n") << QList<ProfileEntry>{{"a", "k", "x\r\ny\nz\rw"}, {"a", "e", ""}}
            << QByteArray("[a]\r\nk=x y z w\r\ne=\r\n");
        QTest::newRow("euro as 0x80, beyond GBK as GB18030")
            << QByteArray() << QList<ProfileEntry>{{"a", "k", QStringLiteral("€😀")}}
            << QByteArray("[a]\r\nk=\x80\x94\x39\xfc\x36\r\n");
        QTest::newRow("an entry moved to the end takes its section along")
            << QByteArray("[over]\r\nvalue=no\r\nx=1\r\n\r\n[stop]\r\nvalue=stop\r\n")
            << QList<ProfileEntry>{{"over", "value", "yes", true}}
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

    // A write that cannot be completed leaves the file as it was and no other
    // file beside it; a special or oversized file is never read.
    void faultsLeaveTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("make");
        QTest::addColumn<qint64>("sizeLimit"); // 0: written here, else by a child with RLIMIT_FSIZE
        QTest::addColumn<QString>("read");
        QTest::newRow("read-only file") << "read-only" << qint64(0) << "old";
        QTest::newRow("file size limit at the flush") << "" << qint64(64) << "old";
        QTest::newRow("file size limit while writing") << "" << qint64(65536) << "old";
        QTest::newRow("FIFO") << "fifo" << qint64(0) << "-1";
        QTest::newRow("link to /dev/zero") << "zero" << qint64(0) << "-1";
        QTest::newRow("over the size cap") << "large" << qint64(0) << "-1";
    }

    void faultsLeaveTheFileAsItWas()
    {
        QFETCH(QString, make);
        QFETCH(qint64, sizeLimit);
        QFETCH(QString, read);
        if (make == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(m_path).constData(), 0666), 0);
        else if (make == "zero")
            QVERIFY(QFile::link("/dev/zero", m_path));
        else
            QVERIFY(writeBytes(m_path, "[s]\r\nk=old\r\n"));
        if (make == "read-only")
            QVERIFY(QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        if (make == "large")
            QVERIFY(QFile::resize(m_path, ProfileStore::kMaxFileSize + 1));
        const QByteArray before = fingerprint(m_path);
        const QStringList files = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);

        QCOMPARE(ProfileStore::read("s", "k", m_path), read);
        if (sizeLimit > 0) {
            QCOMPARE(runWriter(-1, sizeLimit, m_path, sizeLimit * 2), 3);
        } else {
            MessageRecorder messages;
            writeProfileValue("s", "k", "new", m_path, messages);
            QCOMPARE(messages.texts(), QStringList{QStringLiteral("写出错！")});
            QCOMPARE(messages.messages[0].icon, MessageService::Icon::None);
            QVERIFY(messages.messages[0].detail.startsWith(m_path + ": "));
        }
        QCOMPARE(fingerprint(m_path), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), files);
    }

    void writesKeepOwnerAndMode_data()
    {
        QTest::addColumn<int>("writer");
        QTest::addColumn<int>("owner");
        QTest::addColumn<int>("mode");
        QTest::newRow("folder forbids a new file: written in place") << 65534 << 0 << 0666;
        QTest::newRow("root writes another user's file") << -1 << 65534 << 0640;
    }

    void writesKeepOwnerAndMode()
    {
        QFETCH(int, writer);
        QFETCH(int, owner);
        QFETCH(int, mode);
        if (::geteuid() != 0)
            QSKIP("needs root to own files as another user");
        const QByteArray path = QFile::encodeName(m_path);
        QVERIFY(writeBytes(m_path, "[s]\r\nk=old\r\n"));
        QCOMPARE(::chown(path.constData(), uid_t(owner), gid_t(owner)), 0);
        QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
        QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);

        QCOMPARE(runWriter(writer, 0, m_path, 3), 0);
        QCOMPARE(readBytes(m_path), QByteArray("[s]\r\nk=nnn\r\n"));
        struct stat info {};
        QCOMPARE(::stat(path.constData(), &info), 0);
        QCOMPARE(int(info.st_uid), owner);
        QCOMPARE(int(info.st_mode & 07777), mode);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"t.ini"});
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_path;
};

int main(int argc, char *argv[])
{
    if (argc == 6 && std::strcmp(argv[1], "--write") == 0)
        return writeAsChild(argv);
    QCoreApplication app(argc, argv);
    TestProfileStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_profilestore.moc"
