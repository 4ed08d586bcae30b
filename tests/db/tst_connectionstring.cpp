#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "support/TestRunner.h"

#include <QTest>

using vesko::db::ConnectionString;
using vesko::db::DbError;
using vesko::test::dataRow;

class TestConnectionString : public QObject
{
    Q_OBJECT

private slots:
    void values_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // null: the text is refused

        const QString pg = "Provider=PostgreSQL; Host = db.local ;Port=5433;User ID=登记;Password=pw";
        dataRow("keys without case", pg, "HOST", "db.local");
        dataRow("missing key", pg, "Database", "");
        dataRow("braces keep ; = and blanks", "Driver={SQLite3};Database={ a;b=c.db } ", "database", " a;b=c.db ");
        dataRow("double quotes", "Password=\"p;w \"\"q\"\"\";Host=h", "password", "p;w \"q\"");
        dataRow("empty value", "Password=;Host=a", "password", "");
        dataRow("empty pairs skipped, the last of a key counts", ";Host=a;; ;host=b;", "HOST", "b");
        dataRow("= inside a plain value", "options=-c search_path=x", "options", "-c search_path=x");
        dataRow("pair without =", "Provider=SQLite;registry.db", "provider", QString());
        dataRow("unterminated quote", "Password=\"abc", "password", QString());
        dataRow("text after a quoted value", "Pwd={a}b;Host=h", "pwd", QString());
    }

    void values()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        try {
            const QString parsed = ConnectionString(text).value(key);
            QVERIFY2(!value.isNull(), "the text was taken");
            QCOMPARE(parsed, value);
        } catch (const DbError &) {
            QVERIFY2(value.isNull(), "the text was refused");
        }
    }

    // Cutting the provider out for ODBC, and hiding passwords for messages,
    // keep every other pair exactly as written.
    void rewrites_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("withoutProvider");
        QTest::addColumn<QString>("passwordsHidden");
        dataRow("middle, other case", "DSN=reg; provider = odbc ;pwd=s;UID=u", "DSN=reg;pwd=s;UID=u",
                "DSN=reg; provider = odbc ;pwd=***;UID=u");
        dataRow("last", "DSN=reg;PASSWORD = s ;Provider=ODBC", "DSN=reg;PASSWORD = s ;",
                "DSN=reg;PASSWORD=***;Provider=ODBC");
        dataRow("every password, quoted or braced", "Password=\"a;b\";Driver={x};pwd={c;d}",
                "Password=\"a;b\";Driver={x};pwd={c;d}", "Password=***;Driver={x};pwd=***");
        dataRow("repeated keys, empty pairs", "Provider=a;;Pwd=x; provider=b;Pwd=y;;", ";Pwd=x;Pwd=y;;",
                "Provider=a;;Pwd=***; provider=b;Pwd=***;;");
        dataRow("not a connection string", "DSN=reg;Pwd={a;b", "", "***");
    }

    void rewrites()
    {
        QFETCH(QString, text);
        QFETCH(QString, withoutProvider);
        QTEST(vesko::db::maskPasswords(text), "passwordsHidden");
        if (!withoutProvider.isEmpty())
            QCOMPARE(ConnectionString(text).without("Provider"), withoutProvider);
    }
};

VESKO_TEST_MAIN(TestConnectionString, QCoreApplication)
#include "tst_connectionstring.moc"
