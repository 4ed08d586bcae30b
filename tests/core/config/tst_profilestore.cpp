#include "core/config/ProfileStore.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>

using namespace vesko;
using namespace vesko::test;

namespace {

// GBK bytes of 数据连接 and 张三.
const QByteArray kShujuLianjie = QByteArray::fromHex("cafdbeddc1acbdd3");
const QByteArray kZhangSan = QByteArray::fromHex("d5c5c8fd");

// A child that writes two alternating long values for ever, to be killed.
int writeForever(const char *path)
{
    const QString file = QString::fromLocal8Bit(path);
    for (int i = 0;; ++i)
        ProfileStore::write(QStringLiteral("s"), QStringLiteral("k"),
                            QString(200000, QLatin1Char(i % 2 ? 'b' : 'a')), file);
}

} // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("t%1.ini").arg(++m_counter));
    }

    void readsHandWrittenFile_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("chinese section") << QStringLiteral("数据连接") << "value" << QStringLiteral("Provider=SQLite;Data Source=a.db");
        QTest::newRow("chinese value whole") << "people" << "name" << QStringLiteral("张三");
        QTest::newRow("letter case of names") << "PEOPLE" << "NAME" << QStringLiteral("张三");
        QTest::newRow("blanks around name and value") << "spaced" << "key" << QStringLiteral("a b");
        QTest::newRow("lone LF line ends") << "lf" << "k" << QStringLiteral("lf value");
        QTest::newRow("empty value") << "people" << "empty" << QString("");
        QTest::newRow("stored -1") << "people" << "minus" << QStringLiteral("-1");
        QTest::newRow("missing key") << "people" << "nope" << QStringLiteral("-1");
        QTest::newRow("missing section") << "nope" << "name" << QStringLiteral("-1");
        QTest::newRow("first section of a name counts") << "twice" << "k" << QStringLiteral("first");
        QTest::newRow("key of a later same-named section is not seen") << "twice" << "only2" << QStringLiteral("-1");
        QTest::newRow("first key counts") << "people" << "dup" << QStringLiteral("one");
        QTest::newRow("value keeps later equals signs") << "people" << "sql" << QStringLiteral("select * from t where a=1");
        QTest::newRow("300-byte value whole") << "long" << "v300" << QString(300, QLatin1Char('x'));
        QTest::newRow("5000-byte value whole") << "long" << "v5000" << QString(2500, QChar(0x5f20));
    }

    void readsHandWrittenFile()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QByteArray file = "; comment before any section\r\n"
                          "[" + kShujuLianjie + "]\r\n"
                          "value=Provider=SQLite;Data Source=a.db\r\n"
                          "\r\n"
                          "[people]\r\n"
                          "name=" + kZhangSan + "\r\n"
                          "empty=\r\n"
                          "minus=-1\r\n"
                          "dup=one\r\n"
                          "dup=two\r\n"
                          "sql=select * from t where a=1\r\n"
                          "  [ spaced ]  \r\n"
                          "\t key \t=  a b  \r\n"
                          "[lf]\nk=lf value\n"
                          "[twice]\r\nk=first\r\n[twice]\r\nk=second\r\nonly2=x\r\n"
                          "[long]\r\nv300=" + QByteArray(300, 'x') + "\r\n"
                          "v5000=" + kZhangSan.first(2).repeated(2500) + "\r\n";
        QVERIFY(writeBytes(m_path, file));
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
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("creates a missing file with CR LF")
            << kMissingFile << QStringLiteral("数据连接") << "value" << QStringLiteral("张三")
            << QByteArray("[" + kShujuLianjie + "]\r\nvalue=" + kZhangSan + "\r\n");
        QTest::newRow("replaces in place, keeping comments and LF ends")
            << QByteArray("; note\n[a]\nk=old\nz=1\n\n[b]\nk=2\n") << "A" << "K" << "new"
            << QByteArray("; note\n[a]\nk=new\nz=1\n\n[b]\nk=2\n");
        QTest::newRow("appends a key at the end of its section, before blank lines")
            << QByteArray("[a]\r\nk=1\r\n\r\n[b]\r\nk=2\r\n") << "a" << "n" << "v"
            << QByteArray("[a]\r\nk=1\r\nn=v\r\n\r\n[b]\r\nk=2\r\n");
        QTest::newRow("appends a section at the end of the file")
            << QByteArray("[a]\r\nk=1") << "b" << "k" << "2"
            << QByteArray("[a]\r\nk=1\r\n[b]\r\nk=2\r\n");
        QTest::newRow("line breaks in a value become blanks")
            << QByteArray("[a]\r\n") << "a" << "k" << "x\r\ny\nz\rw"
            << QByteArray("[a]\r\nk=x y z w\r\n");
        QTest::newRow("empty value")
            << QByteArray("[a]\r\nk=1\r\n") << "a" << "k" << ""
            << QByteArray("[a]\r\nk=\r\n");
        QTest::newRow("300-byte value whole")
            << QByteArray() << "a" << "k" << QString(300, QLatin1Char('q'))
            << QByteArray("[a]\r\nk=" + QByteArray(300, 'q') + "\r\n");
    }

    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        if (before != kMissingFile)
            QVERIFY(writeBytes(m_path, before));
        test::MessageRecorder messages;
        writeProfileValue(section, key, value, m_path, messages);
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(readBytes(m_path), after);
    }

    void failedWritesKeepTheFileAndReportEachTime_data()
    {
        QTest::addColumn<bool>("readOnlyFile");
        QTest::newRow("unwritable directory") << false;
        QTest::newRow("read-only file") << true;
    }

    void failedWritesKeepTheFileAndReportEachTime()
    {
        QFETCH(bool, readOnlyFile);
        QString path = QStringLiteral("/proc/vesko-cannot-be-here/brinfo.ini");
        if (readOnlyFile) {
            path = m_path;
            QVERIFY(writeBytes(path, "[s]\r\nk=old\r\n"));
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        }
        const QByteArray before = readBytes(path);
        const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
        test::MessageRecorder messages;
        writeProfileValue("s", "k", "new", path, messages);
        writeProfileValue("s", "k2", "new", path, messages);
        QCOMPARE(messages.texts(), QStringList({"写出错！", "写出错！"}));
        QCOMPARE(messages.messages.first().icon, MessageService::Icon::None);
        QCOMPARE(readBytes(path), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    }

    void killedWriterLeavesOldOrNewFile()
    {
        const auto oldOrNew = [this] {
            const QString value = ProfileStore::read("s", "k", m_path);
            return value == QString(200000, 'a') || value == QString(200000, 'b');
        };
        ProfileStore::write("s", "k", QString(200000, QLatin1Char('a')), m_path);
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {"--write-forever", m_path});
        QVERIFY(writer.waitForStarted());
        for (int round = 0; round < 20; ++round) {
            QTest::qWait(QRandomGenerator::global()->bounded(5, 40));
            QVERIFY(oldOrNew());
        }
        ::kill(writer.processId(), SIGKILL);
        writer.waitForFinished();
        QVERIFY(oldOrNew());
    }

    void randomBytesNeverCrashTheReader()
    {
        auto *rng = QRandomGenerator::global();
        const QByteArray base = "[" + kShujuLianjie + "]\r\nvalue=" + kZhangSan + "\r\n[a]\nk=v\n";
        for (int i = 0; i < 300; ++i) {
            QByteArray bytes = base.first(rng->bounded(base.size() + 1));
            const int noise = rng->bounded(64);
            for (int j = 0; j < noise; ++j)
                bytes.insert(rng->bounded(bytes.size() + 1), char(rng->bounded(256)));
            QVERIFY(writeBytes(m_path, bytes));
            ProfileStore::read(QStringLiteral("数据连接"), "value", m_path);
            ProfileStore::read("a", "k", m_path);
            QVERIFY(ProfileStore::write("a", "k", "x", m_path));
            QCOMPARE(ProfileStore::read("a", "k", m_path), QStringLiteral("x"));
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_counter = 0;
};

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--write-forever") == 0)
        return writeForever(argv[2]);
    QCoreApplication app(argc, argv);
    TestProfileStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_profilestore.moc"
