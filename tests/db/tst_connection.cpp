#include "db/Connection.h"
#include "db/TypeCode.h"
#include "support/DataRow.h"
#include "support/TestServer.h"

#include <QDateTime>
#include <QFile>
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

// The same cases run against every engine: SQLite and PostgreSQL directly,
// both again through the ODBC driver manager, and MariaDB through ODBC, once
// in its default sql_mode and once with NO_BACKSLASH_ESCAPES. The ODBC rows
// use the same SQLite file and the same PostgreSQL schema as the direct ones.
// A data row's tag starts with its engine's name; rows of an engine this
// machine lacks skip.
class TestConnection : public QObject
{
    Q_OBJECT

    struct Engine
    {
        QString name;
        QString connectionString;
        QString prefix; // schema in front of table names
        Dialect::Engine dialect;
        bool viaOdbc;
        bool needsPg() const { return dialect == Dialect::Engine::Postgres; }
        bool needsMariaDb() const { return dialect == Dialect::Engine::MySql; }
    };

    QList<Engine> m_engines;
    const Engine *m_engine = nullptr; // the engine of the running row
    std::optional<QTemporaryDir> m_dir;
    QString m_schema;
    bool m_pgCreated = false;
    bool m_mariaDbCreated = false;

    static QString env(const char *name) { return qEnvironmentVariable(name); }

    static QString pgString(const QString &host, const QString &password, bool viaOdbc = false,
                            const QString &user = env("VESKO_TEST_PG_USER"))
    {
        return QString(viaOdbc ? "Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=postgres;Uid=%3;Pwd={%4}"
                               : "Provider=PostgreSQL;Host=%1;Port=%2;Database=postgres;User ID=%3;Password={%4}")
            .arg(host, env("VESKO_TEST_PG_PORT"), user, password);
    }

    QString odbcSqliteString(const QString &file) const
    {
        return QStringLiteral("Driver={SQLite3};Database=%1;NoCreat=1").arg(m_dir->filePath(file));
    }

    ConnectionPtr admin() const
    {
        return Connection::open(pgString(env("VESKO_TEST_PG_HOST"), env("VESKO_TEST_PG_PASSWORD")), m_dir->path());
    }
    static ConnectionPtr mariaDbAdmin() { return Connection::open(vesko::test::mariadbConnection(), QString()); }
    ConnectionPtr open() const { return Connection::open(m_engine->connectionString, m_dir->path()); }
    QString sql(QString statement) const { return statement.replace("$.", m_engine->prefix); }
    ResultPtr run(const QString &statement) const { return open()->execute(sql(statement)); }

