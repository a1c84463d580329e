// The database backends as every engine must behave under the screens: statements in the tills' own
// form, values bound exactly, numbers typed, rows counted, and failures that say which database.
// The engine is the one the suite runs on (KELM_TEST_ENGINE); the cases that need no server also
// check the server backends' failures on a port where nothing listens.
#include "TestDatabase.h"

#include "common/DecimalCell.h"
#include "common/GiftTable.h"
#include "common/MemberTable.h"
#include "common/OdbcDatabase.h"
#include "common/PostgresDatabase.h"
#include "common/ServerAddress.h"
#include "common/Settings.h"
#include "common/SharedConnection.h"
#include "common/StatementText.h"

#include <QFile>
#include <QTest>

using namespace kelm;

class ServerDatabaseTest : public QObject
{
    Q_OBJECT

    static QString failureOf(Engine engine, const ConnectionSettings& settings)
    {
        try {
            auto db = SharedConnection::createDatabase(engine);
            db->open(settings);
        } catch (const DatabaseError& failure) {
            return QString::fromUtf8(failure.what());
        }
        return QStringLiteral("<opened>");
    }

private slots:
    void eachEngineGetsTheStatementInItsOwnForm()
    {
        constexpr std::string_view insert = "insert into [lpdhjr] (日期,卡号) values (?,'1?[x]',?) -- [note]?";
        QCOMPARE(StatementText::translate(insert, Engine::PostgreSql, StatementText::Placeholders::Numbered),
                 std::string("insert into \"lpdhjr\" (日期,卡号) values ($1,'1?[x]',$2) -- [note]?"));
        QCOMPARE(StatementText::translate(insert, Engine::PostgreSqlOdbc, StatementText::Placeholders::Question),
                 std::string("insert into \"lpdhjr\" (日期,卡号) values (?,'1?[x]',?) -- [note]?"));
        QCOMPARE(StatementText::translate(insert, Engine::SqlServer, StatementText::Placeholders::Question),
                 std::string(insert));
        QCOMPARE(StatementText::translate("select 'it''s ?', \"a?\" from [kelm] where x=?", Engine::PostgreSql,
                                          StatementText::Placeholders::Numbered),
                 std::string("select 'it''s ?', \"a?\" from \"kelm\" where x=$1"));
    }

    void theServerMayCarryAPort()
    {
        QCOMPARE(ServerAddress::parse(QStringLiteral("POS01,1433")).host, QStringLiteral("POS01"));
        QCOMPARE(ServerAddress::parse(QStringLiteral("POS01,1433")).port, QStringLiteral("1433"));
        QCOMPARE(ServerAddress::parse(QStringLiteral("10.0.0.5:5433")).port, QStringLiteral("5433"));
        QCOMPARE(ServerAddress::parse(QStringLiteral("POS01\\SQLEXPRESS")).host, QStringLiteral("POS01\\SQLEXPRESS"));
        QCOMPARE(ServerAddress::parse(QStringLiteral("::1")).host, QStringLiteral("::1"));
        QVERIFY(ServerAddress::parse(QStringLiteral("::1")).port.isEmpty());
    }

    void serverDecimalsBecomeWholeNumbersOrReals()
    {
        QCOMPARE(DecimalCell::fromDigits("150.0000").type, Cell::Type::Integer);
        QCOMPARE(DecimalCell::fromDigits("150.0000").integer, 150);
        QCOMPARE(DecimalCell::fromDigits("-7").integer, -7);
        QCOMPARE(DecimalCell::fromDigits("150.5000").type, Cell::Type::Real);
        QCOMPARE(DecimalCell::fromDigits("150.5000").toText(), QStringLiteral("150.5"));
        QCOMPARE(DecimalCell::fromDigits("99999999999999999999").type, Cell::Type::Real);
        QCOMPARE(DecimalCell::fromDigits("abc").type, Cell::Type::Text);
    }

