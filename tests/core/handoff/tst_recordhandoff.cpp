#include "core/config/ProfileStore.h"
#include "core/handoff/PeerPlan.h"
#include "core/handoff/RecordHandOff.h"
#include "core/handoff/TableResult.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <cstring>

using namespace vesko;
using namespace vesko::test;

namespace {

// GBK bytes, encoded here rather than by the code under test.
QByteArray gbk(const QString &text)
{
    return QStringEncoder("GB18030").encode(text);
}

const QByteArray kStop = gbk(QStringLiteral("[登记程序]\r\nvalue=stop\r\n"));

// n columns named <tag>0, <tag>1, ...; values "<tag>:<i>".
TableResult numbered(const QString &tag, int n)
{
    QStringList names;
    TableResult::Row row;
    for (int i = 0; i < n; ++i) {
        names.append(tag + QString::number(i));
        row.append(tag + u':' + QString::number(i));
    }
    return TableResult(names, {row});
}

// A desk in a child process that hands over the records of peerPlan() in
// turn until it is killed, with a '.' after each hand-off.
int handOffForever(const char *directory)
{
    MessageRecorder messages;
    const RecordHandOff handOff(ProgramDirectory(QString::fromLocal8Bit(directory)), messages);
    const QList<PeerRecord> plan = peerPlan();
    for (qsizetype k = 0; messages.messages.isEmpty(); ++k) {
        handOff.handOff(TableResult(plan[k % plan.size()].names, {plan[k % plan.size()].values}));
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
        m_messages.clear();
    }

    void writesTheExampleFileFromFresh()
    {
        TableResult rs({QStringLiteral("证件号"), QStringLiteral("单位"), QStringLiteral("人数")},
                       {{"X", "Y", "Z"}, {"A001", std::nullopt, "2"}});
        rs.snapshot.setCurrentRow(1);
        QVERIFY(RecordHandOff(m_dir, m_messages).handOff(rs));
        QCOMPARE(readBytes(m_dir.brinfoIni()),
                 gbk(QStringLiteral("[字段总数]\r\n值=3\r\n[字段名]\r\n0=证件号\r\n1=单位\r\n2=人数\r\n"
                                    "[字段值]\r\n0=A001\r\n1=\r\n2=2\r\n[over]\r\nvalue=yes\r\n")));
        QVERIFY(m_messages.messages.isEmpty());
    }

    void writesValueAsStored_data()
    {
        QTest::addColumn<std::optional<QString>>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("Null") << std::optional<QString>() << QByteArray("0=\r\n");
        QTest::newRow("empty text") << std::optional(QString("")) << QByteArray("0=\r\n");
        QTest::newRow("Chinese text") << std::optional(QStringLiteral("单位")) << gbk(QStringLiteral("0=单位\r\n"));
        QTest::newRow("300 bytes whole") << std::optional(QString(300, u'x')) << "0=" + QByteArray(300, 'x') + "\r\n";
    }

    void writesValueAsStored()
    {
        QFETCH(std::optional<QString>, value);
        QFETCH(QByteArray, line);
        QVERIFY(RecordHandOff(m_dir, m_messages).handOff(TableResult({"c"}, {{value}})));
        QVERIFY(readBytes(m_dir.brinfoIni()).contains(gbk(QStringLiteral("[字段值]\r\n")) + line + "[over]\r\n"));
    }

    // Each key holds the last record that had it; one line per section and entry.
    void handOffsInTurn_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("5 columns after 7") << QList<int>{7, 5};
        QTest::newRow("the same row twice") << QList<int>{3, 3};
        QTest::newRow("12 columns, keys past 9") << QList<int>{12};
    }

    void handOffsInTurn()
    {
        QFETCH(QList<int>, widths);
        RecordHandOff handOff(m_dir, m_messages);
        QStringList holders; // per key, the tag of the last record that had it
        for (qsizetype k = 0; k < widths.size(); ++k) {
            const QString tag = QStringLiteral("r%1_").arg(k);
            QVERIFY(handOff.handOff(numbered(tag, widths[k])));
            holders.resize(std::max(holders.size(), qsizetype(widths[k])));
            std::fill_n(holders.begin(), widths[k], tag);
        }
        const QString path = m_dir.brinfoIni();
        QCOMPARE(ProfileStore::read(RecordHandOff::kCountSection, RecordHandOff::kCountKey, path), QString::number(widths.last()));
        for (qsizetype i = 0; i < holders.size(); ++i) {
            const QString key = QString::number(i);
            QCOMPARE(ProfileStore::read(RecordHandOff::kNameSection, key, path), holders[i] + key);
            QCOMPARE(ProfileStore::read(RecordHandOff::kValueSection, key, path), holders[i] + u':' + key);
        }
        QCOMPARE(readBytes(path).count("\r\n"), 2 * holders.size() + 6);
        QVERIFY(readBytes(path).endsWith("[over]\r\nvalue=yes\r\n"));
    }

