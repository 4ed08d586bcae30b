#include "core/config/Gbk.h"
#include "core/config/MainConfig.h"
#include "core/config/ProfileStore.h"
#include "support/FileBytes.h"
#include "support/MessageRecorder.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vesko;

class TestMainConfig : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        m_ini = m_dir->filePath("vesko.ini");
    }

    void startupReadingStopsAtTheFirstMissingRequiredValue_data()
    {
        QTest::addColumn<QStringList>("stored"); // section=value
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("expected"); // the five texts in their order
        QTest::newRow("no file") << QStringList() << false << QStringList({"", "", "", "", ""});
        QTest::newRow("default statement missing")
            << QStringList({"数据连接=cs", "全部=all"}) << false << QStringList({"cs", "", "", "", ""});
        QTest::newRow("all set") << QStringList({"数据连接=cs", "默认查询=q", "全部=a", "备用一=b", "备用二=c"}) << true
                                 << QStringList({"cs", "q", "a", "b", "c"});
        QTest::newRow("optional empty or -1") << QStringList({"数据连接=", "默认查询=q", "全部=", "备用一=-1"}) << true
                                              << QStringList({"", "q", "", "", ""});
    }

    void startupReadingStopsAtTheFirstMissingRequiredValue()
    {
        QFETCH(QStringList, stored);
        QFETCH(bool, complete);
        QFETCH(QStringList, expected);
        for (const QString &pair : stored)
            ProfileStore::write(pair.section('=', 0, 0), "value", pair.section('=', 1), m_ini);
        RunConfig config;
        QCOMPARE(readStartupConfig(m_ini, config), complete);
        QCOMPARE(QStringList({config.connectionString, config.defaultStatement, config.allStatement,
                              config.spare1Statement, config.spare2Statement}),
                 expected);
    }

    void positions_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected"); // as written back; "error": PositionError
        QTest::newRow("not set") << "-1" << "none";
        QTest::newRow("whole") << "1500" << "1500";
        QTest::newRow("negative becomes 0") << "-300" << "0";
        QTest::newRow("fraction") << "12.5" << "12.5";
        QTest::newRow("32767 pixels") << "491505" << "491505";
        QTest::newRow("beyond 32767 pixels") << "491520" << "error";
        QTest::newRow("far negative") << "-1e30" << "error";
        QTest::newRow("text") << "abc" << "error";
        QTest::newRow("nan") << "nan" << "error";
        QTest::newRow("inf") << "inf" << "error";
        QTest::newRow("1e30") << "1e30" << "error";
    }

    void positions()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        ProfileStore::write(ini::kPosition, ini::kLeft, stored, m_ini);
        if (expected == "error") {
            QVERIFY_THROWS_EXCEPTION(PositionError, readPosition(m_ini, ini::kLeft));
            return;
        }
        const auto position = readPosition(m_ini, ini::kLeft);
        QCOMPARE(position ? positionText(*position) : "none", expected);
    }

    void writesPositionAndSettingsInOrder()
    {
        test::MessageRecorder messages;
        writePosition(m_ini, 1500.0f, 12.5f, messages);
        writeStatementTexts(m_ini, {"cs", "select 1", "", "q1", "q2"}, messages);
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(fromGbk(test::readBytes(m_ini)),
                 QString::fromUtf8("[vesko窗口位置]\r\nleft=1500\r\ntop=12.5\r\n"
                                   "[数据连接]\r\nvalue=cs\r\n[默认查询]\r\nvalue=select 1\r\n"
                                   "[全部]\r\nvalue=\r\n[备用一]\r\nvalue=q1\r\n[备用二]\r\nvalue=q2\r\n"));
        const RunConfig texts = readStoredTexts(m_ini);
        QCOMPARE(texts.allStatement, QString());
        QCOMPARE(texts.spare2Statement, QStringLiteral("q2"));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_ini;
};

QTEST_GUILESS_MAIN(TestMainConfig)
#include "tst_mainconfig.moc"
