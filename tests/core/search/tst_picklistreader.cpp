#include "core/search/PickListReader.h"
#include "support/FileBytes.h"
#include "support/TestRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace vesko;
using vesko::test::dataRow;

class TestPickListReader : public QObject
{
    Q_OBJECT

private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("file");        // in the list folder
        QTest::addColumn<QByteArray>("bytes");    // or what lies there: folder, fifo, zero
        QTest::addColumn<QStringList>("entries"); // {"<missing>"}: the list counts as missing

        const QStringList missing{"<missing>"};
        auto row = [](const char *name, const QString &column, const QByteArray &bytes, const QStringList &entries) {
            dataRow(name, column, column + ".flt", bytes, entries);
        };
        row("lone CR and LF", "x", "a\rb\nc\r\n", {"a", "b", "c"});
        row("CR before CR LF, blank lines, last line without line end", "x", "a\r\r\n\r\nb", {"a", "", "", "b"});
        row("blanks and repeats kept", "x", "  a \r\n\tb\r\n  a \r\n", {"  a ", "\tb", "  a "});
        row("GBK Chinese that begins as UTF-8 would", "姓名", QByteArray::fromHex("c3a90d0ad5c5c8fd0d0ac0eecbc4"),
            {"茅", "张三", "李四"});
        row("UTF-8, its byte order mark dropped", "x", QStringLiteral("\uFEFF张三\n李四").toUtf8(), {"张三", "李四"});
        row("UTF-8 without byte order mark", "x", QStringLiteral("张三\r\n").toUtf8(), {"张三"});
        row("empty file", "x", "", {});
        row("any characters in the name", "a b*?:<>|\"", "v", {"v"});
        const qsizetype lineEnds = PickListReader::kMaxEntries - 1;
        const qsizetype rest = PickListReader::kMaxBytes - lineEnds;
        row("at both caps", "x", QByteArray(lineEnds, '\n') + QByteArray(rest, 'a'),
            QStringList(lineEnds, "") << QString(rest, u'a'));
        row("one byte past the cap", "x", QByteArray(lineEnds, '\n') + QByteArray(rest + 1, 'a'), missing);
        row("one entry past the cap", "x", QByteArray(lineEnds + 1, '\n') + 'a', missing);
        row("folder", "x", "folder", missing);
        row("FIFO without a writer", "x", "fifo", missing);
        row("link to /dev/zero", "x", "zero", missing);
        dataRow("no file", "x", "y.flt", QByteArray("v"), missing);
        // A name that would lead out of the folder, to a file that is there.
        dataRow("parent step", "../x", "../x.flt", QByteArray("v"), missing);
        dataRow("backslash", "a\\b", "a\\b.flt", QByteArray("v"), missing);
        dataRow("dot dot", "..", "...flt", QByteArray("v"), missing);
        dataRow("dot", ".", "..flt", QByteArray("v"), missing);
        dataRow("NUL", QString("x") + QChar(0) + "y", "x", QByteArray("v"), missing);
    }

    void reads()
    {
        QFETCH(QString, column);
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QTemporaryDir program;
        QVERIFY(QDir().mkpath(program.filePath("set_info/bg_info/field_list")));
        const QString path = program.filePath("set_info/bg_info/field_list/" + file);
        if (bytes == "folder")
            QVERIFY(QDir().mkdir(path));
        else if (bytes == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (bytes == "zero")
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        else
            QVERIFY(test::writeBytes(path, bytes));
        QTEST(PickListReader(ProgramDirectory(program.path())).read(column).value_or(QStringList{"<missing>"}),
              "entries");
    }

    void listHeight()
    {
        QCOMPARE(QList({PickListReader::listHeight(9), PickListReader::listHeight(10)}), QList({100, 200}));
    }
};

VESKO_TEST_MAIN(TestPickListReader, QCoreApplication)
#include "tst_picklistreader.moc"
