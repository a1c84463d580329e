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
                               "CREATE INDEX kelm_card_number ON kelm (卡号); DROP TABLE kelm_audit; DROP TABLE kelm_pin"));
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
        QCOMPARE(db.count(QStringLiteral("kelm_pin")), 0);

        // The audit, newest first, of one card or of all.
        db.exec(QStringLiteral("INSERT INTO kelm_audit (时间,卡号,操作,原值,新值) VALUES "
                               "('2026-12-06 09:00:00','202612609595','充值','0','10'),"
                               "('2026-12-06 10:00:00','202612609595','积分修改','0','5'),"
                               "('2026-12-06 11:00:00','2026','会员添加','','')"));
        run = admin(db, QStringLiteral("audit"));
        QCOMPARE(run.out.count(u'\n'), 4);
        QVERIFY(run.out.indexOf(QStringLiteral("会员添加")) < run.out.indexOf(QStringLiteral("充值")));
        QProcess one;
        one.start(QStringLiteral(KELM_ADMIN), {QStringLiteral("--config"), db.configPath(), QStringLiteral("audit"),
                                               QStringLiteral("202612609595 ")});
        QVERIFY(one.waitForFinished(60000));
        const QString lines = QString::fromUtf8(one.readAllStandardOutput());
        QCOMPARE(lines.count(u'\n'), 3);
        QVERIFY(lines.indexOf(QStringLiteral("积分修改")) < lines.indexOf(QStringLiteral("充值")));
        QVERIFY_THROWS_EXCEPTION(kelm::DatabaseError, db.addMember(QStringLiteral("202612609595  "), QStringLiteral("丙")));
    }
};

QTEST_GUILESS_MAIN(AdminTest)
#include "AdminTest.moc"
