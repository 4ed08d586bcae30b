#include "main/db/Connection.h"
#include "main/db/TypeCode.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace vesko::db;

// The same cases run against every engine: SQLite and PostgreSQL directly,
// and both again through the ODBC driver manager. The ODBC rows use the same
// SQLite file and the same PostgreSQL schema as the direct ones.
class TestConnection : public QObject
{
    Q_OBJECT

    struct Engine
    {
        QString name;
        QString connectionString;
        QString prefix; // schema in front of table names
        bool needsPg;
        bool viaOdbc;
    };

    QList<Engine> m_engines;
    std::optional<QTemporaryDir> m_dir;
    QString m_schema;
    bool m_pgCreated = false;

    static QString env(const char *name) { return qEnvironmentVariable(name); }
    static bool havePg() { return !env("VESKO_TEST_PG_HOST").isEmpty(); }
    static bool haveOdbc() { return !env("ODBCSYSINI").isEmpty(); }

    QString pgString(const QString &host, const QString &password) const
    {
        return QStringLiteral("Provider=PostgreSQL;Host=%1;Port=%2;Database=postgres;User ID=%3;Password={%4}")
            .arg(host, env("VESKO_TEST_PG_PORT"), env("VESKO_TEST_PG_USER"), password);
    }

    QString odbcPgString(const QString &host, const QString &password) const
    {
        return QStringLiteral("Driver={PostgreSQL Unicode};Server=%1;Port=%2;Database=postgres;Uid=%3;Pwd={%4}")
            .arg(host, env("VESKO_TEST_PG_PORT"), env("VESKO_TEST_PG_USER"), password);
    }

    QString sqlitePath() const { return m_dir->filePath("registry.db"); }

    void addEngineRows()
    {
        QTest::addColumn<int>("engine");
        for (int i = 0; i < m_engines.size(); ++i)
            QTest::newRow(qPrintable(m_engines.at(i).name)) << i;
    }

    // The engine of the current data row, or nullptr after a skip.
    const Engine *engine()
    {
        QFETCH(int, engine);
        const Engine &e = m_engines.at(engine);
        if (e.needsPg && !havePg())
            return nullptr;
        if (e.viaOdbc && !haveOdbc())
            return nullptr;
        return &e;
    }

    ConnectionPtr open(const Engine &e) { return Connection::open(e.connectionString, m_dir->path()); }

    QString sql(const Engine &e, QString statement) const { return statement.replace("$.", e.prefix); }

    static QStringList column(const ResultPtr &result, int column)
    {
        QStringList values;
        for (qint64 row = 0; row < result->rowCount(); ++row)
            values.append(result->text(row, column));
        return values;
    }

