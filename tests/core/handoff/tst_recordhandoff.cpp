#include "core/config/ProfileStore.h"
#include "core/handoff/PeerPlan.h"
#include "core/handoff/RecordHandOff.h"
#include "core/handoff/TableResult.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

} // namespace

class TestRecordHandOff : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        m_dir = ProgramDirectory(m_tmp->path());
        m_messages.clear();
    }

    void writesTheExampleFileFromFresh()
    {
        TableResult rs({QStringLiteral("证件号"), QStringLiteral("单位"), QStringLiteral("人数")},
                       {{QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")},
                        {QStringLiteral("A001"), std::nullopt, QStringLiteral("2")}});
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
        QVERIFY(RecordHandOff(m_dir, m_messages).handOff(TableResult({QStringLiteral("c")}, {{value}})));
        QVERIFY(readBytes(m_dir.brinfoIni()).contains(gbk(QStringLiteral("[字段值]\r\n")) + line + "[over]\r\n"));
    }

    // Each key holds the last record that had it; the file has one line per
    // section and entry.
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
        QCOMPARE(ProfileStore::read(RecordHandOff::kOverSection, RecordHandOff::kOverKey, path), QStringLiteral("yes"));
        QCOMPARE(readBytes(path).count("\r\n"), 2 * holders.size() + 6);
    }

    void stopSignalCreatesMissingFileAndKeepsItsPlace()
    {
        RecordHandOff handOff(m_dir, m_messages);
        handOff.stopSignal();
        QCOMPARE(readBytes(m_dir.brinfoIni()), kStop);
        QVERIFY(handOff.handOff(numbered(QStringLiteral("c"), 2)));
        handOff.stopSignal();
        const QByteArray bytes = readBytes(m_dir.brinfoIni());
        QVERIFY(bytes.startsWith(kStop + gbk(QStringLiteral("[字段总数]"))));
        QVERIFY(bytes.endsWith("[over]\r\nvalue=yes\r\n"));
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
        QVERIFY(handOff.handOff(numbered(QStringLiteral("c"), 4)));
        QCOMPARE(m_messages.texts(), QStringList(10, QStringLiteral("写出错！")));
        QCOMPARE(m_messages.messages.last().icon, MessageService::Icon::None);
        QCOMPARE(readBytes(m_dir.brinfoIni()), before);

        m_messages.clear();
        handOff.stopSignal();
        QCOMPARE(m_messages.texts(), QStringList{QStringLiteral("写出错！")});
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
        const TableResult empty({QStringLiteral("a"), QStringLiteral("b")}, {});
        const db::Snapshot notOpen;
        const db::Result &rs = open ? empty.snapshot : notOpen;
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(!handOff.handOff(rs));
        QVERIFY(!QFile::exists(m_dir.brinfoIni()));

        QVERIFY(handOff.handOff(numbered(QStringLiteral("c"), 2)));
        const QByteArray before = readBytes(m_dir.brinfoIni());
        QVERIFY(!handOff.handOff(rs));
        QCOMPARE(readBytes(m_dir.brinfoIni()), before);

        QCOMPARE(m_messages.texts(), QStringList(2, RecordHandOff::kNoRecord));
        QCOMPARE(m_messages.messages.first().icon, MessageService::Icon::Information);
    }

    // The registration program reads the file while records are handed over.
    void peerReadsOnlyTheOldOrTheNewRecord()
    {
        QProcess peer;
        peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer.start(QStringLiteral(HANDOFF_PEER), {m_dir.brinfoIni()});
        QVERIFY(peer.waitForStarted());
        const auto answer = [&peer] {
            while (!peer.canReadLine() && peer.waitForReadyRead(60000)) {
            }
            return QString::fromUtf8(peer.readLine()).trimmed();
        };

        RecordHandOff handOff(m_dir, m_messages);
        for (const PeerRecord &record : peerPlan()) {
            QVERIFY(handOff.handOff(TableResult(record.names, {record.values})));
            peer.write("\n");
            QCOMPARE(answer(), QStringLiteral("ok"));
        }
        QVERIFY(m_messages.messages.isEmpty());

        peer.closeWriteChannel();
        qInfo("peer: %s", qPrintable(answer()));
        QVERIFY(peer.waitForFinished());
        QCOMPARE(peer.exitCode(), 0);
    }

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    ProgramDirectory m_dir;
    MessageRecorder m_messages;
};

QTEST_GUILESS_MAIN(TestRecordHandOff)
#include "tst_recordhandoff.moc"
