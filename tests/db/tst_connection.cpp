#include "db/Connection.h"
#include "db/TypeCode.h"
#include "support/TestRunner.h"
#include "support/TestServer.h"

#include <QFile>
#include <QMap>
#include <QScopeGuard>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>
#include <optional>

#include <signal.h>

using namespace vesko::db;
using vesko::test::dataRow;

Q_DECLARE_METATYPE(DbError::Kind)
Q_DECLARE_METATYPE(TypeCode)

// The same cases run against every engine: SQLite and PostgreSQL directly,
// both again through the ODBC driver manager, and MariaDB through ODBC, once
// in its default sql_mode and once with NO_BACKSLASH_ESCAPES. The ODBC rows
// use the same SQLite file and the same PostgreSQL schema as the direct ones.
// A data row's tag starts with its engine's name; rows of an engine this
// machine lacks skip.
class TestConnection : public QObject
{
    Q_OBJECT
    using enum Dialect::Engine;
    using enum TypeCode;
    using enum DbError::Kind;

    struct Engine
    {
        Dialect::Engine dialect;
        QString connectionString; // empty: this machine lacks the server
    };

    QMap<QString, Engine> m_engines; // by name
    Engine m_engine;                 // of the running row
    QTemporaryDir m_dir;
    QString m_schema;

    static ConnectionPtr admin() { return Connection::open(vesko::test::postgresConnection(), QString()); }
    static ConnectionPtr mariaDbAdmin() { return Connection::open(vesko::test::mariadbConnection(), QString()); }
    ConnectionPtr open() const { return Connection::open(m_engine.connectionString, m_dir.path()); }
    QString sql(QString text) const { return text.replace("$.", m_engine.dialect == Sqlite ? "" : m_schema + "."); }

    static void createFixture(Connection &connection, const QString &prefix, const QString &dateTimeType)
    {
        connection.execute(QStringLiteral("create table %1人员 (编号 integer, 姓名 varchar(20), 出生日期 date, "
                                          "登记时间 %2, 备注 text)")
                               .arg(prefix, dateTimeType));
        connection.execute(QStringLiteral("insert into %1人员 values "
                                          "(1, '张三', '1980-01-15', '2012-03-04 23:00:00', 'a'), "
                                          "(2, '李四', '1985-06-30', '2012-03-05 01:01:01', ''), "
                                          "(3, '王五', NULL, '2012-03-05 10:00:00', NULL), "
                                          "(4, '赵六', '1990-12-01', '2012-03-07 23:59:01', '备注'), "
                                          "(5, '欧阳修', '2000-02-29', '2012-03-07 23:59:30', 'x'), "
                                          "(6, '孙七', '1975-05-05', '2012-03-06 00:00:00', 'y')")
                               .arg(prefix));
    }

private slots:
    void initTestCase()
    {
        // An empty file is an empty SQLite database; notes.txt is not one.
        QVERIFY(QFile(m_dir.filePath("registry.db")).open(QIODevice::WriteOnly));
        QFile notes(m_dir.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write(QByteArray(4096, 'n')) == 4096);
        m_schema = "vesko_db_" + QString::number(QCoreApplication::applicationPid());
        // The PostgreSQL sessions start out reading a backslash in a literal
        // as an escape.
        const QString escapes = "-c standard_conforming_strings=off";
        const QString noBackslash = ";InitStmt={SET sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')}";
        m_engines = {{"sqlite", {Sqlite, "Provider=SQLite;Data Source=registry.db"}},
                     {"odbc-sqlite", {Sqlite, "Driver={SQLite3};Database=" + m_dir.filePath("registry.db")}},
                     {"postgresql", {Postgres, vesko::test::postgresConnection(false, ";options=" + escapes)}},
                     {"odbc-postgresql",
                      {Postgres, vesko::test::postgresConnection(true, ";pqopt={options='" + escapes + "'}")}},
                     {"odbc-mariadb", {MySql, vesko::test::mariadbConnection(m_schema)}},
                     {"odbc-mariadb-nobackslash", {MySql, vesko::test::mariadbConnection(m_schema, noBackslash)}}};
        const ConnectionPtr file = Connection::open(m_engines.value("sqlite").connectionString, m_dir.path());
        createFixture(*file, "", "datetime");
        file->execute("create table 时刻 (编号 integer, 时间 datetime)");
        file->execute("insert into 时刻 values (1, '2012-03-04 23:59:59.999'), (2, '2012-03-05T10:00:00'), "
                      "(3, '2012-03-05 23:59:59.500'), (4, '2012-03-07'), (5, '2012-03-07下午'), (6, '2012-03-08')");
        if (!vesko::test::postgresConnection().isEmpty()) {
            admin()->execute("create schema " + m_schema);
            createFixture(*admin(), m_schema + ".", "timestamp");
        }
        if (!vesko::test::mariadbConnection().isEmpty()) {
            mariaDbAdmin()->execute("create database " + m_schema);
            createFixture(*mariaDbAdmin(), m_schema + ".", "datetime");
        }
    }

