#include "core/search/PickListReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace vesko;

class TestPickListReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    PickListReader m_reader{ProgramDirectory(m_dir.path())};

    QString listFile(const QString &name) const
    {
        return m_dir.filePath(QStringLiteral("set_info/bg_info/field_list/") + name);
    }

private slots:
    void init()
    {
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("set_info"))).removeRecursively());
        QVERIFY(QDir().mkpath(listFile(QStringLiteral("sub"))));
    }

    void readsEntries_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");

        QTest::newRow("last line without line end") << "x" << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("lone CR and LF") << "x" << QByteArray("a\rb\nc\r\n") << QStringList{"a", "b", "c"};
        QTest::newRow("CR before CR LF, blank lines") << "x" << QByteArray("a\r\r\n\r\nb") << QStringList{"a", "", "", "b"};
        QTest::newRow("blanks and repeats kept") << "x" << QByteArray("  a \r\n\tb\r\n  a \r\n")
                                                 << QStringList{"  a ", "\tb", "  a "};
        QTest::newRow("GBK Chinese") << "姓名" << QByteArray::fromHex("d5c5c8fd0d0ac0eecbc4") << QStringList{"张三", "李四"};
        QTest::newRow("empty file") << "x" << QByteArray() << QStringList{};
        QTest::newRow("any characters in the name") << "a b*?:<>|\"" << QByteArray("v") << QStringList{"v"};
        QTest::newRow("at the cap") << "x" << QByteArray(PickListReader::kMaxBytes, 'a')
                                    << QStringList{QString(PickListReader::kMaxBytes, u'a')};
    }

    void readsEntries()
    {
        QFETCH(QString, column);
        QFETCH(QByteArray, bytes);
        QFile file(listFile(column + QStringLiteral(".flt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
        file.close();
        QTEST(m_reader.read(column).value_or(QStringList{"<missing>"}), "entries");
    }

    void listHeight()
    {
        QCOMPARE(PickListReader::listHeight(9), 100);
        QCOMPARE(PickListReader::listHeight(10), 200);
    }

    // What counts as missing: nothing, a special file or one past the cap,
    // and any name that would lead out of the list folder.
    void missing_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("kind"); // what lies at the file's place
        QTest::addColumn<QString>("bait"); // a regular file a wrong path would read

        QTest::newRow("no file") << "x" << "none" << "";
        QTest::newRow("folder") << "x" << "folder" << "";
        QTest::newRow("FIFO without a writer") << "x" << "fifo" << "";
        QTest::newRow("link to /dev/zero") << "x" << "zero" << "";
        QTest::newRow("one byte past the cap") << "x" << "large" << "";
        QTest::newRow("parent step") << "../x" << "none" << "../x.flt";
        QTest::newRow("slash") << "sub/b" << "none" << "sub/b.flt";
        QTest::newRow("backslash") << "a\\b" << "none" << "a\\b.flt";
        QTest::newRow("dot dot") << ".." << "none" << "...flt";
        QTest::newRow("dot") << "." << "none" << "..flt";
        QTest::newRow("NUL") << QString("x") + QChar(0) + "y" << "none" << "x";
    }

    void missing()
    {
        QFETCH(QString, column);
        QFETCH(QString, kind);
        QFETCH(QString, bait);
        const QString path = listFile(QStringLiteral("x.flt"));
        if (!bait.isEmpty()) {
            QFile file(listFile(bait));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("secret") == 6);
        }
        if (kind == "folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "zero")
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        else if (kind == "large") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(PickListReader::kMaxBytes + 1));
        }
        QCOMPARE(m_reader.read(column), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestPickListReader)
#include "tst_picklistreader.moc"