    void createFixture(Connection &connection, const QString &prefix, const QString &dateTimeType)
    {
        const QString table = prefix + "人员";
        connection.execute(QStringLiteral("create table %1 (编号 integer, 姓名 varchar(20), 出生日期 date, "
                                          "登记时间 %2, 备注 text)")
                               .arg(table, dateTimeType));
        connection.execute(QStringLiteral(
            "insert into %1 values "
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
        // An empty file is an empty SQLite database.
        QFile file(sqlitePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        createFixture(*Connection::open("Provider=SQLite;Data Source=registry.db", m_dir->path()), "",
                      "datetime");
        m_engines.append({"sqlite", "Provider=SQLite;Data Source=registry.db", "main.", false, false});
        m_engines.append({"odbc-sqlite", QStringLiteral("Driver={SQLite3};Database=%1;NoCreat=1").arg(sqlitePath()),
                          "main.", false, true});

        m_schema = QStringLiteral("vesko_db_%1_%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QDateTime::currentMSecsSinceEpoch());
        m_engines.append({"postgresql", pgString(env("VESKO_TEST_PG_HOST"), env("VESKO_TEST_PG_PASSWORD")),
                          m_schema + ".", true, false});
        m_engines.append({"odbc-postgresql", odbcPgString(env("VESKO_TEST_PG_HOST"), env("VESKO_TEST_PG_PASSWORD")),
                          m_schema + ".", true, true});
        if (havePg()) {
            const ConnectionPtr pg = Connection::open(m_engines.at(2).connectionString, m_dir->path());
            pg->execute("create schema " + m_schema);
            m_pgCreated = true;
            createFixture(*pg, m_schema + ".", "timestamp");
        }
    }

    void cleanupTestCase()
    {
        if (m_pgCreated)
            Connection::open(m_engines.at(2).connectionString, m_dir->path())
                ->execute("drop schema " + m_schema + " cascade");
    }

    void connect_data()
    {
        QTest::addColumn<QString>("kind"); // which engines the row needs
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("detail"); // part of the failure's text; empty when it opens

        const QString host = env("VESKO_TEST_PG_HOST");
        const QString password = env("VESKO_TEST_PG_PASSWORD");
        for (const Engine &e : std::as_const(m_engines))
            QTest::newRow(qPrintable(e.name + " good"))
                << (e.needsPg ? "pg" : "") + QString(e.viaOdbc ? "odbc" : "") << e.connectionString << "";
        QTest::newRow("sqlite missing file") << "" << "Provider=SQLite;Data Source=missing.db"
                                             << "unable to open database file";
        QTest::newRow("sqlite not a database") << "" << "Provider=SQLite;Data Source=notes.txt"
                                               << "file is not a database";
        QTest::newRow("sqlite without a file") << "" << "Provider=SQLite" << "Data Source";
        QTest::newRow("odbc-sqlite missing file")
            << "odbc" << QStringLiteral("Driver={SQLite3};Database=%1;NoCreat=1").arg(m_dir->filePath("missing.db"))
            << "connect failed";
        QTest::newRow("postgresql bad host") << "pg" << pgString("no-such-host.invalid", password)
                                             << "no-such-host.invalid";
        QTest::newRow("postgresql bad password") << "pg" << pgString(host, "wrong") << "password authentication failed";
        QTest::newRow("odbc-postgresql bad host") << "pgodbc" << odbcPgString("no-such-host.invalid", password)
                                                  << "no-such-host.invalid";
        QTest::newRow("odbc-postgresql bad password") << "pgodbc" << odbcPgString(host, "wrong")
                                                      << "password authentication failed";
        QTest::newRow("odbc unknown driver") << "odbc" << "Provider=ODBC;Driver={No Such Driver}" << "No Such Driver";
        QTest::newRow("old OLE DB provider") << "" << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=reg.mdb"
                                             << "Provider=PostgreSQL";
        QTest::newRow("no provider") << "" << "Data Source=registry.db" << "Provider=SQLite";
        QTest::newRow("malformed") << "" << "Provider=SQLite;registry.db" << "registry.db";
    }

    void connect()
    {
        QFETCH(QString, kind);
        QFETCH(QString, connectionString);
        QFETCH(QString, detail);
        if (kind.contains("pg") && !havePg())
            QSKIP("VESKO_TEST_PG_HOST is not set");
        if (kind.contains("odbc") && !haveOdbc())
            QSKIP("ODBCSYSINI is not set");
        QFile notes(m_dir->filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write(QByteArray(4096, 'n'));
        notes.close();

        try {
            const ConnectionPtr connection = Connection::open(connectionString, m_dir->path());
            QVERIFY2(detail.isEmpty(), "the connection opened");
            QVERIFY(connection);
        } catch (const DbError &error) {
            QVERIFY2(!detail.isEmpty(), qPrintable(error.detail()));
            QVERIFY2(error.detail().contains(detail, Qt::CaseInsensitive), qPrintable(error.detail()));
        }
        // A mistyped path never leaves a new empty database behind.
        QVERIFY(!QFile::exists(m_dir->filePath("missing.db")));
    }

    void sqlitePathIsTakenFromTheProgramDirectory()
    {
        QVERIFY(Connection::open("Provider=SQLite;Data Source=registry.db", m_dir->path()));
        QVERIFY(Connection::open("Provider=SQLite;Data Source=" + sqlitePath(), QDir::rootPath()));
        QVERIFY_THROWS_EXCEPTION(DbError, Connection::open("Provider=SQLite;Data Source=registry.db",
                                                           QDir::rootPath()));
    }

    void runAndCount_data() { addEngineRows(); }
    void runAndCount()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ResultPtr result = open(*e)->execute(sql(*e, "select * from $.人员 order by 编号"));
        QVERIFY(result->isOpen());
        QCOMPARE(result->rowCount(), 6);
        QCOMPARE(result->columnCount(), 5);
        const QStringList names{"编号", "姓名", "出生日期", "登记时间", "备注"};
        for (int c = 0; c < names.size(); ++c)
            QCOMPARE(result->columnName(c), names.at(c));
        QCOMPARE(column(result, 1), QStringList({"张三", "李四", "王五", "赵六", "欧阳修", "孙七"}));
        QCOMPARE(result->currentRow(), 0);
        result->moveLast();
        QCOMPARE(result->currentRow(), 5);
        QCOMPARE(result->text(result->currentRow(), 1), QString("孙七"));
    }

    void valuesAsText_data() { addEngineRows(); }
    void valuesAsText()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ResultPtr result = open(*e)->execute(sql(*e, "select * from $.人员 order by 编号"));
        QCOMPARE(column(result, 0), QStringList({"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(column(result, 2), QStringList({"1980/1/15", "1985/6/30", "", "1990/12/1", "2000/2/29", "1975/5/5"}));
        QCOMPARE(column(result, 3), QStringList({"2012/3/4 23:00:00", "2012/3/5 1:01:01", "2012/3/5 10:00:00",
                                                 "2012/3/7 23:59:01", "2012/3/7 23:59:30", "2012/3/6"}));
        QCOMPARE(result->bytes(4, 1), std::string_view("欧阳修"));
    }

    void nullIsNotEmpty_data() { addEngineRows(); }
    void nullIsNotEmpty()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ResultPtr result = open(*e)->execute(sql(*e, "select 备注 from $.人员 order by 编号"));
        QVERIFY(!result->isNull(1, 0));
        QVERIFY(result->bytes(1, 0).empty());
        QVERIFY(result->isNull(2, 0));
        QCOMPARE(result->text(2, 0), QString());
        QVERIFY(!result->isNull(3, 0));
        QCOMPARE(result->text(3, 0), QString("备注"));
    }

    void typeCodes_data() { addEngineRows(); }
    void typeCodes()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ResultPtr result = open(*e)->execute(sql(*e, "select * from $.人员"));
        QCOMPARE(result->columnType(0), int(TypeInteger));
        QCOMPARE(result->columnType(2), int(TypeDate));
        QCOMPARE(result->columnType(3), int(TypeDate));
        for (int c : {1, 4}) {
            QVERIFY(result->columnType(c) != TypeInteger);
            QVERIFY(result->columnType(c) != TypeDate);
        }
    }

    void duplicateColumnNames_data() { addEngineRows(); }
    void duplicateColumnNames()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ResultPtr result =
            open(*e)->execute(sql(*e, "select 姓名, 编号 as 姓名, 备注 from $.人员 where 编号 = 4"));
        QCOMPARE(result->columnCount(), 3);
        QCOMPARE(result->columnName(0), QString("姓名"));
        QCOMPARE(result->columnName(1), QString("姓名"));
        QCOMPARE(result->indexOf("姓名"), 0);
        QCOMPARE(result->indexOf("备注"), 2);
        QCOMPARE(result->indexOf("编"), -1);
        QCOMPARE(result->text(0, 1), QString("4"));
    }

    void longValuesComeBackWhole_data() { addEngineRows(); }
    void longValuesComeBackWhole()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        // Longer than one read of the ODBC path and than one length byte.
        const QString value = QString(5000, u'长') + "尾";
        const ResultPtr result = open(*e)->execute("select '" + value + "' as v");
        QCOMPARE(result->text(0, 0), value);
    }

    void syntaxErrorKeepsTheEngineText_data() { addEngineRows(); }
    void syntaxErrorKeepsTheEngineText()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ConnectionPtr connection = open(*e);
        try {
            connection->execute(sql(*e, "selec * from $.人员"));
            QFAIL("the statement ran");
        } catch (const DbError &error) {
            QVERIFY2(error.detail().contains("syntax", Qt::CaseInsensitive), qPrintable(error.detail()));
        }
        // The connection stays usable.
        QCOMPARE(connection->execute(sql(*e, "select * from $.人员"))->rowCount(), 6);
    }

    void blankStatementFails_data() { addEngineRows(); }
    void blankStatementFails()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        QVERIFY_THROWS_EXCEPTION(DbError, open(*e)->execute("   "));
    }

