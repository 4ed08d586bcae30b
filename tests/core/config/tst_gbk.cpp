#include "core/config/Gbk.h"
#include "support/TestRunner.h"

#include <QTest>

using namespace vesko;
using vesko::test::dataRow;

class TestGbk : public QObject
{
    Q_OBJECT

private slots:
    // An invalid byte reads as a replacement character and never joins a
    // character that follows.
    void decodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        dataRow("character cut off at the end", QByteArray("A\xcd\x36"), QStringLiteral("A\uFFFD6"));
        dataRow("character cut off before the euro sign", QByteArray("\x81\x30\x41\x81\x80\x41"),
                QStringLiteral("\uFFFD0A\uFFFD€A"));
    }

    void decodes()
    {
        QFETCH(QByteArray, bytes);
        QTEST(fromGbk(bytes), "text");
    }
};

VESKO_TEST_MAIN(TestGbk, QCoreApplication)

#include "tst_gbk.moc"
