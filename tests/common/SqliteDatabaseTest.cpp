// The embedded database as the screens use it: bound values, the statements of each table, and
// honest failures.
#include "TestDatabase.h"

#include "common/GiftTable.h"
#include "common/MemberTable.h"
#include "common/SharedConnection.h"

#include <QFile>
#include <QTest>

using namespace kelm;

class SqliteDatabaseTest : public QObject
{
    Q_OBJECT

private slots:
    void quotesAndChineseAreStoredExactlyAsTyped()
    {
        TestDatabase t;
        const QString tricky[] = {QStringLiteral("O'Brien"), QStringLiteral("张'三"), QStringLiteral("'; DROP TABLE kelm; --"),
                                  QStringLiteral("  空格  ")};
        int n = 0;
        for (const QString& name : tricky)
            MemberTable::insert(t.db(), {QStringLiteral("2026-12-05"), QString::number(++n), name, name, name, name, name});
        QCOMPARE(t.count(QStringLiteral("kelm")), 4);
        n = 0;
        for (const QString& name : tricky) {
            QString found;
            QVERIFY(MemberTable::selectByCard(t.db(), QString::number(++n), [&](const Row& row) {
                found = row.cell("姓名").toText();
                return true;
            }));
            QCOMPARE(found, name);
        }
        // The member table's defaults give a new member balance 0 and points 0.
        QCOMPARE(t.scalar(QStringLiteral("SELECT 余额 FROM kelm WHERE 卡号='1'")), QStringLiteral("0"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 积分 FROM kelm WHERE 卡号='1'")), QStringLiteral("0"));
    }

    void numbersWrittenAsTextComeBackAsNumbers()
    {
        TestDatabase t;
        t.addMember(QStringLiteral("2026120500001"), QStringLiteral("王芳"), QStringLiteral("150.5"), QStringLiteral("12"));
        MemberTable::selectByCard(t.db(), QStringLiteral("2026120500001"), [](const Row& row) {
            const Cell balance = row.cell("余额");
            const Cell points = row.cell("积分");
            [&] {
                QCOMPARE(balance.type, Cell::Type::Real);
                QCOMPARE(balance.toText(), QStringLiteral("150.5"));
                QCOMPARE(points.type, Cell::Type::Integer);
                QCOMPARE(points.toNumber(), 12.0);
            }();
            return true;
        });
        QCOMPARE(MemberTable::updateBalance(t.db(), QStringLiteral("nobody"), QStringLiteral("1")), 0);
    }

    void giftsGetTheirIdFromTheDatabase()
    {
        TestDatabase t;
        t.addGift(QStringLiteral("雨伞"), QStringLiteral("3"), QStringLiteral("50"));
        t.addGift(QStringLiteral("保温杯"), QStringLiteral("2"), QStringLiteral("80"));
        const auto id = GiftTable::selectIdByName(t.db(), QStringLiteral("保温杯"));
        QVERIFY(id && *id > 0);
        QCOMPARE(GiftTable::update(t.db(), *id, {QStringLiteral("大保温杯"), QStringLiteral("1"), QStringLiteral("90")}), 1);
        QCOMPARE(GiftTable::remove(t.db(), *id), 1);
        QCOMPARE(t.count(QStringLiteral("lpgl")), 1);
        QVERIFY(!GiftTable::selectIdByName(t.db(), QStringLiteral("保温杯")));
    }

    void aMissingFileIsAnErrorAndIsNotCreated()
    {
        QTemporaryDir dir;
        ConnectionSettings settings;
        settings.database = QStringLiteral("absent.db");
        settings.baseFolder = dir.path();
        SharedConnection connection;
        try {
            connection.open(settings, this);
            QFAIL("a missing database file was opened");
        } catch (const DatabaseError& failure) {
            QVERIFY(QString::fromUtf8(failure.what()).contains(dir.filePath(QStringLiteral("absent.db"))));
        }
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("absent.db"))));
        QVERIFY(!connection.isOpen());
    }

    void aFileThatIsNoDatabaseIsRefusedAtOpen()
    {
        QTemporaryDir dir;
        QFile junk(dir.filePath(QStringLiteral("junk.db")));
        junk.open(QIODevice::WriteOnly);
        junk.write(QByteArray(4096, 'j'));
        junk.close();
        ConnectionSettings settings;
        settings.database = junk.fileName();
        SqliteDatabase db;
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db.open(settings));
        QVERIFY(!db.isOpen());
    }

    void nullCannotBecomeTextAndAMissingTableFails()
    {
        TestDatabase t;
        t.exec(QStringLiteral("INSERT INTO kelm (卡号) VALUES ('1')"));
        bool threw = false;
        MemberTable::selectByCard(t.db(), QStringLiteral("1"), [&](const Row& row) {
            try {
                row.cell("姓名").toText();
            } catch (const DatabaseError&) {
                threw = true;
            }
            return true;
        });
        QVERIFY(threw);
        t.exec(QStringLiteral("DROP TABLE lpgl"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, GiftTable::selectAll(t.db(), [](const Row&) { return true; }));
    }

    void theConnectionStaysOpenWhileAScreenStillHoldsIt()
    {
        TestDatabase t;
        const ConnectionSettings settings = t.connection();
        SharedConnection connection;
        int memberScreen = 0;
        int pointsScreen = 0;
        connection.open(settings, &memberScreen);
        connection.open(settings, &pointsScreen);
        connection.close(&memberScreen);
        QVERIFY(connection.isOpen());
        QCOMPARE(connection.database().execute("DELETE FROM lpgl", {}), 0);
        connection.close(&pointsScreen);
        QVERIFY(!connection.isOpen());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, connection.database());
    }
};

QTEST_GUILESS_MAIN(SqliteDatabaseTest)
#include "SqliteDatabaseTest.moc"
