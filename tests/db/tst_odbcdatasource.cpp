#include "db/Connection.h"
#include "support/TestRunner.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vesko::db;
using vesko::test::dataRow;

// An ODBC data source is taken from the odbc.ini files as they are at each
// open: in one process a fix works at once, and so does a break, though the
// driver manager would still hold what it read before.
class TestOdbcDataSource : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("ODBCSYSINI"))
            QSKIP("ODBCSYSINI is not set");
        // Files of the test's own, beside the drivers scripts/test.sh registered.
        QVERIFY(QFile::copy(qEnvironmentVariable("ODBCSYSINI") + "/odbcinst.ini", m_dir.filePath("odbcinst.ini")));
        qputenv("ODBCSYSINI", QFile::encodeName(m_dir.path()));
        qputenv("ODBCINI", QFile::encodeName(m_dir.filePath("user.ini")));
        QVERIFY(QFile(m_dir.filePath("registry.db")).open(QIODevice::WriteOnly));
    }

    void readsTheFilesAtEachOpen_data()
    {
        QTest::addColumn<QString>("connectionString");
        // By threes: the user's file, the system's, what the open gives
        // ("ok" or part of its failure).
        QTest::addColumn<QStringList>("steps");
        const QString good = QString("[reg]\nDriver = SQLite3\n# a comment\nDatabase = %1\nNoCreat = 1\n")
                                 .arg(m_dir.filePath("registry.db"));
        const QString broken = "[Reg]\nDriver=Missing\n";
        dataRow("fixed", "DSN=reg", QStringList{broken, "", "Missing", good, "", "ok"});
        dataRow("broken", "Provider=ODBC;DSN=reg", QStringList{good, "", "ok", broken, "", "Missing"});
        dataRow("the user's first, then the system's", "DSN=reg",
                QStringList{good, broken, "ok", "[other]\nDriver=SQLite3\n", broken, "Missing"});
        dataRow("keys of the string win", "DSN=REG;Database=" + m_dir.filePath("registry.db"),
                QStringList{QString(good).replace("registry.db", "missing.db"), "", "ok"});
        dataRow("in neither file", "DSN=reg", QStringList{"", "", "\"reg\""});
    }

    void readsTheFilesAtEachOpen()
    {
        QFETCH(QString, connectionString);
        QFETCH(QStringList, steps);
        for (qsizetype i = 0; i < steps.size(); i += 3) {
            for (const auto &[file, text] : {std::pair{"user.ini", steps.at(i)}, {"odbc.ini", steps.at(i + 1)}}) {
                QFile ini(m_dir.filePath(file));
                const QByteArray bytes = text.toUtf8();
                QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate) && ini.write(bytes) == bytes.size());
            }
            QString outcome = QStringLiteral("ok");
            try {
                Connection::open(connectionString, m_dir.path());
            } catch (const DbError &error) {
                outcome = error.detail();
            }
            QVERIFY2(outcome.contains(steps.at(i + 2)), qPrintable(QString("step %1: %2").arg(i / 3).arg(outcome)));
        }
    }
};

VESKO_TEST_MAIN(TestOdbcDataSource, QCoreApplication)
#include "tst_odbcdatasource.moc"
