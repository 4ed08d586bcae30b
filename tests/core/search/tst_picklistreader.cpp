#include "core/search/PickListReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vesko;

namespace {

// GBK bytes of 张三 and 李四.
const QByteArray kZhangSan = QByteArray::fromHex("d5c5c8fd");
const QByteArray kLiSi = QByteArray::fromHex("c0eecbc4");

QByteArray lines(int count)
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += QByteArray::number(i) + "\r\n";
    return bytes;
}

QStringList numbers(int count)
{
    QStringList entries;
    for (int i = 1; i <= count; ++i)
        entries += QString::number(i);
    return entries;
}

} // namespace

class TestPickListReader : public QObject
{
    Q_OBJECT

private:
    QString listFolder() const { return m_dir.filePath(QStringLiteral("set_info/bg_info/field_list")); }

    void write(const QString &relativePath, const QByteArray &bytes)
    {
        const QString path = QDir(listFolder()).filePath(relativePath);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    QTemporaryDir m_dir;
    PickListReader m_reader{ProgramDirectory(m_dir.path())};

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(listFolder()).removeRecursively());
        QVERIFY(QDir().mkpath(listFolder()));
    }

    void readsEntries_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("height");

        QTest::newRow("9 lines") << "编号" << lines(9) << numbers(9) << 100;
        QTest::newRow("10 lines") << "编号" << lines(10) << numbers(10) << 200;
        QTest::newRow("last line without line end")
                << "x" << QByteArray("a\r\nb") << QStringList{"a", "b"} << 100;
        QTest::newRow("last line with CR LF")
                << "x" << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"} << 100;
        QTest::newRow("lone CR") << "x" << QByteArray("a\rb\r") << QStringList{"a", "b"} << 100;
        QTest::newRow("lone LF") << "x" << QByteArray("a\nb\n") << QStringList{"a", "b"} << 100;
        QTest::newRow("CR before CR LF") << "x" << QByteArray("a\r\r\nb")
                                         << QStringList{"a", "", "b"} << 100;
        QTest::newRow("blank line") << "x" << QByteArray("a\r\n\r\nb\r\n")
                                    << QStringList{"a", "", "b"} << 100;
        QTest::newRow("only a line end") << "x" << QByteArray("\r\n") << QStringList{""} << 100;
        QTest::newRow("leading and trailing blanks")
                << "x" << QByteArray("  a \r\n\tb\r\n") << QStringList{"  a ", "\tb"} << 100;
        QTest::newRow("GBK Chinese") << "姓名" << kZhangSan + "\r\n" + kLiSi
                                     << QStringList{"张三", "李四"} << 100;
        QTest::newRow("duplicates") << "x" << QByteArray("x\r\nx\r\n") << QStringList{"x", "x"}
                                    << 100;
        QTest::newRow("empty file") << "x" << QByteArray() << QStringList{} << 100;
        QTest::newRow("any characters in the name")
                << "a b*?:<>|\"" << QByteArray("v") << QStringList{"v"} << 100;

        // Reading goes by chunks; a line end or a character split at a chunk
        // border still counts once.
        const QByteArray longLine(65535, 'a');
        QTest::newRow("CR LF split by a chunk border")
                << "x" << longLine + "\r\nb" << QStringList{QString(longLine), "b"} << 100;
        QTest::newRow("GBK character split by a chunk border")
                << "x" << longLine + kZhangSan << QStringList{QString(longLine) + "张三"} << 100;
    }

    void readsEntries()
    {
        QFETCH(QString, column);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QFETCH(int, height);

        write(column + ".flt", bytes);
        const PickList list = m_reader.read(column);
        QVERIFY(list.found);
        QVERIFY(list.completed);
        QCOMPARE(list.entries, entries);
        QCOMPARE(PickListReader::listHeight(list.entries.size()), height);
    }

    void noFile()
    {
        write("other.flt", "v");
        const PickList list = m_reader.read(QStringLiteral("姓名"));
        QVERIFY(!list.found);
        QVERIFY(list.entries.isEmpty());
    }

    void unreadableFile()
    {
        QVERIFY(QDir(listFolder()).mkdir("x.flt"));
        const PickList list = m_reader.read(QStringLiteral("x"));
        QVERIFY(list.found);
        QVERIFY(!list.completed);
        QVERIFY(list.entries.isEmpty());
    }

    void staysInsideTheListFolder_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("bait");  // where the name would lead, relative to the list folder

        QTest::newRow("parent step") << "../x" << "../x.flt";
        QTest::newRow("slash") << "a/b" << "a/b.flt";
        QTest::newRow("absolute") << m_dir.filePath("abs") << "../../../abs.flt";
        QTest::newRow("backslash") << "a\\b" << "a\\b.flt";
        QTest::newRow("dot dot") << ".." << "...flt";
        QTest::newRow("dot") << "." << "..flt";
        QTest::newRow("NUL") << QString("x") + QChar(0) + "y" << "x";
    }

    void staysInsideTheListFolder()
    {
        QFETCH(QString, column);
        QFETCH(QString, bait);

        write(bait, "secret");
        QCOMPARE(m_reader.path(column), std::nullopt);
        const PickList list = m_reader.read(column);
        QVERIFY(!list.found);
        QVERIFY(list.entries.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPickListReader)
#include "tst_picklistreader.moc"
