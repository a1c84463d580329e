// The database backends as every engine must behave under the screens: statements in the tills' own
// form, values bound exactly, numbers typed, rows counted, and failures that say which database.
// The engine is the one the suite runs on (KELM_TEST_ENGINE); the cases that need no server also
// check the server backends' failures on a port where nothing listens or nothing answers.
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

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

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

    // A socket listening on a free port of 127.0.0.1, which address then holds; -1 on failure.
    static int listenOnLoopback(sockaddr_in& address)
    {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(listener, 8) == 0
            && ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            return listener;
        ::close(listener);
        return -1;
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
        // The servers a till reaches without crossing the shop's network, and some that it does not.
        for (const char* local :
             {"", "/var/run/postgresql", "LOCALHOST,5432", "127.9.9.9:5433", "::1", "localhost\\SQLEXPRESS"})
            QVERIFY2(ServerAddress::parse(QString::fromUtf8(local)).onThisMachine(), local);
        for (const char* remote : {"POS01,1433", "10.0.0.5:5433", "128.0.0.1", "fe80::1", "localhost.shop.example"})
            QVERIFY2(!ServerAddress::parse(QString::fromUtf8(remote)).onThisMachine(), remote);
    }

    void configIniChoosesTheEngineAndTheOdbcDriver()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("config.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[config]\n服务器= db1,5433 \n用户名=kelm\n密码=p;w}d\n数据库名称=shop\n驱动=odbc-postgresql\n"
                   "ODBC驱动=PostgreSQL ANSI\n连接超时=3\n执行超时= 6 \nTDS版本=7.4\n");
        file.close();
        const ConnectionSettings c = Settings::load(file.fileName()).connection();
        QCOMPARE(c.engine, Engine::PostgreSqlOdbc);
        QCOMPARE(c.odbcDriver, QStringLiteral("PostgreSQL ANSI"));
        QCOMPARE(c.connectTimeout, 3);
        QCOMPARE(OdbcDatabase::connectionString(c),
                 QStringLiteral("Driver=PostgreSQL ANSI;Server=db1;Port=5433;Database=shop;UID=kelm;PWD={p;w}}d};"
                                "KeepaliveTime=6;KeepaliveInterval=2;pqopt={keepalives_count=3 tcp_user_timeout=6000 "
                                "options='-c lock_timeout=5500'};"));
        ConnectionSettings sqlServer = c;
        sqlServer.engine = Engine::SqlServer;
        sqlServer.odbcDriver.clear();
        QVERIFY(OdbcDatabase::connectionString(sqlServer).startsWith(QStringLiteral("Driver=FreeTDS;")));
        QVERIFY(OdbcDatabase::connectionString(sqlServer).endsWith(QStringLiteral(";TDS_Version=7.4;")));
        sqlServer.tdsVersion.clear();
        QVERIFY(OdbcDatabase::connectionString(sqlServer).endsWith(QStringLiteral(";TDS_Version=7.1;")));

        // A waiting time that is no whole number of seconds, a version FreeTDS would probe for, an
        // encryption no driver is told, or a CA file for FreeTDS, which cannot take one, is refused.
        for (const char* line : {"执行超时=0", "连接超时=2.5", "TDS版本=auto", "加密=prefer", "服务器=db1\nCA证书=ca.pem"}) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray("[config]\n") + line + '\n');
            file.close();
            QVERIFY_THROWS_EXCEPTION(Error, Settings::load(file.fileName()).connection());
        }
    }

    // Nothing listens on port 1; the other port's listener takes connections and never answers (the
    // kernel completes the handshake for a socket nobody reads). Each engine gives up within about
    // its connect timeout (libpq waits at least 2 seconds) and names the server.
    void anUnreachableServerIsNamedInTheFailure()
    {
        sockaddr_in address = {};
        const int silent = listenOnLoopback(address);
        QVERIFY(silent >= 0);
        ConnectionSettings settings;
        settings.user = QStringLiteral("kelm");
        settings.database = QStringLiteral("shop");
        settings.connectTimeout = 1;
        const QString silentServer = QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
        for (const QString& server : {QStringLiteral("127.0.0.1:1"), silentServer}) {
            settings.server = server;
            for (const Engine engine : {Engine::PostgreSql, Engine::PostgreSqlOdbc, Engine::SqlServer}) {
                settings.engine = engine;
                QElapsedTimer clock;
                clock.start();
                const QString failure = failureOf(engine, settings);
                QVERIFY2(failure.startsWith(QStringLiteral("无法打开数据库“shop”")) && failure.contains(server),
                         qPrintable(failure));
                QVERIFY2(clock.elapsed() < 5000, qPrintable(failure));
            }
        }
        ::close(silent);
    }

    // A server that answers the pre-login saying it cannot encrypt. Told to encrypt, FreeTDS ends the
    // connection there: the login, with the password in it, is never sent.
    void aSqlServerThatWillNotEncryptNeverHearsTheLogin()
    {
        sockaddr_in address = {};
        const int listener = listenOnLoopback(address);
        QVERIFY(listener >= 0);
        std::atomic<int> afterPrelogin{-1}; // the type of the packet sent after the answer; 0: none
        std::thread server([&] {
            pollfd waiting{listener, POLLIN, 0};
            if (::poll(&waiting, 1, 5000) != 1)
                return;
            const int line = ::accept(listener, nullptr, nullptr);
            const timeval patience{5, 0};
            ::setsockopt(line, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
            // A TDS packet: type, status, length with the 8-byte header (big-endian), ...; 0 when none came.
            const auto packet = [line]() -> int {
                unsigned char header[8];
                if (::recv(line, header, sizeof header, MSG_WAITALL) != sizeof header)
                    return 0;
                std::vector<char> rest(std::max(0, (header[2] << 8 | header[3]) - 8) + 1);
                ::recv(line, rest.data(), rest.size() - 1, MSG_WAITALL);
                return header[0];
            };
            if (packet() == 0x12) {
                // The answer holds one option, encryption, set to "not supported".
                const unsigned char answer[] = {0x04, 0x01, 0x00, 0x0F, 0,    0,    1,   0,
                                                0x01, 0x00, 0x06, 0x00, 0x01, 0xFF, 0x02};
                ::send(line, answer, sizeof answer, MSG_NOSIGNAL);
                afterPrelogin = packet();
            }
            ::close(line);
        });
        ConnectionSettings settings;
        settings.engine = Engine::SqlServer;
        settings.server = QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
        settings.user = QStringLiteral("sa");
        settings.password = QStringLiteral("till-secret");
        settings.database = QStringLiteral("shop");
        settings.encryption = Encryption::Require;
        const QString failure = failureOf(Engine::SqlServer, settings);
        server.join();
        ::close(listener);
        QVERIFY2(failure.startsWith(QStringLiteral("无法打开数据库“shop”")) && failure.contains(settings.server),
                 qPrintable(failure));
        QCOMPARE(afterPrelogin.load(), 0);
    }

    // 加密 and CA证书 on the server scripts/server-tests.sh starts, whose certificate carries the name
    // localhost only: verify-full reaches it as localhost and is refused as 127.0.0.1, naming the
    // server and the certificate; require takes any name; disable stays in clear.
    void theLineIsEncryptedAsConfigIniAsks_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("encrypted"); // as pg_stat_ssl tells, or "refused"
        QTest::newRow("verify-full as localhost") << "localhost" << "加密=verify-full\nCA证书=ca.pem\n" << "yes";
        QTest::newRow("verify-full as 127.0.0.1") << "127.0.0.1" << "加密=verify-full\nCA证书=ca.pem\n" << "refused";
        QTest::newRow("require") << "127.0.0.1" << "加密= Require \n" << "yes";
        QTest::newRow("disable") << "localhost" << "加密=disable\n" << "no";
    }

    void theLineIsEncryptedAsConfigIniAsks()
    {
        if (TestDatabase::engine() == Engine::Sqlite)
            QSKIP("a database file has no line to encrypt");
        QFETCH(QString, host);
        QFETCH(QString, lines);
        QFETCH(QString, encrypted);
        TestDatabase t;
        QVERIFY2(QFile::copy(qEnvironmentVariable("KELM_TEST_PG_CA"), t.folder() + QStringLiteral("/ca.pem")),
                 "KELM_TEST_PG_CA must name the CA of the server's certificate, as scripts/server-tests.sh does");
        const QString server = host + u',' + ServerAddress::parse(t.connection().server).port;
        t.writeConfig(t.configLines().replace(t.connection().server, server) + lines);
        QString shown;
        try {
            auto db = SharedConnection::createDatabase(t.connection().engine);
            db->open(Settings::load(t.configPath()).connection());
            db->query("SELECT CASE WHEN ssl THEN 'yes' ELSE 'no' END FROM pg_stat_ssl WHERE pid = pg_backend_pid()", {},
                      [&](const Row& row) {
                          shown = row.cell(0).toText();
                          return false;
                      });
        } catch (const DatabaseError& failure) {
            const QString message = QString::fromUtf8(failure.what());
            QVERIFY2(message.contains(ServerAddress::parse(server).display()) && message.contains(u"certificate"),
                     failure.what());
            shown = QStringLiteral("refused");
        }
        QCOMPARE(shown, encrypted);
    }

    void aDatabaseThatDoesNotExistIsNamedInTheFailure()
    {
        TestDatabase t;
        ConnectionSettings settings = t.connection();
        settings.database = QStringLiteral("kelm_absent_db");
        const QString failure = failureOf(settings.engine, settings);
        QVERIFY2(failure.startsWith(QStringLiteral("无法打开数据库")) && failure.contains(u"kelm_absent_db"),
                 qPrintable(failure));

        // A file that is no database is refused at the open, not at the first command.
        QFile junk(t.folder() + QStringLiteral("/junk.db"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'j'));
        junk.close();
        ConnectionSettings file;
        file.database = junk.fileName();
        QVERIFY(failureOf(Engine::Sqlite, file).contains(QStringLiteral("junk.db")));
    }

    void valuesAreStoredExactlyAndNumbersComeBackTyped()
    {
        TestDatabase t;
        const QString longName = QString(3000, QChar(u'长')) + QStringLiteral("尾");
        MemberTable::insert(t.db(), {QStringLiteral("2026-12-05"), QStringLiteral("1"), QStringLiteral("O'Brien ?"),
                                     longName.left(200), QStringLiteral("$1"), QStringLiteral("[kelm]"), QString()});
        QCOMPARE(MemberTable::setBalanceAndPoints(t.db(), QStringLiteral("1"), QStringLiteral("150.5"),
                                                  QStringLiteral("12")),
                 1);
        const std::optional<MemberTable::Member> member = MemberTable::findByCard(t.db(), QStringLiteral("1"));
        QVERIFY(member);
        QCOMPARE(member->name, QStringLiteral("O'Brien ?"));
        QCOMPARE(member->address, longName.left(200));
        QCOMPARE(member->phone, QStringLiteral("$1"));
        QCOMPARE(member->password, QStringLiteral("[kelm]"));
        QCOMPARE(member->idNumber, QString());
        QCOMPARE(member->balance.value(), 150.5);
        QCOMPARE(member->points.text(), QStringLiteral("12"));
        QVERIFY(!MemberTable::findByCard(t.db(), QStringLiteral("nobody")));

        // Text longer than a driver's fetch buffer comes back whole.
        t.exec(QStringLiteral("CREATE TABLE notes (body text)"));
        const SqlParam note[] = {longName};
        QCOMPARE(t.db().execute("insert into [notes] (body) values (?)", note), 1);
        QCOMPARE(t.scalar(QStringLiteral("SELECT body FROM notes")), longName);
        t.exec(QStringLiteral("INSERT INTO kelm (卡号) VALUES ('2')"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 姓名 FROM kelm WHERE 卡号='2'")), QStringLiteral("<null>"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 余额 FROM kelm WHERE 卡号='2'")), QStringLiteral("0"));
        // A server's decimals become whole numbers or reals.
        QCOMPARE(DecimalCell::fromDigits("150.0000").type, Cell::Type::Integer);
        QCOMPARE(DecimalCell::fromDigits("150.0000").integer, 150);
        QCOMPARE(DecimalCell::fromDigits("-7").integer, -7);
        QCOMPARE(DecimalCell::fromDigits("150.5000").type, Cell::Type::Real);
        QCOMPARE(DecimalCell::fromDigits("150.5000").toText(), QStringLiteral("150.5"));
        QCOMPARE(DecimalCell::fromDigits("99999999999999999999").type, Cell::Type::Real);
        QCOMPARE(DecimalCell::fromDigits("abc").type, Cell::Type::Text);
    
    }

    void rowsChangedAreCountedAndAStoppedQueryOrAFailedStatementLeavesTheConnectionReady()
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

        // A failed statement says which, and the connection goes on.
        try {
            t.db().execute("update [nosuchtable] set x=?", std::array<SqlParam, 1>{QStringLiteral("1")});
            QFAIL("a statement on a missing table ran");
        } catch (const DatabaseError& failure) {
            QVERIFY2(QString::fromUtf8(failure.what()).contains(u"nosuchtable"), failure.what());
        }
        QCOMPARE(t.count(QStringLiteral("bz")), 1);
    }

    // Card numbers compare without trailing blanks and a number belongs to one member; a database that
    // lets two share one has neither found nor changed by it.
    void oneMemberPerCardNumber()
    {
        TestDatabase t;
        t.addMember(QStringLiteral("202612609595"), QStringLiteral("早"));
        const std::optional<MemberTable::Member> early = MemberTable::findByCard(t.db(), QStringLiteral("202612609595 "));
        QVERIFY(early);
        QCOMPARE(early->cardNumber, QStringLiteral("202612609595"));
        QVERIFY(MemberTable::cardNumberTaken(t.db(), QStringLiteral("202612609595  ")));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, t.addMember(QStringLiteral("202612609595 "), QStringLiteral("又")));
        t.addMember(QString(), QStringLiteral("无卡一"));
        t.addMember(QStringLiteral("  "), QStringLiteral("无卡二"));


        // A database the unique index never guarded: two members share a number, and nothing that
        // finds or writes a member by it touches either.
        t.exec(QStringLiteral("DROP INDEX kelm_card_unique"));
        t.addMember(QStringLiteral("202612609595 "), QStringLiteral("又"));
        QCOMPARE(MemberTable::duplicateCardNumbers(t.db()).size(), 1U);
        QVERIFY_THROWS_EXCEPTION(DuplicateCardError, MemberTable::findByCard(t.db(), QStringLiteral("202612609595")));
        {
            Transaction transaction(t.db());
            QVERIFY_THROWS_EXCEPTION(DuplicateCardError, MemberTable::remove(t.db(), QStringLiteral("202612609595")));
        }
        QCOMPARE(t.count(QStringLiteral("kelm")), 4);
    }
};

QTEST_GUILESS_MAIN(ServerDatabaseTest)
#include "ServerDatabaseTest.moc"
