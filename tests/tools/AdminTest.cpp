// kelm-admin on a database the shop's first tills filled: check lists the card numbers two members
// share, upgrade refuses until each belongs to one member and then guards the rule for good.
#include "TestDatabase.h"

#include <QProcess>
#include <QTest>

namespace {

struct Run
{
    int exitCode;
    QString out;
};

Run admin(const TestDatabase& db, const QString& command)
{
    QProcess process;
    process.start(QStringLiteral(KELM_ADMIN), {QStringLiteral("--config"), db.configPath(), command});
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

} // namespace

class AdminTest : public QObject
{
    Q_OBJECT

private slots:
    void checkAndUpgradeAnOlderDatabase()
    {
        TestDatabase db;
        // The tables as an older kelm-admin made them, and members the first tills let in.
        db.exec(QStringLiteral("DROP INDEX kelm_card_unique; DROP INDEX kelm_card_number; "
                               "CREATE INDEX kelm_card_number ON kelm (卡号)"));
        db.addMember(QStringLiteral("202612609595"), QStringLiteral("甲"));
        db.addMember(QStringLiteral("202612609595 "), QStringLiteral("乙"));
        db.addMember(QString(), QStringLiteral("无卡"));
        db.addMember(QString(), QStringLiteral("无卡"));

        Run run = admin(db, QStringLiteral("check"));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.out.contains(QStringLiteral("card number 202612609595 is held by 2 members")), qPrintable(run.out));
        QCOMPARE(admin(db, QStringLiteral("upgrade")).exitCode, 1);

        db.exec(QStringLiteral("DELETE FROM kelm WHERE 姓名 = '乙'"));
        run = admin(db, QStringLiteral("upgrade"));
        QVERIFY2(run.exitCode == 0, qPrintable(run.out));
        QCOMPARE(admin(db, QStringLiteral("upgrade")).exitCode, 0);
        QCOMPARE(admin(db, QStringLiteral("check")).exitCode, 0);
        QVERIFY_THROWS_EXCEPTION(kelm::DatabaseError, db.addMember(QStringLiteral("202612609595  "), QStringLiteral("丙")));
    }
};

QTEST_GUILESS_MAIN(AdminTest)
#include "AdminTest.moc"