    void cleanupTestCase()
    {
        if (!vesko::test::mariadbConnection().isEmpty())
            mariaDbAdmin()->execute("drop database " + m_schema);
        if (!vesko::test::postgresConnection().isEmpty())
            admin()->execute("drop schema " + m_schema + " cascade");
    }

    void init()
    {
        const QString name = QString::fromUtf8(QTest::currentDataTag()).section(' ', 0, 0);
        QVERIFY(m_engines.contains(name));
        m_engine = m_engines.value(name);
        if (m_engine.connectionString.isEmpty()
            || (name.startsWith("odbc") && qEnvironmentVariableIsEmpty("ODBCSYSINI")))
            QSKIP("VESKO_TEST_PG_HOST, VESKO_TEST_MARIADB_HOST or ODBCSYSINI is not set");
    }

    // Name, type code and the texts of every cell, joined by |, of one
    // column.
    void columns_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<TypeCode>("type"); // Text: anything but integer or date
        QTest::addColumn<QString>("texts");
        const QString all = "select * from $.人员 order by 编号";
        for (auto [name, e] : m_engines.asKeyValueRange()) {
            const QByteArray tag = name.toUtf8() + ' ';
            dataRow(tag + "date", all, 2, "出生日期", Date, "1980/1/15|1985/6/30|<null>|1990/12/1|2000/2/29|1975/5/5");
            dataRow(
                tag + "date-time", all, 3, "登记时间", Date,
                "2012/3/4 23:00:00|2012/3/5 1:01:01|2012/3/5 10:00:00|2012/3/7 23:59:01|2012/3/7 23:59:30|2012/3/6");
            dataRow(tag + "Null apart from empty", all, 4, "备注", Text, "a||<null>|备注|x|y");
            dataRow(tag + "no rows", "select * from $.人员 where 编号 < 0", 4, "备注", Text, "");
            // Whole days as the engine's dialect writes them.
            const Dialect dialect(e.dialect);
            const auto range = [&](const QString &field, QDate from, QDate to) {
                return "select 姓名 from $.人员 where "
                    + dialect.dayRange(field, from.toString("yyyy-M-d"), from, to.toString("yyyy-M-d"), to)
                    + " order by 编号";
            };
            dataRow(tag + "date-time range", range("登记时间", {2012, 3, 5}, {2012, 3, 7}), 0, "姓名", Text,
                    "李四|王五|赵六|欧阳修|孙七");
            dataRow(tag + "date range", range("出生日期", {1980, 1, 15}, {1990, 12, 1}), 0, "姓名", Text,
                    "张三|李四|赵六");
            dataRow(tag + "duplicate name", "select 姓名, 编号 as 姓名 from $.人员 where 编号 = 4", 1, "姓名", Integer,
                    "4");
        }
        // SQLite keeps other text in a date column; a column without a
        // declared type takes the type of its values.
        dataRow("sqlite text in a date column", "select 时间 from 时刻 where 编号 = 5", 0, "时间", Date,
                "2012-03-07下午");
        dataRow("sqlite untyped", "select count(*) as n from 时刻", 0, "n", Integer, "6");
        // Whatever follows the day in the text, a range finds it.
        const QString days = Dialect(Sqlite).dayRange("时间", "2012-3-5", {2012, 3, 5}, "2012-3-7", {2012, 3, 7});
        for (const QByteArray engine : {"sqlite", "odbc-sqlite"})
            dataRow(engine + " day range over stored text", "select 编号 from 时刻 where " + days, 0, "编号", Integer,
                    "2|3|4|5");
    }

    void columns()
    {
        QFETCH(QString, statement);
        QFETCH(int, index);
        const ConnectionPtr connection = open();
        QCOMPARE(connection->dialect().engine(), m_engine.dialect);
        const ResultPtr result = connection->execute(sql(statement));
        QTEST(result->columnName(index), "name");
        const TypeCode code = result->columnType(index);
        QTEST(isInteger(code) || isDate(code) ? code : Text, "type");
        QStringList texts;
        for (qint64 row = 0; row < result->rowCount(); ++row)
            texts.append(result->isNull(row, index) ? QStringLiteral("<null>") : result->text(row, index));
        QTEST(texts.join(u'|'), "texts");
    }

    // What a statement gives on a connection string with key added: the
    // first cell, no result set (null), or a failure whose text holds what
    // follows "error:". The text reaches the engine byte for byte; a failure
    // changes nothing. A row without a statement fails as the connection
    // opens.
    void outcome_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("outcome");
        // Longer than one read of the ODBC path and than one length byte.
        const QString longText = QString(5000, u'长') + "尾";
        // Search values as the dialect writes them: a backslash neither ends
        // a literal nor escapes in a pattern, whatever the server's mode.
        const QString injection = "\\'; drop table canary; --";
        // The name a reset returns to: the administrator sees the desks by
        // name among the sessions from their start on.
        const QString sessionName = "select reset_val from pg_settings where name = 'application_name'";
        for (auto [name, e] : m_engines.asKeyValueRange()) {
            const Dialect dialect(e.dialect);
            const auto matches = [&](const QString &text, const QString &part) {
                return "select count(*) as v from $.人员 where 编号 = 1 and " + dialect.literal(text).value() + " like "
                    + dialect.containsPattern(part).value();
            };
            const QByteArray tag = name.toUtf8() + ' ';
            dataRow(tag + "long value", "", "select '" + longText + "' as v", longText);
            // The SQLite ODBC driver garbles surrogate pairs in the statement.
            if (name != "odbc-sqlite")
                dataRow(tag + "outside the BMP", "", "select '𠮷野家' as v", "𠮷野家");
            dataRow(tag + "backslash", "", "select " + dialect.literal(injection).value() + " as v", injection);
            dataRow(tag + "LIKE finds a backslash", "", matches("x" + injection + "!%_y", injection + "!"), "1");
            dataRow(tag + "LIKE backslash escapes nothing", "", matches("ab", "a\\b"), "0");
            // PostgreSQL sessions carry the desk's name; MySQL reads || as or.
            const QString named = e.dialect == Postgres ? "5 # 3 # 1 || current_setting('application_name')"
                : e.dialect == MySql                    ? "concat(7, 'vesko')"
                                                        : "7 || 'vesko'";
            dataRow(tag + "# unchanged", "", "select " + named + " as v /* # 3 # */", "7vesko");
            if (e.dialect == Postgres) {
                dataRow(tag + "session named", "", sessionName, "vesko");
                dataRow(tag + "session named as the string says", ";application_name=desk 3", sessionName, "desk 3");
            }
            // The rows run in order: an update, what it changed, and an
            // update that matches nothing, which is no failure either.
            dataRow(tag + "update", "", "update $.人员 set 备注 = '改' where 编号 = 6", QString());
            dataRow(tag + "updated", "", "select 备注 from $.人员 where 编号 = 6", "改");
            dataRow(tag + "update of nothing", "", "update $.人员 set 备注 = 'z' where 编号 < 0", QString());
            dataRow(tag + "syntax error", "", "selec * from $.人员", "error:syntax");
            dataRow(tag + "blank", "", "   ", "error:");
            dataRow(tag + "NUL", "", QString("update $.人员 set 备注 = 'bad'") + QChar() + " where 编号 = 1",
                    "error:NUL");
            dataRow(tag + "second statement changes", "", "select 1 as a; update $.人员 set 备注 = 'bad'", "error:");
            dataRow(tag + "first statement changes", "", "update $.人员 set 备注 = 'bad'; select 2 as b", "error:");
        }
        dataRow("sqlite missing file", ";Data Source=missing.db", "", "error:unable to open database file");
        dataRow("sqlite not a database", ";Data Source=notes.txt", "", "error:file is not a database");
        dataRow("sqlite without a file", ";Data Source=", "", "error:Data Source");
        dataRow("sqlite old OLE DB provider", ";Provider=Microsoft.Jet.OLEDB.4.0", "", "error:Provider=PostgreSQL");
        dataRow("postgresql bad password", ";Password=wrong", "", "error:password authentication failed");
    }

    void outcome()
    {
        QFETCH(QString, key);
        QFETCH(QString, statement);
        QFETCH(QString, outcome);
        ConnectionPtr connection;
        try {
            connection = Connection::open(m_engine.connectionString + key, m_dir.path());
            const ResultPtr result = connection->execute(sql(statement));
            QCOMPARE(result->isOpen() ? result->text(0, 0) : QString(), outcome);
        } catch (const DbError &error) {
            QVERIFY2(outcome.startsWith("error:") && error.detail().contains(outcome.mid(6), Qt::CaseInsensitive),
                     qPrintable(error.detail()));
        }
        // A mistyped path never leaves a new empty database behind.
        QVERIFY(!QFile::exists(m_dir.filePath("missing.db")));
        if (connection)
            QCOMPARE(connection->execute(sql("select 备注 from $.人员 where 备注 = 'bad'"))->rowCount(), 0);
    }

    // Faults while a statement runs on another thread: a cancel at once (the
    // engine stops it before or as it starts, a hundred times over), a
    // cancel while rows stream in, a cancel while the file is locked, a
    // statement silent past Command Timeout, and a session the server ends.
    // Each ends the statement with its own kind of error; a connection the
    // engine kept takes the next statement.
    void fault_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<DbError::Kind>("kind");
        const QString streaming = "with recursive n(i) as (select 1 union all select i+1 from n) select i from n";
        const QString counting = "with recursive n(i) as (select 1 union all select i+1 from n) select count(*) from n";
        for (auto [name, e] : m_engines.asKeyValueRange()) {
            const QByteArray tag = name.toUtf8() + ' ';
            // MariaDB ends a recursive query after 1000 rounds.
            dataRow(tag + "cancel at once", e.dialect == MySql ? "select sleep(600)" : counting, "at once", Cancelled);
            // The ODBC drivers of SQLite and MariaDB read the whole result before the first row.
            if (name != "odbc-sqlite" && e.dialect != MySql)
                dataRow(tag + "cancel while rows stream", streaming, "streaming", Cancelled);
            if (e.dialect == Postgres)
                dataRow(tag + "terminate", streaming, "terminate", ConnectionLost);
        }
        dataRow("sqlite silent", counting, "silent", Failed);
        dataRow("postgresql silent", "select pg_sleep(600)", "silent", Failed);
        dataRow("odbc-postgresql silent", "select pg_sleep(600)", "silent", Failed);
        dataRow("odbc-mariadb silent", "select sleep(600)", "silent", Failed);
        dataRow("postgresql stopped server", "select 1", "stop", Failed);
        dataRow("sqlite locked file", "select count(*) from 人员", "lock", Cancelled);
    }

    void fault()
    {
        QFETCH(QString, statement);
        QFETCH(QString, fault);
        QFETCH(DbError::Kind, kind);
        const bool silent = fault == "silent" || fault == "stop";
        const ConnectionPtr connection =
            Connection::open(m_engine.connectionString + (silent ? ";Command Timeout=1" : ""), m_dir.path());
        const QString backend =
            m_engine.dialect == Postgres ? connection->execute("select pg_backend_pid()")->text(0, 0) : "";
        // Signal 0 sends nothing.
        kill(backend.toInt(), fault == "stop" ? SIGSTOP : 0);
        const auto resume = qScopeGuard([&] { kill(backend.toInt(), fault == "stop" ? SIGCONT : 0); });
        // Another program that holds the file locked.
        const ConnectionPtr holder = open();
        if (fault == "lock")
            holder->execute("begin exclusive");
        for (int attempt = 0; attempt < (fault == "at once" ? 100 : 1); ++attempt) {
            const auto cancel = std::make_shared<CancelRequest>();
            std::optional<DbError::Kind> caught;
            auto running = std::async(std::launch::async, [&] {
                try {
                    connection->execute(statement, cancel);
                } catch (const DbError &error) {
                    caught = error.kind();
                }
            });
            // A check that fails below leaves no statement running.
            const auto stop = qScopeGuard([&] { cancel->cancel(); });
            // The rows of this statement: the one of pg_backend_pid() is
            // not among them once a second has come.
            if (fault == "streaming" || fault == "terminate")
                QTRY_VERIFY_WITH_TIMEOUT(connection->rowsFetched() > 1, 30000);
            if (fault == "terminate")
                admin()->execute("select pg_terminate_backend(" + backend + ")");
            else if (!silent)
                cancel->cancel();
            QTRY_VERIFY_WITH_TIMEOUT(running.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 30000);
            QVERIFY2(caught == kind, qPrintable(QString("attempt %1").arg(attempt)));
        }
        // After a cancel the engine answered the connection takes the next
        // statement; a lost one says so again.
        if (fault == "terminate" || fault == "stop"
            || (silent && m_engine.connectionString.startsWith("Provider=PostgreSQL")))
            QVERIFY_THROWS_EXCEPTION(DbError, connection->execute("select 2 as v"));
        else
            QCOMPARE(connection->execute("select 2 as v")->text(0, 0), QString("2"));
    }
};

VESKO_TEST_MAIN(TestConnection, QCoreApplication)
#include "tst_connection.moc"