    static void createFixture(Connection &connection, const QString &prefix, const QString &dateTimeType)
    {
        const QString table = prefix + "人员";
        connection.execute(QStringLiteral("create table %1 (编号 integer, 姓名 varchar(20), 出生日期 date, "
                                          "登记时间 %2, 备注 text)")
                               .arg(table, dateTimeType));
        connection.execute(QStringLiteral("insert into %1 values "
                                          "(1, '张三', '1980-01-15', '2012-03-04 23:00:00', 'a'), "
                                          "(2, '李四', '1985-06-30', '2012-03-05 01:01:01', ''), "
                                          "(3, '王五', NULL, '2012-03-05 10:00:00', NULL), "
                                          "(4, '赵六', '1990-12-01', '2012-03-07 23:59:01', '备注'), "
                                          "(5, '欧阳修', '2000-02-29', '2012-03-07 23:59:30', 'x'), "
                                          "(6, '孙七', '1975-05-05', '2012-03-06 00:00:00', 'y')")
                               .arg(table));
    }

private slots:
    void initTestCase()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        // An empty file is an empty SQLite database; notes.txt is not one.
        QVERIFY(QFile(m_dir->filePath("registry.db")).open(QIODevice::WriteOnly));
        QFile notes(m_dir->filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write(QByteArray(4096, 'n')) == 4096);
        const QString pgHost = env("VESKO_TEST_PG_HOST");
        const QString pgPassword = env("VESKO_TEST_PG_PASSWORD");
        m_schema = QStringLiteral("vesko_db_%1_%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QDateTime::currentMSecsSinceEpoch());
        // The PostgreSQL rows log in as a role whose sessions default to
        // reading a backslash in a literal as an escape.
        const auto sqlite = Dialect::Engine::Sqlite;
        const auto pg = Dialect::Engine::Postgres;
        const QString maria = vesko::test::mariadbConnection(m_schema);
        m_engines = {{"sqlite", "Provider=SQLite;Data Source=registry.db", "main.", sqlite, false},
                     {"odbc-sqlite", odbcSqliteString("registry.db"), "main.", sqlite, true},
                     {"postgresql", pgString(pgHost, pgPassword, false, m_schema), m_schema + ".", pg, false},
                     {"odbc-postgresql", pgString(pgHost, pgPassword, true, m_schema), m_schema + ".", pg, true},
                     {"odbc-mariadb", maria, m_schema + ".", Dialect::Engine::MySql, true},
                     {"odbc-mariadb-nobackslash",
                      maria + ";InitStmt={SET sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')}", m_schema + ".",
                      Dialect::Engine::MySql, true}};
        const ConnectionPtr file = Connection::open(m_engines.at(0).connectionString, m_dir->path());
        createFixture(*file, "", "datetime");
        file->execute("create table 杂项 (日期 date, 次数)");
        file->execute("insert into 杂项 values ('不详', 3)");
        file->execute("create table 时刻 (编号 integer, 时间 datetime)");
        file->execute("insert into 时刻 values (1, '2012-03-04 23:59:59.999'), (2, '2012-03-05T10:00:00'), "
                      "(3, '2012-03-05 23:59:59.500'), (4, '2012-03-07'), (5, '2012-03-07下午'), (6, '2012-03-08')");
        if (!pgHost.isEmpty()) {
            const ConnectionPtr server = admin();
            server->execute(QString("create role %1 login password '%2'").arg(m_schema, pgPassword));
            server->execute("alter role " + m_schema + " set standard_conforming_strings = off");
            server->execute("create schema authorization " + m_schema);
            m_pgCreated = true;
            createFixture(*Connection::open(m_engines.at(2).connectionString, m_dir->path()), m_schema + ".",
                          "timestamp");
        }
        if (!maria.isEmpty()) {
            mariaDbAdmin()->execute("create database " + m_schema);
            m_mariaDbCreated = true;
            createFixture(*Connection::open(maria, QString()), m_schema + ".", "datetime");
        }
    }

    void cleanupTestCase()
    {
        if (m_mariaDbCreated)
            mariaDbAdmin()->execute("drop database " + m_schema);
        if (!m_pgCreated)
            return;
        const ConnectionPtr server = admin();
        server->execute("drop schema " + m_schema + " cascade");
        server->execute("drop role " + m_schema);
    }

    void init()
    {
        m_engine = nullptr;
        const QString engine = QString::fromUtf8(QTest::currentDataTag()).section(' ', 0, 0);
        for (const Engine &e : std::as_const(m_engines))
            if (e.name == engine)
                m_engine = &e;
        if (m_engine
            && ((m_engine->needsPg() && !m_pgCreated) || (m_engine->needsMariaDb() && !m_mariaDbCreated)
                || (m_engine->viaOdbc && env("ODBCSYSINI").isEmpty())))
            QSKIP("VESKO_TEST_PG_HOST, VESKO_TEST_MARIADB_HOST or ODBCSYSINI is not set");
    }

    void connect_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("detail"); // part of the failure's text

        const QString host = env("VESKO_TEST_PG_HOST");
        const QString password = env("VESKO_TEST_PG_PASSWORD");
        dataRow("sqlite missing file", "Provider=SQLite;Data Source=missing.db", "unable to open database file");
        dataRow("sqlite not a database", "Provider=SQLite;Data Source=notes.txt", "file is not a database");
        dataRow("sqlite without a file", "Provider=SQLite", "Data Source");
        dataRow("odbc-sqlite missing file", odbcSqliteString("missing.db"), "connect failed");
        dataRow("postgresql bad password", pgString(host, "wrong"), "password authentication failed");
        dataRow("old OLE DB provider", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=reg.mdb", "Provider=PostgreSQL");
    }

