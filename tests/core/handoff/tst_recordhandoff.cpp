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

// n columns named c0, c1, ...; values v0, v1, ... after `padding` copies of tag.
TableResult numbered(int n, const QString &tag = QString(), int padding = 0)
{
    QStringList names;
    TableResult::Row row;
    for (int i = 0; i < n; ++i) {
        names.append(QStringLiteral("c%1").arg(i));
        row.append(tag.repeated(padding) + QStringLiteral("v%1").arg(i));
    }
    return TableResult(names, {row});
}

// The records a desk hands over in turn: a wide and a narrow one of long values.
TableResult deskRecord(int k)
{
    return k % 2 ? numbered(7, QStringLiteral("乙"), 500) : numbered(40, QStringLiteral("甲"), 1000);
}

// A desk in a child process: hands over deskRecord(0), (1), (2) ... with a
// '.' after each, until it is killed.
int handOffForever(const QString &directory)
{
    MessageRecorder messages;
    const RecordHandOff handOff{ProgramDirectory(directory), messages};
    for (int k = 0; messages.messages.isEmpty(); ++k) {
        handOff.handOff(deskRecord(k));
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

    // A wider record first: its later keys stay, past "9"; over=yes moves
    // behind the stop signal, to the end of the file.
    void handOffsKeepTheLayout()
    {
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(handOff.handOff(numbered(11)));
        handOff.stopSignal();
        TableResult rs({QStringLiteral("证件号"), QStringLiteral("单位"), QStringLiteral("人数")},
                       {{"X", "Y", "Z"}, {"A001", std::nullopt, "2"}});
        rs.snapshot.setCurrentRow(1);
        QVERIFY(handOff.handOff(rs));
        QString names, values;
        for (int i = 3; i < 11; ++i) {
            names += QStringLiteral("%1=c%1\r\n").arg(i);
            values += QStringLiteral("%1=v%1\r\n").arg(i);
        }
        QCOMPARE(readBytes(m_dir.brinfoIni()),
                 QStringEncoder("GB18030").encode(QStringLiteral("[字段总数]\r\n值=3\r\n[字段名]\r\n0=证件号\r\n1=单位\r\n2=人数\r\n") + names
                                                 + QStringLiteral("[字段值]\r\n0=A001\r\n1=\r\n2=2\r\n") + values
                                                 + QStringLiteral("[登记程序]\r\nvalue=stop\r\n[over]\r\nvalue=yes\r\n")));
        QVERIFY(m_messages.messages.isEmpty());
    }

    void unwritableFileGivesOneMessagePerWrite()
    {
        QVERIFY(writeBytes(m_dir.brinfoIni(), "[over]\r\nvalue=no\r\n"));
        QVERIFY(QFile::setPermissions(m_dir.brinfoIni(), QFileDevice::ReadOwner));
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(handOff.handOff(numbered(4)));
        handOff.stopSignal();
        QCOMPARE(m_messages.texts(), QStringList(2, QStringLiteral("写出错！")));
        QCOMPARE(m_messages.messages[0].icon, MessageService::Icon::None);
        QVERIFY(m_messages.messages[0].detail.startsWith(m_dir.brinfoIni() + ": "));
        QCOMPARE(readBytes(m_dir.brinfoIni()), "[over]\r\nvalue=no\r\n");
    }

    // The registration program reads the file while desks handing over
    // records are killed at random moments.
    void peerReadsOnlyWholeRecordsWhileDesksAreKilled()
    {
        QTemporaryDir reference; // the files that whole hand-offs leave
        QStringList whole;
        for (int k = 0; k < 2; ++k) {
            RecordHandOff(ProgramDirectory(reference.path()), m_messages).handOff(deskRecord(k));
            whole.append(reference.filePath(QString::number(k)));
            QVERIFY(QFile::copy(ProgramDirectory(reference.path()).brinfoIni(), whole.last()));
        }
        QProcess peer;
        peer.start(QStringLiteral(HANDOFF_PEER), QStringList{m_dir.brinfoIni()} + whole);
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
        return handOffForever(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestRecordHandOff test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recordhandoff.moc"