    void stopSignalHasItsOwnWriteAndOverStaysLast()
    {
        RecordHandOff handOff(m_dir, m_messages);
        handOff.stopSignal();
        QCOMPARE(readBytes(m_dir.brinfoIni()), kStop);
        QVERIFY(QFile::remove(m_dir.brinfoIni()));
        QVERIFY(handOff.handOff(numbered("c", 2)));
        handOff.stopSignal();
        QVERIFY(handOff.handOff(numbered("c", 2)));
        QVERIFY(readBytes(m_dir.brinfoIni()).endsWith(kStop + "[over]\r\nvalue=yes\r\n"));
        QVERIFY(m_messages.messages.isEmpty());
    }

    void unwritableFileGivesOneMessagePerWrite_data()
    {
        QTest::addColumn<bool>("underProc");
        QTest::newRow("directory under /proc") << true;
        QTest::newRow("read-only file") << false;
    }

    void unwritableFileGivesOneMessagePerWrite()
    {
        QFETCH(bool, underProc);
        QByteArray before = kMissingFile;
        if (underProc) {
            m_dir = ProgramDirectory(QStringLiteral("/proc/vesko-handoff-test"));
        } else {
            before = "[over]\r\nvalue=no\r\n";
            QVERIFY(writeBytes(m_dir.brinfoIni(), before));
            QVERIFY(QFile::setPermissions(m_dir.brinfoIni(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        }
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(handOff.handOff(numbered("c", 4)));
        handOff.stopSignal();
        QCOMPARE(m_messages.texts(), QStringList(2, QStringLiteral("写出错！")));
        QCOMPARE(readBytes(m_dir.brinfoIni()), before);
    }

    void noRecordWritesNothing_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("no result open") << false;
        QTest::newRow("empty result") << true;
    }

    void noRecordWritesNothing()
    {
        QFETCH(bool, open);
        const TableResult empty({"a", "b"}, {});
        const db::Snapshot notOpen;
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(!handOff.handOff(open ? empty.snapshot : notOpen));
        QVERIFY(!QFile::exists(m_dir.brinfoIni()));
        QCOMPARE(m_messages.texts(), QStringList{RecordHandOff::kNoRecord});
        QCOMPARE(m_messages.messages.first().icon, MessageService::Icon::Information);
    }

    // The registration program reads the file while desks handing over
    // records are killed at random moments.
    void peerReadsOnlyAWholeRecordWhileWritersAreKilled()
    {
        QProcess peer;
        peer.start(QStringLiteral(HANDOFF_PEER), {m_dir.brinfoIni()});
        QVERIFY(peer.waitForStarted());
        for (int round = 0; round < 12; ++round) {
            QProcess desk;
            desk.start(QCoreApplication::applicationFilePath(), {"--hand-off-forever", m_dir.path()});
            const int handOffs = QRandomGenerator::global()->bounded(1, 4);
            while (desk.bytesAvailable() < handOffs)
                QVERIFY(desk.waitForReadyRead(60000));
            ::kill(desk.processId(), SIGKILL);
            QVERIFY(desk.waitForFinished());
            QCOMPARE(desk.exitStatus(), QProcess::CrashExit);
            QCOMPARE(ProfileStore::read(RecordHandOff::kOverSection, RecordHandOff::kOverKey, m_dir.brinfoIni()), "yes");
        }
        peer.closeWriteChannel();
        QVERIFY(peer.waitForFinished());
        qInfo("peer: %s", peer.readAllStandardOutput().trimmed().constData());
        QCOMPARE(peer.exitCode(), 0);
    }

private:
    std::optional<QTemporaryDir> m_tmp;
    ProgramDirectory m_dir;
    MessageRecorder m_messages;
};

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--hand-off-forever") == 0)
        return handOffForever(argv[2]);
    QCoreApplication app(argc, argv);
    TestRecordHandOff test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recordhandoff.moc"
