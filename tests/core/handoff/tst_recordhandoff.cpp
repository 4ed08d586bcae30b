#include "core/config/ProfileStore.h"
#include "core/handoff/RecordHandOff.h"
#include "db/Connection.h"
#include "db/Snapshot.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/Messages.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

using namespace vesko;
using namespace vesko::test;

// brinfo.ini as the hand-off leaves it, read by the registration program at
// any moment; children of this executable play the desks.
namespace {

// The SQLite file of the program directory, which the records come from.
const QString kRegistry = QStringLiteral("Provider=SQLite;Data Source=registry.db");

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
    return k % 2 ? numbered(registry, 7, "乙", 500) : numbered(registry, 40, "甲", 1000);
}

// A desk: hand-off-forever <dir> hands over deskRecord(0), (1), (2) ...
// with a '.' after each, until it is killed.
int handOffForever(const QStringList &arguments)
{
    MessageRecorder messages;
    const RecordHandOff handOff{ProgramDirectory(arguments[0]), messages};
    const db::ConnectionPtr records = db::Connection::open(kRegistry, arguments[0]);
    for (int k = 0; messages.messages.isEmpty(); ++k) {
        handOff.handOff(*deskRecord(*records, k));
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
    return 1;
}

} // namespace

class TestRecordHandOff : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tmp.emplace();
        m_dir = ProgramDirectory(m_tmp->path());
        QVERIFY(QFile(m_tmp->filePath("registry.db")).open(QIODevice::Append));
        m_registry = db::Connection::open(kRegistry, m_tmp->path());
        m_messages.clear();
    }

    // A result without a current row hands nothing over. A read-only file
    // gives one message per hand-off, stays, and the hand-off says it failed.
    // Then a wider record first: its later keys stay, past "9"; over=yes
    // moves behind the stop signal, to the end of the file, and its
    // duplicates go. The record is GBK in a file that looked like UTF-8, its
    // current row handed over as the grid shows it. The stop signal gets
    // through also over a file grown too large to be read back by another
    // program.
    void handOffsKeepTheLayout()
    {
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY_THROWS_NO_EXCEPTION(QVERIFY(!handOff.handOff(db::Snapshot())));
        QVERIFY_THROWS_NO_EXCEPTION(QVERIFY(!handOff.handOff(*m_registry->execute("select 1 as c0 where 0"))));
        QCOMPARE(readBytes(m_dir.brinfoIni()), kMissingFile);

        const QByteArray before = "[over]\r\nvalue=no\r\nvalue=old\r\n[note]\r\nx=\xc3\xa9\r\n[over]\r\nvalue=old\r\n";
        QVERIFY(writeBytes(m_dir.brinfoIni(), before));
        QVERIFY(QFile::setPermissions(m_dir.brinfoIni(), QFileDevice::ReadOwner));
        QVERIFY(!handOff.handOff(*numbered(*m_registry, 4)));
        handOff.stopSignal();
        QCOMPARE(readBytes(m_dir.brinfoIni()), before);

        QVERIFY(QFile::setPermissions(m_dir.brinfoIni(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(handOff.handOff(*numbered(*m_registry, 11)));
        handOff.stopSignal();
        m_registry->execute("create table t (证件号 TEXT, 单位 TEXT, 登记时间 DATETIME)");
        m_registry->execute("insert into t values ('X', 'Y', '2000-01-01'), ('A001', null, '2012-03-03 10:00:00')");
        const db::ResultPtr rs = m_registry->execute("select * from t");
        rs->setCurrentRow(1);
        QVERIFY(handOff.handOff(*rs));
        QCOMPARE(readBytes(m_dir.brinfoIni()),
                 "[note]\r\nx=\xc3\xa9\r\n"
                     + QStringEncoder("GB18030").encode(
                         QStringLiteral("[字段总数]\r\n值=3\r\n[字段名]\r\n0=证件号\r\n1=单位\r\n2=登记时间\r\n"
                                        "3=c3\r\n4=c4\r\n5=c5\r\n6=c6\r\n7=c7\r\n8=c8\r\n9=c9\r\n10=c10\r\n"
                                        "[字段值]\r\n0=A001\r\n1=\r\n2=2012/3/3 10:00:00\r\n"
                                        "3=v3\r\n4=v4\r\n5=v5\r\n6=v6\r\n7=v7\r\n8=v8\r\n9=v9\r\n10=v10\r\n"
                                        "[登记程序]\r\nvalue=stop\r\n[over]\r\nvalue=yes\r\n")));
        QVERIFY(QFile::resize(m_dir.brinfoIni(), ProfileStore::kMaxFileSize + 1));
        handOff.stopSignal();
        QCOMPARE(readBytes(m_dir.brinfoIni()),
                 QStringEncoder("GB18030").encode(QStringLiteral("[登记程序]\r\nvalue=stop\r\n")));
        QCOMPARE(m_messages.texts(), (QStringList{kNoRecordMessage, kNoRecordMessage, "写出错！", "写出错！"}));
        QVERIFY(m_messages.messages[2].detail.startsWith("文件：" + m_dir.brinfoIni() + "\n"));
    }

    // This process reads the file over and over, as the registration program
    // may at any moment, while desks handing over records are killed at
    // random moments. Each read finds no file or one a whole hand-off leaves.
    void readsOnlyWholeRecordsWhileDesksAreKilled()
    {
        QByteArrayList whole{kMissingFile};
        for (int k = 0; k < 2; ++k) {
            RecordHandOff(m_dir, m_messages).handOff(*deskRecord(*m_registry, k));
            whole.append(readBytes(m_dir.brinfoIni()));
        }
        QVERIFY(QFile::remove(m_dir.brinfoIni()));
        for (int round = 0; round < 12; ++round) {
            QProcess desk;
            startChild(desk, "hand-off-forever", {m_dir.path()});
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

private:
    std::optional<QTemporaryDir> m_tmp;
    ProgramDirectory m_dir;
    MessageRecorder m_messages;
    db::ConnectionPtr m_registry;
};

int main(int argc, char *argv[])
{
    return testsOrRole<TestRecordHandOff>(argc, argv, "hand-off-forever", handOffForever);
}

#include "tst_recordhandoff.moc"
