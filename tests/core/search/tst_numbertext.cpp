#include "core/search/NumberText.h"

#include <QTest>

using namespace vesko;

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << "30" << "30";
        QTest::newRow("inner blank") << "3 0" << "30";
        QTest::newRow("half down to even") << "2.5" << "2";
        QTest::newRow("half up to even") << "3.5" << "4";
        QTest::newRow("group separator ends") << "1,000" << "1";
        QTest::newRow("letters") << "abc" << "0";
        QTest::newRow("empty") << "" << "0";
        QTest::newRow("negative half") << "-2.5" << "-2";
        QTest::newRow("blank after sign") << "- 3" << "-3";
        QTest::newRow("tabs and line feeds") << "\t4\n2 " << "42";
        QTest::newRow("carriage return ends") << "4\r2" << "4";
        QTest::newRow("second point ends") << "1.2.3" << "1";
        QTest::newRow("leading point") << ".6" << "1";
        QTest::newRow("two signs") << "--1" << "0";
        QTest::newRow("exponent") << "1.5E1" << "15";
        QTest::newRow("negative exponent") << "25e-1" << "2";
        QTest::newRow("huge") << "1e30" << "9223372036854775807";
        QTest::newRow("huge negative") << "-1e30" << "-9223372036854775808";
    }

    void reads()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(numberText(text), expected);
    }
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
