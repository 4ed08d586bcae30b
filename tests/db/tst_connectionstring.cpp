#include "db/ConnectionString.h"
#include "db/DbError.h"

#include <QTest>

using vesko::db::ConnectionString;
using vesko::db::DbError;

class TestConnectionString : public QObject
{
    Q_OBJECT

private slots:
    void values_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");

        const QString pg = "Provider=PostgreSQL; Host = db.local ;Port=5433;User ID=登记;Password=pw";
        QTest::newRow("keys without case") << pg << "HOST" << "db.local";
        QTest::newRow("key with a blank") << pg << "user id" << "登记";
        QTest::newRow("last pair without ;") << pg << "password" << "pw";
        QTest::newRow("missing key") << pg << "Database" << "";
        QTest::newRow("braces keep ; and =") << "Driver={SQLite3};Database={a;b=c.db}" << "database"
                                            << "a;b=c.db";
        QTest::newRow("doubled brace") << "Pwd={x}}y};DSN=d" << "pwd" << "x}y";
        QTest::newRow("double quotes") << "Password=\"p;w \"\"q\"\"\";Host=h" << "password" << "p;w \"q\"";
        QTest::newRow("blanks inside quotes kept") << "Password=\" a \"" << "password" << " a ";
        QTest::newRow("later pair wins") << "Host=a;Host=b" << "host" << "b";
        QTest::newRow("empty pairs skipped") << ";;Host=a;;" << "host" << "a";
        QTest::newRow("empty value") << "Password=;Host=a" << "password" << "";
        QTest::newRow("= inside a plain value") << "options=-c search_path=x" << "options"
                                              << "-c search_path=x";
    }

    void values()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const ConnectionString parsed(text);
        QCOMPARE(parsed.value(key), value);
    }

    void malformedStringsFail_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("pair without =") << "Provider=SQLite;registry.db";
        QTest::newRow("unterminated brace") << "Driver={SQLite3;Database=a";
        QTest::newRow("unterminated quote") << "Password=\"abc";
        QTest::newRow("text after quotes") << "Password=\"a\"b;Host=h";
    }

    void malformedStringsFail()
    {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(DbError, ConnectionString{text});
    }

    void withoutCutsOnlyThatKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rest");
        QTest::newRow("first") << "Provider=ODBC;Driver={SQLite3};Database=a.db"
                               << "Driver={SQLite3};Database=a.db";
        QTest::newRow("middle, other case") << "DSN=reg; provider = odbc ;UID=u" << "DSN=reg;UID=u";
        QTest::newRow("last") << "DSN=reg;Provider=ODBC" << "DSN=reg;";
        QTest::newRow("braced value kept as written")
            << "Provider=ODBC;Driver={PostgreSQL Unicode};Pwd={a;b}" << "Driver={PostgreSQL Unicode};Pwd={a;b}";
        QTest::newRow("absent") << "DSN=reg" << "DSN=reg";
    }

    void withoutCutsOnlyThatKey()
    {
        QFETCH(QString, text);
        QFETCH(QString, rest);
        QCOMPARE(ConnectionString(text).without("Provider"), rest);
    }

    void pairsKeepTheirOrder()
    {
        const ConnectionString parsed("Provider=PostgreSQL;sslmode=disable;Host=h");
        QCOMPARE(parsed.pairs().size(), 3);
        QCOMPARE(parsed.pairs().at(1).key, QString("sslmode"));
        QCOMPARE(parsed.pairs().at(1).value, QString("disable"));
        QVERIFY(parsed.contains("SSLMODE"));
        QVERIFY(!parsed.contains("ssl"));
    }
};

QTEST_GUILESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
