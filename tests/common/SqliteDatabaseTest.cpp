// What only the embedded database does: a file that is no database, a NULL asked for as text, and a
// till waiting for another that holds the file.
// How every engine stores and returns values is in ServerDatabaseTest, which runs on SQLite too.
#include "TestDatabase.h"

#include "common/GiftTable.h"
#include "common/MemberTable.h"

#include <QElapsedTimer>
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

    // A till waits for another that is writing the shared file as long as config.ini's statement
    // timeout, then gives up rather than freezing.
    void aTillWaitsForTheFileAsLongAsTheStatementTimeout()
    {
        QTemporaryDir dir;
        ConnectionSettings settings;
        settings.database = dir.filePath(QStringLiteral("shared.db"));
        QFile(settings.database).open(QIODevice::WriteOnly);
        settings.statementTimeout = 1;
        SqliteDatabase writing;
        SqliteDatabase waiting;
        writing.open(settings);
        waiting.open(settings);
        writing.begin();
        QElapsedTimer clock;
        clock.start();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, waiting.begin());
        QVERIFY2(clock.elapsed() >= 900 && clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
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
