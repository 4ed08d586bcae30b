#include "config/ProfileStore.h"
#include "handoff/RecordHandOff.h"
#include "handoff/TableResult.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vesko;
using namespace vesko::test;
using vesko::test::MessageRecorder;
using vesko::test::TableResult;

namespace {

// GBK bytes of the names in the file.
const QByteArray kZiduanZongshu = QByteArray::fromHex("d7d6b6ced7dccafd"); // 字段总数
const QByteArray kZhi = QByteArray::fromHex("d6b5");                       // 值
const QByteArray kZiduanMing = QByteArray::fromHex("d7d6b6cec3fb");        // 字段名
const QByteArray kZiduanZhi = QByteArray::fromHex("d7d6b6ced6b5");         // 字段值
const QByteArray kZhengjianhao = QByteArray::fromHex("d6a4bcfebac5");      // 证件号
const QByteArray kDanwei = QByteArray::fromHex("b5a5cebb");                // 单位
const QByteArray kRenshu = QByteArray::fromHex("c8cbcafd");                // 人数
const QByteArray kDengjiChengxu = QByteArray::fromHex("b5c7bcc7b3ccd0f2"); // 登记程序

TableResult oneRow(const QStringList &names, const TableResult::Row &row)
{
    return TableResult(names, {row});
}

// n columns named <tag>0, <tag>1, ...; values "<tag>:<i>".
TableResult numbered(const QString &tag, int n)
{
    QStringList names;
    TableResult::Row row;
    for (int i = 0; i < n; ++i) {
        names.append(tag + QString::number(i));
        row.append(tag + QLatin1Char(':') + QString::number(i));
    }
    return oneRow(names, row);
}

// A record for the peer: Chinese text, Nulls, empty texts, dates and long
// values, different per tag.
TableResult peerRecord(const QString &tag, int n)
{
    QStringList names;
    TableResult::Row row;
    for (int i = 0; i < n; ++i) {
        names.append(QStringLiteral("栏目%1_%2").arg(tag).arg(i));
        switch ((i + tag.size()) % 6) {
        case 0: row.append(std::nullopt); break;
        case 1: row.append(QStringLiteral("张三%1号").arg(tag)); break;
        case 2: row.append(QString(300 + i, tag.at(0))); break;
        case 3: row.append(QStringLiteral("2012/3/%1 10:00:00").arg(i % 28 + 1)); break;
        case 4: row.append(QString()); break;
        default: row.append(QString(1000, QChar(0x4e00 + i)) + tag); break;
        }
    }
    return oneRow(names, row);
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
        RecordHandOff handOff(m_dir, m_messages);
        const TableResult rs = oneRow({QStringLiteral("证件号"), QStringLiteral("单位"), QStringLiteral("人数")},
                                      {QStringLiteral("A001"), std::nullopt, QStringLiteral("2")});
        QVERIFY(handOff.handOff(rs));

        const QByteArray expected = '[' + kZiduanZongshu + "]\r\n" + kZhi + "=3\r\n"
            + '[' + kZiduanMing + "]\r\n0=" + kZhengjianhao + "\r\n1=" + kDanwei + "\r\n2=" + kRenshu + "\r\n"
            + '[' + kZiduanZhi + "]\r\n0=A001\r\n1=\r\n2=2\r\n"
            + "[over]\r\nvalue=yes\r\n";
        QCOMPARE(readBytes(m_dir.brinfoIni()), expected);
        QVERIFY(m_messages.messages.isEmpty());
    }

    void writesTheValueOfTheCurrentRow()
    {
        TableResult rs({QStringLiteral("a")}, {{QStringLiteral("first")}, {QStringLiteral("second")}, {QStringLiteral("third")}});
        rs.setCurrentRow(1);
        QVERIFY(RecordHandOff(m_dir, m_messages).handOff(rs));
        QCOMPARE(read_ini(RecordHandOff::kValueSection, QStringLiteral("0"), m_dir.brinfoIni()), QStringLiteral("second"));
    }

    void writesValueAsStored_data()
    {
        QTest::addColumn<std::optional<QString>>("value");
        QTest::addColumn<QByteArray>("line");

        QTest::newRow("Null") << std::optional<QString>() << QByteArray("0=\r\n");
        QTest::newRow("empty text") << std::optional(QString("")) << QByteArray("0=\r\n");
        QTest::newRow("Chinese text") << std::optional(QStringLiteral("单位")) << "0=" + kDanwei + "\r\n";
        QTest::newRow("300 bytes whole") << std::optional(QString(300, QLatin1Char('x')))
                                         << "0=" + QByteArray(300, 'x') + "\r\n";
        QTest::newRow("line break as blank") << std::optional(QStringLiteral("a\r\nb\nc"))
                                             << QByteArray("0=a b c\r\n");
    }

    void writesValueAsStored()
    {
        QFETCH(std::optional<QString>, value);
        QFETCH(QByteArray, line);
        QVERIFY(RecordHandOff(m_dir, m_messages).handOff(oneRow({QStringLiteral("c")}, {value})));

        const QByteArray bytes = readBytes(m_dir.brinfoIni());
        const QByteArray values = '[' + kZiduanZhi + "]\r\n";
        QVERIFY(bytes.contains(values + line + "[over]\r\n"));
    }

