// kelm-admin on a database the shop's first tills filled: check lists the card numbers two members
// share, upgrade refuses until each belongs to one member and then guards the rule for good; and the
// files it makes for a new till.
#include "TestDatabase.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

struct Run
{
    int exitCode;
    QString out;
};

Run admin(const QString& configPath, const QStringList& words)
{
    QProcess process;
    process.start(QStringLiteral(KELM_ADMIN), QStringList{QStringLiteral("--config"), configPath} + words);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

Run admin(const TestDatabase& db, const QString& command)
{
    return admin(db.configPath(), {command});
}

// The permission bits of a file or folder.
unsigned mode(const QString& path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

    // What kelm-admin makes holds the database login, PINs, ID numbers and card keys: a new
    // config.ini, SQLite file, card folder, card and reader record are their owner's alone.
    // configure writes only what a till reads back whole and can open, and replaces a file only
    // when told.
    void newFilesAreTheirOwnersAlone()
    {
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("config.ini"));
        const QStringList server = {QStringLiteral("configure"), QStringLiteral("驱动=postgresql"),
                                    QStringLiteral("服务器=db1,5432"), QStringLiteral("密码=till-secret")};
        QCOMPARE(admin(config, server).exitCode, 0);
        const QByteArray written = contents(config);
        QCOMPARE(mode(config), 0600U);
        QVERIFY2(written.contains("加密=verify-full\n") && written.contains("允许负数充值=否\n"), written.constData());
        QCOMPARE(admin(config, server).exitCode, 1);
        for (const char* refused : {"加密=prefer", "端口=5432", "CA证书=ca.pem", "用户名=一二三四五六七八九十"})
            QCOMPARE(admin(config, {QStringLiteral("configure"), QStringLiteral("--force"), QStringLiteral("服务器=db1"),
                                    QString::fromUtf8(refused)})
                         .exitCode,
                     1);
        QCOMPARE(contents(config), written);

        const Run run = admin(config, {QStringLiteral("configure"), QStringLiteral("--force"),
                                       QStringLiteral("数据库名称=shop.db"), QStringLiteral("卡片目录=卡"),
                                       QStringLiteral("操作员=收银员01")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.out));
        QCOMPARE(contents(config), QByteArray("[config]\n数据库名称=shop.db\n卡片目录=卡\n允许负数充值=否\n[dqcz]\n操作员=收银员01\n"));
        QCOMPARE(mode(config), 0600U);
        QCOMPARE(admin(config, {QStringLiteral("init")}).exitCode, 0);
        QCOMPARE(mode(dir.filePath(QStringLiteral("shop.db"))), 0600U);
        const QString serial = admin(config, {QStringLiteral("card"), QStringLiteral("new")}).out.trimmed();
        QCOMPARE(admin(config, {QStringLiteral("card"), QStringLiteral("place"), serial}).exitCode, 0);
        QCOMPARE(mode(dir.filePath(QStringLiteral("卡"))), 0700U);
        QCOMPARE(mode(dir.filePath(QStringLiteral("卡/%1.card").arg(serial))), 0600U);
        QCOMPARE(mode(dir.filePath(QStringLiteral("卡/reader.state"))), 0600U);
    }
};

QTEST_GUILESS_MAIN(AdminTest)
#include "AdminTest.moc"