    void connect()
    {
        QFETCH(QString, connectionString);
        QFETCH(QString, detail);
        try {
            Connection::open(connectionString, m_dir->path());
            QFAIL("the connection opened");
        } catch (const DbError &error) {
            QVERIFY2(error.detail().contains(detail, Qt::CaseInsensitive), qPrintable(error.detail()));
        }
        // A mistyped path never leaves a new empty database behind.
        QVERIFY(!QFile::exists(m_dir->filePath("missing.db")));
    }

    // Name, type code and text of every cell of one column.
    void columns_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type"); // TypeCode::Text: anything but integer or date
        QTest::addColumn<QStringList>("texts");
        const QString all = "select * from $.人员 order by 编号";
        for (const Engine &e : std::as_const(m_engines)) {
            const QByteArray tag = e.name.toUtf8() + ' ';
            dataRow(tag + "integer", all, 0, "编号", int(TypeCode::Integer), QStringList{"1", "2", "3", "4", "5", "6"});
            dataRow(tag + "Chinese text", all, 1, "姓名", int(TypeCode::Text),
                    QStringList{"张三", "李四", "王五", "赵六", "欧阳修", "孙七"});
            dataRow(tag + "date", all, 2, "出生日期", int(TypeCode::Date),
                    QStringList{"1980/1/15", "1985/6/30", "<null>", "1990/12/1", "2000/2/29", "1975/5/5"});
            dataRow(tag + "date-time", all, 3, "登记时间", int(TypeCode::Date),
                    QStringList{"2012/3/4 23:00:00", "2012/3/5 1:01:01", "2012/3/5 10:00:00", "2012/3/7 23:59:01",
                                "2012/3/7 23:59:30", "2012/3/6"});
            dataRow(tag + "Null apart from empty", all, 4, "备注", int(TypeCode::Text),
                    QStringList{"a", "", "<null>", "备注", "x", "y"});
            dataRow(tag + "no rows", "select * from $.人员 where 编号 < 0", 4, "备注", int(TypeCode::Text),
                    QStringList());
            // Whole days as the engine's dialect writes them.
            const Dialect dialect(e.dialect);
            const auto range = [&](const QString &field, QDate from, QDate to) {
                return "select 姓名 from $.人员 where "
                    + dialect.dayRange(field, from.toString("yyyy-M-d"), from, to.toString("yyyy-M-d"), to)
                    + " order by 编号";
            };
            dataRow(tag + "date-time range", range("登记时间", {2012, 3, 5}, {2012, 3, 7}), 0, "姓名",
                    int(TypeCode::Text), QStringList{"李四", "王五", "赵六", "欧阳修", "孙七"});
            dataRow(tag + "date range", range("出生日期", {1980, 1, 15}, {1990, 12, 1}), 0, "姓名", int(TypeCode::Text),
                    QStringList{"张三", "李四", "赵六"});
            dataRow(tag + "duplicate name", "select 姓名, 编号 as 姓名 from $.人员 where 编号 = 4", 1, "姓名",
                    int(TypeCode::Integer), QStringList{"4"});
        }
        // SQLite keeps other text in a date column; a column without a
        // declared type takes the type of its values.
        dataRow("sqlite text in a date column", "select 日期 from 杂项", 0, "日期", int(TypeCode::Date),
                QStringList{"不详"});
        dataRow("sqlite untyped", "select 次数, count(*) as n from 杂项", 1, "n", int(TypeCode::Integer),
                QStringList{"1"});
        // Whatever follows the day in the text, a range finds it.
        const QString days =
            Dialect(Dialect::Engine::Sqlite).dayRange("时间", "2012-3-5", {2012, 3, 5}, "2012-3-7", {2012, 3, 7});
        for (const char *engine : {"sqlite", "odbc-sqlite"})
            QTest::addRow("%s day range over stored text", engine) << "select 编号 from 时刻 where "
                    + days << 0 << "编号" << int(TypeCode::Integer) << QStringList{"2", "3", "4", "5"};
    }

    void columns()
    {
        QFETCH(QString, statement);
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QStringList, texts);
        const ConnectionPtr connection = open();
        QCOMPARE(connection->dialect().engine(), m_engine->dialect);
        const ResultPtr result = connection->execute(sql(statement));
        QCOMPARE(result->columnName(index), name);
        const TypeCode code = result->columnType(index);
        QCOMPARE(int(isInteger(code) || isDate(code) ? code : TypeCode::Text), type);
        QStringList values;
        for (qint64 row = 0; row < result->rowCount(); ++row)
            values.append(result->isNull(row, index) ? QStringLiteral("<null>") : result->text(row, index));
        QCOMPARE(values, texts);
    }

    // What a statement gives: the first cell, no result set (null), or a
    // failure whose text holds what follows "error:". The text reaches the
    // engine byte for byte; a failure changes nothing.
    void outcome_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("outcome");
        // Longer than one read of the ODBC path and than one length byte.
        const QString longText = QString(5000, u'长') + "尾";
        // Search values as the dialect writes them: a backslash neither ends
        // a literal nor escapes in a pattern, whatever the server's mode.
        const QString injection = "\\'; drop table canary; --";
        for (const Engine &e : std::as_const(m_engines)) {
            const Dialect dialect(e.dialect);
            const auto matches = [&](const QString &text, const QString &part) {
                return "select count(*) as v from $.人员 where 编号 = 1 and " + dialect.literal(text).value() + " like "
                    + dialect.containsPattern(part).value();
            };
            const QByteArray tag = e.name.toUtf8() + ' ';
            dataRow(tag + "long value", "select '" + longText + "' as v", longText);
            // The SQLite ODBC driver garbles surrogate pairs in the statement.
            if (e.name != "odbc-sqlite")
                dataRow(tag + "outside the BMP", "select '𠮷野家' as v", "𠮷野家");
            dataRow(tag + "backslash", "select " + dialect.literal(injection).value() + " as v", injection);
            dataRow(tag + "LIKE finds a backslash", matches("x" + injection + "!%_y", injection + "!"), "1");
            dataRow(tag + "LIKE backslash escapes nothing", matches("ab", "a\\b"), "0");
            dataRow(tag + "LIKE ! escapes nothing", matches("ab\\", "a!b\\"), "0");
            // PostgreSQL sessions carry the desk's name; MySQL reads || as or.
            const QString named = e.needsPg() ? "5 # 3 # 1 || current_setting('application_name')"
                : e.needsMariaDb()            ? "concat(7, 'vesko')"
                                              : "7 || 'vesko'";
            dataRow(tag + "# unchanged", "select " + named + " as v /* # 3 # */", "7vesko");
            // The rows run in order: an update, what it changed, and an
            // update that matches nothing, which is no failure either.
            dataRow(tag + "update", "update $.人员 set 备注 = '改' where 编号 = 6", QString());
            dataRow(tag + "updated", "select 备注 from $.人员 where 编号 = 6", "改");
            dataRow(tag + "update of nothing", "update $.人员 set 备注 = 'z' where 编号 < 0", QString());
            dataRow(tag + "syntax error", "selec * from $.人员", "error:syntax");
            dataRow(tag + "blank", "   ", "error:");
            dataRow(tag + "NUL", QString("update $.人员 set 备注 = 'bad'") + QChar() + " where 编号 = 1", "error:NUL");
            dataRow(tag + "second statement changes", "select 1 as a; update $.人员 set 备注 = 'bad'", "error:");
            dataRow(tag + "first statement changes", "update $.人员 set 备注 = 'bad'; select 2 as b", "error:");
        }
    }

    void outcome()
    {
        QFETCH(QString, statement);
        QFETCH(QString, outcome);
        const ConnectionPtr connection = open();
        try {
            const ResultPtr result = connection->execute(sql(statement));
            QCOMPARE(result->isOpen() ? result->text(0, 0) : QString(), outcome);
        } catch (const DbError &error) {
            QVERIFY2(outcome.startsWith("error:") && error.detail().contains(outcome.mid(6), Qt::CaseInsensitive),
                     qPrintable(error.detail()));
        }
        QCOMPARE(connection->execute(sql("select 备注 from $.人员 where 备注 = 'bad'"))->rowCount(), 0);
    }

    // The administrator sees the desks by name among the sessions, from
    // their start on, so that a statement resetting the settings keeps it;
    // a name the string gives counts through ODBC too.
    void namesTheSession_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        for (const Engine &e : std::as_const(m_engines)) {
            if (e.needsPg()) {
                dataRow(e.name.toUtf8() + " by default", "", "vesko");
                dataRow(e.name.toUtf8() + " as the string says", ";application_name=desk 3", "desk 3");
            }
        }
    }

    void namesTheSession()
    {
        QFETCH(QString, key);
        const ConnectionPtr connection = Connection::open(m_engine->connectionString + key, m_dir->path());
        connection->execute("reset all");
        const QString backend = connection->execute("select pg_backend_pid()")->text(0, 0);
        QTEST(admin()->execute("select application_name from pg_stat_activity where pid = " + backend)->text(0, 0),
              "name");
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
        const QString streaming =
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000000) select i from n";
        const QString counting = "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000000000) "
                                 "select count(*) from n";
        const QString endless = "select count(*) from seq_1_to_1000000000000 where seq % 7 = 3";
        for (const Engine &e : std::as_const(m_engines)) {
            // The sql_mode changes nothing of a cancel.
            if (e.name.endsWith("nobackslash"))
                continue;
            const QByteArray tag = e.name.toUtf8() + ' ';
            // MariaDB ends a recursive query after 1000 rounds.
            dataRow(tag + "cancel at once", (e.needsMariaDb() ? endless : counting), "at once",
                    DbError::Kind::Cancelled);
            // The ODBC drivers of SQLite and MariaDB read the whole result before the first row.
            if (e.name != "odbc-sqlite" && !e.needsMariaDb())
                dataRow(tag + "cancel while rows stream", streaming, "streaming", DbError::Kind::Cancelled);
            if (e.needsPg())
                dataRow(tag + "terminate", streaming, "terminate", DbError::Kind::ConnectionLost);
        }
        dataRow("sqlite silent", counting, "silent", DbError::Kind::Failed);
        dataRow("postgresql silent", "select pg_sleep(600)", "silent", DbError::Kind::Failed);
        dataRow("odbc-postgresql silent", "select pg_sleep(600)", "silent", DbError::Kind::Failed);
        dataRow("odbc-mariadb silent", "select sleep(600)", "silent", DbError::Kind::Failed);
        dataRow("odbc-mariadb cancelled sleep", "select sleep(600)", "at once", DbError::Kind::Cancelled);
        dataRow("postgresql stopped server", "select 1", "stop", DbError::Kind::Failed);
        dataRow("sqlite locked file", "select count(*) from 人员", "lock", DbError::Kind::Cancelled);
    }

    void fault()
    {
        QFETCH(QString, statement);
        QFETCH(QString, fault);
        QFETCH(DbError::Kind, kind);
        const bool silent = fault == "silent" || fault == "stop";
        const ConnectionPtr connection =
            Connection::open(m_engine->connectionString + (silent ? ";Command Timeout=1" : ""), m_dir->path());
        const QString backend = m_engine->needsPg() ? connection->execute("select pg_backend_pid()")->text(0, 0) : "";
        // Signal 0 sends nothing.
        kill(backend.toInt(), fault == "stop" ? SIGSTOP : 0);
        const auto resume = qScopeGuard([&] { kill(backend.toInt(), fault == "stop" ? SIGCONT : 0); });
        // Another program that holds the file locked.
        const ConnectionPtr holder = fault == "lock" ? open() : nullptr;
        if (holder)
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
            if (fault == "streaming")
                QTRY_VERIFY_WITH_TIMEOUT(connection->rowsFetched() > 1, 30000);
            if (fault == "terminate") {
                QTRY_VERIFY_WITH_TIMEOUT(connection->rowsFetched() > 1, 30000);
                admin()->execute("select pg_terminate_backend(" + backend + ")");
            }
            if (!silent && fault != "terminate")
                cancel->cancel();
            QTRY_VERIFY_WITH_TIMEOUT(running.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 30000);
            QVERIFY2(caught == kind, qPrintable(QString("attempt %1").arg(attempt)));
        }
        // After a cancel the engine answered the connection takes the next
        // statement; a lost one says so again.
        if (fault == "terminate" || fault == "stop" || (silent && !m_engine->viaOdbc && m_engine->needsPg()))
            QVERIFY_THROWS_EXCEPTION(DbError, connection->execute("select 2 as v"));
        else
            QCOMPARE(connection->execute("select 2 as v")->text(0, 0), QString("2"));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