    void queryWithoutRows_data() { addEngineRows(); }
    void queryWithoutRows()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ResultPtr result = open(*e)->execute(sql(*e, "select * from $.人员 where 编号 < 0"));
        QVERIFY(result->isOpen());
        QCOMPARE(result->rowCount(), 0);
        QCOMPARE(result->columnCount(), 5);
        QCOMPARE(result->currentRow(), -1);
        QVERIFY_THROWS_EXCEPTION(DbError, result->moveLast());
    }

    void statementWithoutResultSet_data() { addEngineRows(); }
    void statementWithoutResultSet()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ConnectionPtr connection = open(*e);
        const ResultPtr update = connection->execute(sql(*e, "update $.人员 set 备注 = '改' where 编号 = 6"));
        QVERIFY(!update->isOpen());
        QVERIFY_THROWS_EXCEPTION(DbError, update->rowCount());
        QVERIFY_THROWS_EXCEPTION(DbError, update->columnCount());
        QVERIFY_THROWS_EXCEPTION(DbError, update->moveLast());
        const ResultPtr changed = connection->execute(sql(*e, "select 备注 from $.人员 where 编号 = 6"));
        QCOMPARE(changed->text(0, 0), QString("改"));
        QVERIFY(!connection->execute(sql(*e, "update $.人员 set 备注 = 'y' where 编号 = 6"))->isOpen());
        // An update that matches nothing is no failure either.
        QVERIFY(!connection->execute(sql(*e, "update $.人员 set 备注 = 'y' where 编号 < 0"))->isOpen());
    }

    void dateRangeSearch_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QStringList>("names");
        const QString composed = "登记时间  between  # 2012-3-5 01:01:01 #  and  # 2012-3-7 23:59:01# ";
        const QString birth = "出生日期  between  # 1980-1-15 #  and  # 1990/12/1#";
        for (int i = 0; i < m_engines.size(); ++i) {
            const QByteArray name = m_engines.at(i).name.toUtf8();
            QTest::newRow(name + " composed range") << i << composed << QStringList({"李四", "王五", "赵六", "孙七"});
            QTest::newRow(name + " date column") << i << birth << QStringList({"张三", "李四", "赵六"});
            QTest::newRow(name + " with text beside it")
                << i << "姓名 LIKE '%五%'  or " + composed << QStringList({"李四", "王五", "赵六", "孙七"});
        }
    }

    void dateRangeSearch()
    {
        QFETCH(QString, condition);
        QFETCH(QStringList, names);
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ResultPtr result =
            open(*e)->execute(sql(*e, "select 姓名 from $.人员 where " + condition + " order by 编号"));
        QCOMPARE(column(result, 0), names);
    }

    void badDateLiteralFailsBeforeSending_data() { addEngineRows(); }
    void badDateLiteralFailsBeforeSending()
    {
        const Engine *e = engine();
        if (!e)
            QSKIP("engine not available");
        const ConnectionPtr connection = open(*e);
        QVERIFY_THROWS_EXCEPTION(
            DbError, connection->execute(sql(*e, "update $.人员 set 备注 = 'bad' where 登记时间 > #  01:01:01 #")));
        QCOMPARE(connection->execute(sql(*e, "select 备注 from $.人员 where 备注 = 'bad'"))->rowCount(), 0);
    }

    void sqliteDateColumnKeepsOtherText()
    {
        const ConnectionPtr connection = Connection::open("Provider=SQLite;Data Source=registry.db", m_dir->path());
        connection->execute("create table 杂项 (日期 date, 次数); insert into 杂项 values ('不详', 3)");
        const ResultPtr result = connection->execute("select 日期, 次数, count(*) as n from 杂项");
        QCOMPARE(result->columnType(0), int(TypeDate));
        QCOMPARE(result->text(0, 0), QString("不详"));
        // Columns without a declared type take the type of their values.
        QCOMPARE(result->columnType(1), int(TypeInteger));
        QCOMPARE(result->columnType(2), int(TypeInteger));
        connection->execute("drop table 杂项");
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
