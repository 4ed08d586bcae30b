#include "core/config/ProfileStore.h"
#include "core/handoff/RecordHandOff.h"
#include "db/Connection.h"
#include "db/Snapshot.h"
#include "support/ChildProcess.h"
#include "support/DataRow.h"
#include "support/FileBytes.h"
#include "support/Messages.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

using namespace vesko;
using namespace vesko::test;

const QByteArray kStopSignal = QStringEncoder("GB18030").encode(QStringLiteral("[登记程序]\r\nvalue=stop\r\n"));

// brinfo.ini as the hand-off leaves it, read by the registration program at
// any moment; children of this executable play the desks.
namespace {

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
    return k % 2 ? numbered(registry, 7, QStringLiteral("乙"), 500)
                 : numbered(registry, 40, QStringLiteral("甲"), 1000);
}

// A desk: hand-off-forever <dir> hands over deskRecord(0), (1), (2) ...
// with a '.' after each, until it is killed.
int handOffForever(const QStringList &arguments)
{
    MessageRecorder messages;
    const RecordHandOff handOff{ProgramDirectory(arguments[0]), messages};
    const db::ConnectionPtr records = registry(arguments[0]);
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
        m_registry = registry(m_tmp->path());
        m_messages.clear();
    }

    // A read-only file gives one message per hand-off, stays, and the
    // hand-off says it failed. Then a wider record first: its later keys
    // stay, past "9"; over=yes moves behind the stop signal, to the end of
    // the file, and its duplicates go. The record is GBK in a file that
    // looked like UTF-8.
    void handOffsKeepTheLayout()
    {
        const QByteArray before = "[over]\r\nvalue=no\r\nvalue=old\r\n[note]\r\nx=\xc3\xa9\r\n[over]\r\nvalue=old\r\n";
        QVERIFY(writeBytes(m_dir.brinfoIni(), before));
        QVERIFY(QFile::setPermissions(m_dir.brinfoIni(), QFileDevice::ReadOwner));
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(!handOff.handOff(*numbered(*m_registry, 4)));
        handOff.stopSignal();
        QCOMPARE(m_messages.texts(), QStringList(2, QStringLiteral("写出错！")));
        QVERIFY(m_messages.messages[0].detail.startsWith("文件：" + m_dir.brinfoIni() + "\n"));
        QCOMPARE(readBytes(m_dir.brinfoIni()), before);

        QVERIFY(QFile::setPermissions(m_dir.brinfoIni(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        m_messages.clear();
        QVERIFY(handOff.handOff(*numbered(*m_registry, 11)));
        handOff.stopSignal();
        const db::ResultPtr rs = m_registry->execute(
            QStringLiteral("select 'X' as 证件号, 'Y' as 单位, 'Z' as 人数 union all select 'A001', null, '2'"));
        rs->setCurrentRow(1);
        QVERIFY(handOff.handOff(*rs));
        QCOMPARE(readBytes(m_dir.brinfoIni()),
                 "[note]\r\nx=\xc3\xa9\r\n"
                     + QStringEncoder("GB18030").encode(
                         QStringLiteral("[字段总数]\r\n值=3\r\n[字段名]\r\n0=证件号\r\n1=单位\r\n2=人数\r\n"
                                        "3=c3\r\n4=c4\r\n5=c5\r\n6=c6\r\n7=c7\r\n8=c8\r\n9=c9\r\n10=c10\r\n"
                                        "[字段值]\r\n0=A001\r\n1=\r\n2=2\r\n"
                                        "3=v3\r\n4=v4\r\n5=v5\r\n6=v6\r\n7=v7\r\n8=v8\r\n9=v9\r\n10=v10\r\n"
                                        "[登记程序]\r\nvalue=stop\r\n[over]\r\nvalue=yes\r\n")));
        QVERIFY(m_messages.messages.isEmpty());
    }

    // Never a file that could not be read back: a record too large for it
    // is refused and the file stays. The stop signal gets through all the
    // same, also over a file grown too large by another program.
    void stopSignalGetsThroughWhateverTheSize()
    {
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(handOff.handOff(*numbered(*m_registry, 1)));
        const QByteArray before = readBytes(m_dir.brinfoIni());
        QVERIFY(!handOff.handOff(*m_registry->execute("select hex(zeroblob(8388608)) as c0")));
        QCOMPARE(m_messages.texts(), QStringList{QStringLiteral("写出错！")});
        QCOMPARE(readBytes(m_dir.brinfoIni()), before);
        handOff.stopSignal();
        QCOMPARE(readBytes(m_dir.brinfoIni()), before + kStopSignal);
        QVERIFY(QFile::resize(m_dir.brinfoIni(), ProfileStore::kMaxFileSize + 1));
        handOff.stopSignal();
        QCOMPARE(readBytes(m_dir.brinfoIni()), kStopSignal);
        QCOMPARE(m_messages.messages.size(), 1);
    }

    // A result without a current row hands nothing over; a value goes as
    // the grid shows it.
    void handsOverTheRowAsShown_data()
    {
        QTest::addColumn<QString>("statement"); // empty: a result that is not open
        QTest::addColumn<QByteArray>("file");
        dataRow("not open", QString(), kMissingFile);
        dataRow("no rows", "select * from t where 0", kMissingFile);
        dataRow("a date-time", "select * from t",
                QByteArray(QStringEncoder("GB18030").encode(
                    QStringLiteral("[字段总数]\r\n值=1\r\n[字段名]\r\n0=登记时间\r\n[字段值]"
                                   "\r\n0=2012/3/3 10:00:00\r\n[over]\r\nvalue=yes\r\n"))));
    }

    void handsOverTheRowAsShown()
    {
        QFETCH(QString, statement);
        QFETCH(QByteArray, file);
        m_registry->execute(QStringLiteral("create table t (登记时间 DATETIME)"));
        m_registry->execute(QStringLiteral("insert into t values ('2012-03-03 10:00:00')"));
        const db::ResultPtr rs =
            statement.isEmpty() ? std::make_shared<db::Snapshot>() : m_registry->execute(statement);
        bool handedOver = false;
        QVERIFY_THROWS_NO_EXCEPTION(handedOver = RecordHandOff(m_dir, m_messages).handOff(*rs));
        QCOMPARE(handedOver, file != kMissingFile);
        QCOMPARE(m_messages.texts(), handedOver ? QStringList() : QStringList{kNoRecordMessage});
        QCOMPARE(readBytes(m_dir.brinfoIni()), file);
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