    void configIniChoosesTheEngineAndTheOdbcDriver()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("config.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[config]\n服务器= db1,5433 \n用户名=kelm\n密码=p;w}d\n数据库名称=shop\n驱动=odbc-postgresql\n"
                   "ODBC驱动=PostgreSQL ANSI\n");
        file.close();
        const ConnectionSettings c = Settings::load(file.fileName()).connection();
        QCOMPARE(c.engine, Engine::PostgreSqlOdbc);
        QCOMPARE(c.odbcDriver, QStringLiteral("PostgreSQL ANSI"));
        QCOMPARE(OdbcDatabase::connectionString(c),
                 QStringLiteral("Driver=PostgreSQL ANSI;Server=db1;Port=5433;Database=shop;UID=kelm;PWD={p;w}}d};"));
        ConnectionSettings sqlServer = c;
        sqlServer.engine = Engine::SqlServer;
        sqlServer.odbcDriver.clear();
        QVERIFY(OdbcDatabase::connectionString(sqlServer).startsWith(QStringLiteral("Driver=FreeTDS;")));
    }

    void anUnreachableServerIsNamedInTheFailure()
    {
        ConnectionSettings settings;
        settings.server = QStringLiteral("127.0.0.1,1");
        settings.user = QStringLiteral("kelm");
        settings.database = QStringLiteral("shop");
        for (const Engine engine : {Engine::PostgreSql, Engine::PostgreSqlOdbc, Engine::SqlServer}) {
            settings.engine = engine;
            const QString failure = failureOf(engine, settings);
            QVERIFY2(failure.startsWith(QStringLiteral("无法打开数据库“shop”")) && failure.contains(u"127.0.0.1:1"),
                     qPrintable(failure));
        }
    }

    void aDatabaseThatDoesNotExistIsNamedInTheFailure()
    {
        TestDatabase t;
        ConnectionSettings settings = t.connection();
        settings.database = QStringLiteral("kelm_absent_db");
        const QString failure = failureOf(settings.engine, settings);
        QVERIFY2(failure.startsWith(QStringLiteral("无法打开数据库")) && failure.contains(u"kelm_absent_db"),
                 qPrintable(failure));
    }

    void valuesAreStoredExactlyAndNumbersComeBackTyped()
    {
        TestDatabase t;
        const QString longName = QString(3000, QChar(u'长')) + QStringLiteral("尾");
        MemberTable::insert(t.db(), {QStringLiteral("2026-12-05"), QStringLiteral("1"), QStringLiteral("O'Brien ?"),
                                     longName.left(200), QStringLiteral("$1"), QStringLiteral("[kelm]"), QString()});
        QCOMPARE(MemberTable::updateBalance(t.db(), QStringLiteral("1"), QStringLiteral("150.5")), 1);
        QCOMPARE(MemberTable::updatePoints(t.db(), QStringLiteral("1"), QStringLiteral("12")), 1);
        QCOMPARE(MemberTable::updatePoints(t.db(), QStringLiteral("nobody"), QStringLiteral("12")), 0);
        bool found = MemberTable::selectByCard(t.db(), QStringLiteral("1"), [&](const Row& row) {
            [&] {
                QCOMPARE(row.cell("姓名").toText(), QStringLiteral("O'Brien ?"));
                QCOMPARE(row.cell("联系地址").toText(), longName.left(200));
                QCOMPARE(row.cell("联系电话").toText(), QStringLiteral("$1"));
                QCOMPARE(row.cell("密码").toText(), QStringLiteral("[kelm]"));
                QCOMPARE(row.cell("身份证号").type, Cell::Type::Text);
                QCOMPARE(row.cell("身份证号").size, 0);
                QCOMPARE(row.cell("余额").type, Cell::Type::Real);
                QCOMPARE(row.cell("余额").real, 150.5);
                QCOMPARE(row.cell("积分").type, Cell::Type::Integer);
                QCOMPARE(row.cell("积分").integer, 12);
            }();
            return true;
        });
        QVERIFY(found);

        // Text longer than a driver's fetch buffer comes back whole.
        t.exec(QStringLiteral("CREATE TABLE notes (body text)"));
        const SqlParam note[] = {longName};
        QCOMPARE(t.db().execute("insert into [notes] (body) values (?)", note), 1);
        QCOMPARE(t.scalar(QStringLiteral("SELECT body FROM notes")), longName);
        t.exec(QStringLiteral("INSERT INTO kelm (卡号) VALUES ('2')"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 姓名 FROM kelm WHERE 卡号='2'")), QStringLiteral("<null>"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 余额 FROM kelm WHERE 卡号='2'")), QStringLiteral("0"));
    }

    void rowsChangedAreCountedAndAStoppedQueryLeavesTheConnectionReady()
    {
        TestDatabase t;
        for (int i = 0; i < 50; ++i)
            t.addGift(QStringLiteral("礼品%1").arg(i), QStringLiteral("%1").arg(i), QStringLiteral("10"));
        const SqlParam ten[] = {QStringLiteral("10")};
        QCOMPARE(t.db().execute("update lpgl set 数量=? where 积分=?", std::array<SqlParam, 2>{QStringLiteral("5"),
                                                                                                  QStringLiteral("10")}),
                 50);
        int seen = 0;
        GiftTable::selectAll(t.db(), [&](const Row&) { return ++seen < 3; });
        QCOMPARE(seen, 3);
        QCOMPARE(t.db().execute("delete from lpgl where 积分=?", ten), 50);
        QCOMPARE(t.count(QStringLiteral("lpgl")), 0);
        const auto id = std::array<SqlParam, 1>{qint64(7)};
        QCOMPARE(t.db().execute("delete from lpgl where id=?", id), 0);
    }

    void aFailedStatementSaysWhichAndTheConnectionGoesOn()
    {
        TestDatabase t;
        try {
            t.db().execute("update [nosuchtable] set x=?", std::array<SqlParam, 1>{QStringLiteral("1")});
            QFAIL("a statement on a missing table ran");
        } catch (const DatabaseError& failure) {
            QVERIFY2(QString::fromUtf8(failure.what()).contains(u"nosuchtable"), failure.what());
        }
        QCOMPARE(t.count(QStringLiteral("bz")), 1);
    }
};

QTEST_GUILESS_MAIN(ServerDatabaseTest)
#include "ServerDatabaseTest.moc"