    void leavesEntriesOfAWiderRecordBeyondN()
    {
        RecordHandOff handOff(m_dir, m_messages);
        QVERIFY(handOff.handOff(numbered(QStringLiteral("seven"), 7)));
        QVERIFY(handOff.handOff(numbered(QStringLiteral("five"), 5)));

        const QString path = m_dir.brinfoIni();
        QCOMPARE(read_ini(RecordHandOff::kCountSection, RecordHandOff::kCountKey, path), QStringLiteral("5"));
        for (int i = 0; i < 7; ++i) {
            const QString tag = i < 5 ? QStringLiteral("five") : QStringLiteral("seven");
            QCOMPARE(read_ini(RecordHandOff::kNameSection, QString::number(i), path), tag + QString::number(i));
            QCOMPARE(read_ini(RecordHandOff::kValueSection, QString::number(i), path),
                     tag + QLatin1Char(':') + QString::number(i));
        }
        QCOMPARE(read_ini(RecordHandOff::kOverSection, RecordHandOff::kOverKey, path), QStringLiteral("yes"));
    }

    void sameRowTwiceGivesTheSameFile()
    {
        RecordHandOff handOff(m_dir, m_messages);
        const TableResult rs = numbered(QStringLiteral("r"), 3);
        QVERIFY(handOff.handOff(rs));
        const QByteArray once = readBytes(m_dir.brinfoIni());
        QVERIFY(handOff.handOff(rs));
        QCOMPARE(readBytes(m_dir.brinfoIni()), once);
        QVERIFY(once.endsWith("[over]\r\nvalue=yes\r\n"));
    }

    void keysRunInDecimalPastNine()
    {
        QVERIFY(RecordHandOff(m_dir, m_messages).handOff(numbered(QStringLiteral("c"), 12)));
        const QByteArray bytes = readBytes(m_dir.brinfoIni());
        QVERIFY(bytes.contains("8=c8\r\n9=c9\r\n10=c10\r\n11=c11\r\n[" + kZiduanZhi + ']'));
        QVERIFY(bytes.contains("9=c:9\r\n10=c:10\r\n11=c:11\r\n[over]"));
        QVERIFY(!bytes.contains("12="));
    }

    void stopSignalCreatesMissingFile()
    {
        RecordHandOff(m_dir, m_messages).stopSignal();
        QCOMPARE(readBytes(m_dir.brinfoIni()), '[' + kDengjiChengxu + "]\r\nvalue=stop\r\n");
        QVERIFY(m_messages.messages.isEmpty());
    }

    void stopSectionStaysWhereItWasFirstWritten()
    {
        RecordHandOff handOff(m_dir, m_messages);
        handOff.stopSignal();
        QVERIFY(handOff.handOff(numbered(QStringLiteral("c"), 2)));
        handOff.stopSignal();
        const QByteArray bytes = readBytes(m_dir.brinfoIni());
        QVERIFY(bytes.startsWith('[' + kDengjiChengxu + "]\r\nvalue=stop\r\n[" + kZiduanZongshu + ']'));
        QVERIFY(bytes.endsWith("[over]\r\nvalue=yes\r\n"));
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
        const TableResult rs({QStringLiteral("a"), QStringLiteral("b")}, {}, open);
        RecordHandOff handOff(m_dir, m_messages);

        QVERIFY(!handOff.handOff(rs));
        QVERIFY(!QFile::exists(m_dir.brinfoIni()));

        QVERIFY(handOff.handOff(numbered(QStringLiteral("c"), 2)));
        const QByteArray before = readBytes(m_dir.brinfoIni());
        QVERIFY(!handOff.handOff(rs));
        QCOMPARE(readBytes(m_dir.brinfoIni()), before);

        QCOMPARE(m_messages.texts(), QStringList(2, QStringLiteral("没有可以导入的记录！")));
        QCOMPARE(m_messages.messages.first().icon, MessageService::Icon::Information);
    }

    // The registration program reads the file while records are handed over.
    void peerReadsOnlyWholeEntriesOfTheOldOrNewRecord()
    {
        const QList<TableResult> records{peerRecord(QStringLiteral("甲"), 32), peerRecord(QStringLiteral("b"), 7),
                                         peerRecord(QStringLiteral("丙c"), 35)};
        const int order[] = {0, 1, 2, 0, 0, 2, 1, 2, 0, 1};
        constexpr int kHandOffs = 50;

        QJsonArray plan;
        for (int k = 0; k < kHandOffs; ++k) {
            const TableResult &rs = records[order[k % std::size(order)]];
            QJsonArray names;
            QJsonArray values;
            for (int i = 0; i < rs.columnCount(); ++i) {
                names.append(rs.columnName(i));
                values.append(rs.text(0, i));
            }
            plan.append(QJsonObject{{QStringLiteral("names"), names}, {QStringLiteral("values"), values}});
        }
        const QString planPath = m_tmp->filePath(QStringLiteral("plan.json"));
        QVERIFY(writeBytes(planPath, QJsonDocument(QJsonObject{{QStringLiteral("handoffs"), plan}}).toJson()));

        QProcess peer;
        peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer.start(QStringLiteral(HANDOFF_PEER), {m_dir.brinfoIni(), planPath});
        QVERIFY(peer.waitForStarted());
        const auto answer = [&peer] {
            while (!peer.canReadLine() && peer.waitForReadyRead(60000)) {
            }
            return QString::fromUtf8(peer.readLine()).trimmed();
        };

        RecordHandOff handOff(m_dir, m_messages);
        for (int k = 0; k < kHandOffs; ++k) {
            QVERIFY(handOff.handOff(records[order[k % std::size(order)]]));
            peer.write(QByteArray("done ") + QByteArray::number(k) + '\n');
            QCOMPARE(answer(), QStringLiteral("ok %1").arg(k));
        }
        QVERIFY(m_messages.messages.isEmpty());

        peer.write("end\n");
        const QString summary = answer();
        QVERIFY2(summary.startsWith(QStringLiteral("reads ")), qPrintable(summary));
        qInfo("peer: %s", qPrintable(summary));
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
