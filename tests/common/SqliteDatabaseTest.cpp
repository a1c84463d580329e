// What only the embedded database does: a file that is no database, and a NULL asked for as text.
// How every engine stores and returns values is in ServerDatabaseTest, which runs on SQLite too.
#include "TestDatabase.h"

#include "common/GiftTable.h"
#include "common/MemberTable.h"

#include <QFile>
#include <QTest>

using namespace kelm;

class SqliteDatabaseTest : public QObject
{
    Q_OBJECT

private slots:
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
        MemberTable::selectAll(t.db(), [&](const Row& row) {
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
};

QTEST_GUILESS_MAIN(SqliteDatabaseTest)
#include "SqliteDatabaseTest.moc"
