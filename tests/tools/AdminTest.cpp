// kelm-admin on a database the shop's first tills filled: check lists the card numbers two members
// share, upgrade refuses until each belongs to one member and then guards the rule for good; the
// files it makes for a new till; members out to a spreadsheet file and back in, and a whole database
// backed up and copied to another.
#include "TestDatabase.h"

#include "common/AuditTable.h"
#include "common/LostCardTable.h"
#include "common/MemberTable.h"
#include "common/RedemptionTable.h"
#include "common/TopUpTable.h"

#include <QDir>
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

QString write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void addMember(TestDatabase& db, const kelm::MemberTable::Member& member, const QString& balance, const QString& points)
{
    kelm::MemberTable::insert(db.db(), member);
    kelm::MemberTable::setBalanceAndPoints(db.db(), member.cardNumber, balance, points);
}

// Every row of every table of an SQLite file, in the order the file holds them.
QStringList sqliteRows(const QString& path)
{
    kelm::ConnectionSettings settings;
    settings.database = path;
    kelm::SqliteDatabase db;
    db.open(settings);
    QStringList rows;
    for (const char* table : {"kelm", "gs", "qzjl", "bz", "lpgl", "lpdhjr", "kelm_audit", "kelm_pin"}) {
        db.query(std::string("SELECT * FROM ") + table, {}, [&](const kelm::Row& row) {
            QStringList cells{QString::fromLatin1(table)};
            for (int i = 0; i < row.columnCount(); ++i)
                cells << (row.cell(i).isNull() ? QStringLiteral("<null>") : row.cell(i).toText());
            rows << cells.join(u'|');
            return true;
        });
    }
    return rows;
}

const QByteArray MemberHeader = "日期,卡号,姓名,联系地址,联系电话,密码,身份证号,余额,积分\r\n";

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

    // Members out to a spreadsheet file and into an empty database give the same file again, whatever
    // their text holds; what a spreadsheet would run as a formula is written as text, a number stays
    // a number.
    void exportedMembersComeBackTheSame()
    {
        TestDatabase from;
        // SQLite keeps any length; a server no more than its column.
        const QString longAddress(TestDatabase::engine() == kelm::Engine::Sqlite ? 10000 : 255, u'路');
        addMember(from,
                  {QStringLiteral("2026-12-01"), QStringLiteral("2026110109150"), QStringLiteral("张,三"), longAddress,
                   QStringLiteral("+8613800000000"), QStringLiteral("462"), QStringLiteral("110105198203154512")},
                  QStringLiteral("150.5"), QStringLiteral("120"));
        addMember(from,
                  {QStringLiteral("2026-12-02"), QStringLiteral("202612609595 "), QStringLiteral("O\"Neil"),
                   QStringLiteral("第一行\r\n第二行\n第三行"), QStringLiteral("=cmd|' /C calc'!A0"),
                   QStringLiteral("'=1+1"), QStringLiteral("@SUM(1)")},
                  QStringLiteral("-0.5"), QStringLiteral("-5"));
        addMember(from, {QStringLiteral("2026-12-03"), QStringLiteral("2026110314085"), QStringLiteral("-5"),
                         QStringLiteral("-张"), QString(), QString(), QString()},
                  QStringLiteral("0"), QStringLiteral("0"));
        const QString first = from.folder() + QStringLiteral("/members.csv");
        Run run = admin(from.configPath(), {QStringLiteral("export"), QStringLiteral("members"), first});
        QVERIFY2(run.exitCode == 0, qPrintable(run.out));
        const QByteArray file = contents(first);
        QVERIFY(file.startsWith("\xEF\xBB\xBF" + MemberHeader + "2026-12-01,2026110109150,\"张,三\","));
        for (const char* field : {",\"O\"\"Neil\",\"第一行\r\n第二行\n第三行\",\"'=cmd|' /C calc'!A0\",\"''=1+1\","
                                  "\"'@SUM(1)\",-0.5,-5\r\n",
                                  ",-5,\"'-张\",,,,0,0\r\n", ",+8613800000000,"})
            QVERIFY2(file.contains(field), field);
        QCOMPARE(mode(first), 0600U);

        TestDatabase to(QStringLiteral("B3"));
        run = admin(to.configPath(), {QStringLiteral("import"), QStringLiteral("members"), first});
        QVERIFY2(run.exitCode == 0 && run.out.contains(QStringLiteral("added 3 members")), qPrintable(run.out));
        const QString second = to.folder() + QStringLiteral("/again.csv");
        QCOMPARE(admin(to.configPath(), {QStringLiteral("export"), QStringLiteral("members"), second}).exitCode, 0);
        QCOMPARE(contents(second), file);
        QCOMPARE(to.contents()[QStringLiteral("kelm")], from.contents()[QStringLiteral("kelm")]);
        QCOMPARE(to.scalar(QStringLiteral(
                     "SELECT count(*) FROM kelm_audit WHERE 操作='会员添加' AND rtrim(卡号)='202612609595'")),
                 QStringLiteral("1"));
        QCOMPARE(to.count(QStringLiteral("kelm_audit")), 3);

        // The other tables a shop hands its accountant.
        kelm::TopUpTable::insert(from.db(), {QStringLiteral("2026/12/6"), QStringLiteral("2026110109150"),
                                             QStringLiteral("张,三"), QStringLiteral("充值"), QStringLiteral("50"),
                                             QStringLiteral("收银员甲")});
        const QString topUps = from.folder() + QStringLiteral("/topups.csv");
        QCOMPARE(admin(from.configPath(), {QStringLiteral("export"), QStringLiteral("topups"), topUps}).exitCode, 0);
        QCOMPARE(contents(topUps), QByteArray("\xEF\xBB\xBF日期,卡号,持卡人,业务,金额,操作员\r\n"
                                              "2026/12/6,2026110109150,\"张,三\",充值,50,收银员甲\r\n"));
        const QString lost = from.folder() + QStringLiteral("/lost.csv");
        QCOMPARE(admin(from.configPath(), {QStringLiteral("export"), QStringLiteral("lost"), lost}).exitCode, 0);
        QCOMPARE(contents(lost), QByteArray("\xEF\xBB\xBF日期,卡号,姓名,联系地址,联系电话,密码,身份证号\r\n"));
        QCOMPARE(admin(from.configPath(), {QStringLiteral("export"), QStringLiteral("gifts"), lost}).exitCode, 2);
        QCOMPARE(admin(from.configPath(), {QStringLiteral("export"), QStringLiteral("redemptions"),
                                           from.folder() + QStringLiteral("/no/such/folder.csv")})
                     .exitCode,
                 1);
    }

    // A file with anything wrong adds no member at all, and names every wrong line by its number in
    // the file, a field over several lines counting as the lines it takes.
    void aWrongMemberFileAddsNothing()
    {
        TestDatabase db;
        db.addMember(QStringLiteral("2026000000001"), QStringLiteral("甲"));
        const auto import = [&](const QByteArray& bytes) {
            return admin(db.configPath(), {QStringLiteral("import"), QStringLiteral("members"),
                                           write(db.folder() + QStringLiteral("/in.csv"), bytes)});
        };
        const auto refused = [&](const Run& run, const QStringList& lines) {
            QVERIFY2(run.exitCode == 1, qPrintable(run.out));
            for (const QString& line : lines)
                QVERIFY2(run.out.contains(line), qPrintable(run.out + QStringLiteral("\nlacks: ") + line));
            QCOMPARE(db.count(QStringLiteral("kelm")), 1);
            QCOMPARE(db.count(QStringLiteral("kelm_audit")), 0);
        };

        Run run = import("\xEF\xBB\xBF" + MemberHeader
                         + "2026-12-01,2026000000002,\"乙\r\n换行\",,,462,,10,5\r\n"    // lines 2-3: right
                         + "2026-12-01,2026000000003,丙\r\n"                             // 4
                         + "2026-12-01,2026000000004,丁,,,462,,十元,0\r\n"                // 5
                         + "2026-12-01,2026000000002,戊,,,462,,0,0\r\n"                  // 6
                         + "2026-12-01,2026000000001 ,己,,,462,,0,0\r\n"                 // 7
                         + "2026-12-01,  ,庚,,,462,,0,0\r\n"                             // 8
                         + "2026-12-01," + QByteArray(51, '7') + ",辛,,,462,,0,0\r\n"     // 9
                         + "2026-12-01,2026000000010,壬,,,462,,1e3,-.5\r\n"               // 10: right
                         + "2026-12-01,2026000000011,\xE7\x99,,,462,,0,0\r\n");           // 11
        refused(run, {QStringLiteral("nothing was imported"), QStringLiteral("line 4: 3 fields, a member has 9"),
                      QStringLiteral("line 5: 余额 is no number: 十元"),
                      QStringLiteral("line 6: card number 2026000000002 is on line 2 already"),
                      QStringLiteral("line 7: a member holds card number 2026000000001 already"),
                      QStringLiteral("line 8: no card number"),
                      QStringLiteral("line 9: 卡号 has 51 characters, at most 50"),
                      QStringLiteral("line 11: bytes that are not UTF-8 text")});
        QVERIFY(!run.out.contains(QStringLiteral("line 2:")) && !run.out.contains(QStringLiteral("line 3:")));
        QVERIFY(!run.out.contains(QStringLiteral("line 10:")));

        refused(import(MemberHeader + "2026-12-01,2026000000002,\"乙,,,462,,0,0\r\n"
                       + "2026-12-01,2026000000003,丙,,,462,,0,0\r\n"),
                {QStringLiteral("line 2: a quote opened on this line is never closed")});
        refused(import(MemberHeader + "2026-12-01,2026000000002,乙," + QByteArray(10001, 'x') + ",,462,,0,0\r\n"),
                {QStringLiteral("line 2: a field longer than 10000 characters")});
        refused(import("卡号,日期,姓名,联系地址,联系电话,密码,身份证号,余额,积分\r\n"),
                {QStringLiteral("line 1: the first line must be")});
        QByteArray many = MemberHeader;
        for (int i = 0; i < 150; ++i)
            many += "2026-12-01,30" + QByteArray::number(i) + ",乙,,,462,,x,0\r\n";
        run = import(many);
        refused(run, {QStringLiteral("line 101: 余额 is no number: x"), QStringLiteral("... and 50 more (150 in all)")});
        QVERIFY(!run.out.contains(QStringLiteral("line 102:")));
        refused(admin(db.configPath(), {QStringLiteral("import"), QStringLiteral("members"),
                                        db.folder() + QStringLiteral("/none.csv")}),
                {QStringLiteral("no such file")});

        // The database refuses the 201st member, after two hundred were written: they go too.
        db.exec(TestDatabase::engine() == kelm::Engine::Sqlite
                    ? QStringLiteral("CREATE TRIGGER refuses BEFORE INSERT ON kelm WHEN new.姓名='坏' BEGIN "
                                     "SELECT RAISE(ABORT, 'refused'); END")
                    : QStringLiteral("ALTER TABLE kelm ADD CONSTRAINT refuses CHECK (姓名 <> '坏')"));
        QByteArray good = MemberHeader;
        for (int i = 0; i < 250; ++i)
            good += "2026-12-01,40" + QByteArray::number(i) + (i == 200 ? ",坏" : ",好") + ",,,462,,1,0\r\n";
        refused(import(good), {QStringLiteral("nothing was imported")});
    }

    // A backup and a copy to another database hold every row; a copy the target cannot hold exactly,
    // or onto a database that holds rows already, is not made.
    void backupAndCopyKeepEveryRow()
    {
        TestDatabase from;
        const QString day = QStringLiteral("2026/12/6");
        const QString cashier = QStringLiteral("收银员甲");
        from.addMember(QStringLiteral("2026000000001"), QStringLiteral("甲"), QStringLiteral("0.1"), QStringLiteral("1.5"));
        from.addMember(QStringLiteral("2026000000002"), QStringLiteral("乙"), QStringLiteral("0.2"), QStringLiteral("-3"));
        from.addMember(QStringLiteral("2026000000003"), QStringLiteral("丙"), QStringLiteral("150.55"), QStringLiteral("7"));
        from.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        kelm::TopUpTable::insert(from.db(), {day, QStringLiteral("2026000000001"), QStringLiteral("Vip"),
                                             QStringLiteral("充值"), QStringLiteral("0.1"), cashier});
        kelm::RedemptionTable::insert(from.db(), {day, QStringLiteral("2026000000002"), QStringLiteral("乙"),
                                                  QStringLiteral("保温杯"), QStringLiteral("80"), cashier});
        kelm::LostCardTable::insert(from.db(), {day, QStringLiteral("2026000000009"), QStringLiteral("丁"),
                                                QStringLiteral("地址"), QStringLiteral("电话"), QStringLiteral("462"), {}});
        kelm::AuditTable::insert(from.db(), {QStringLiteral("前台1"), cashier},
                                 {QStringLiteral("充值"), QStringLiteral("2026000000001"), QStringLiteral("0"),
                                  QStringLiteral("0.1"), {}});

        // The end-of-shift count of that day, read from the till's own date form.
        Run run = admin(from.configPath(), {QStringLiteral("report"), QStringLiteral("day"), QStringLiteral("2026-12-06")});
        QVERIFY2(run.exitCode == 0 && run.out.contains(QStringLiteral("收银员甲\t1 笔\t0.1 元"))
                     && run.out.contains(QStringLiteral("保温杯\t1 次\t80 积分")),
                 qPrintable(run.out));
        QCOMPARE(admin(from.configPath(), {QStringLiteral("report"), QStringLiteral("day"), QStringLiteral("6.12.")}).exitCode, 2);

        const QString backup = from.folder() + QStringLiteral("/backup.db");
        run = admin(from.configPath(), {QStringLiteral("backup"), backup});
        if (TestDatabase::engine() == kelm::Engine::Sqlite) {
            QVERIFY2(run.exitCode == 0, qPrintable(run.out));
            QCOMPARE(sqliteRows(backup), sqliteRows(from.databasePath()));
            QCOMPARE(mode(backup), 0600U);
            const QByteArray before = contents(backup);
            QCOMPARE(admin(from.configPath(), {QStringLiteral("backup"), backup}).exitCode, 1);
            QCOMPARE(contents(backup), before);
            QCOMPARE(QDir(from.folder()).entryList({QStringLiteral("*.part*")}), QStringList());
        } else {
            QVERIFY2(run.exitCode == 1 && run.out.contains(QStringLiteral("pg_dump")), qPrintable(run.out));
        }

        const QStringList copy = {QStringLiteral("copy"), QStringLiteral("--to")};
        TestDatabase to(QStringLiteral("B3"));
        QTemporaryDir middle;
        if (TestDatabase::engine() == kelm::Engine::Sqlite) {
            run = admin(from.configPath(), copy + QStringList{to.configPath()});
        } else {
            // From the server to an SQLite file and on to another server database: the server's digits
            // become SQLite's numbers and come back the same.
            const QString file = middle.filePath(QStringLiteral("config.ini"));
            QCOMPARE(admin(file, {QStringLiteral("configure"), QStringLiteral("数据库名称=middle.db")}).exitCode, 0);
            QCOMPARE(admin(file, {QStringLiteral("init")}).exitCode, 0);
            run = admin(from.configPath(), copy + QStringList{file});
            QVERIFY2(run.exitCode == 0, qPrintable(run.out));
            run = admin(file, copy + QStringList{to.configPath()});
        }
        QVERIFY2(run.exitCode == 0, qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("sum of kelm.余额: 150.85 in the source, 150.85 in the copy"))
                     && run.out.contains(QStringLiteral("rows in kelm_audit: 1 in the source, 1 in the copy")),
                 qPrintable(run.out));
        const TestDatabase::Contents shop = from.contents();
        QCOMPARE(to.contents(), shop); // the shop's card key byte A7 in place of B3 too
        QCOMPARE(to.count(QStringLiteral("kelm_audit")), 1);
        run = admin(from.configPath(), copy + QStringList{to.configPath()});
        QVERIFY2(run.exitCode == 1 && run.out.contains(QStringLiteral("--replace")), qPrintable(run.out));
        QCOMPARE(admin(from.configPath(), copy + QStringList{to.configPath(), QStringLiteral("--replace")}).exitCode, 0);
        QCOMPARE(to.contents(), shop);
        QCOMPARE(admin(from.configPath(), copy + QStringList{from.configPath()}).exitCode, 1);
        QCOMPARE(from.contents(), shop);

        // A target whose balance column rounds to whole yuan: the sums differ and nothing is kept.
        TestDatabase rounding(QStringLiteral("B3"));
        rounding.exec(TestDatabase::engine() == kelm::Engine::Sqlite
                          ? QStringLiteral("CREATE TRIGGER rounds AFTER INSERT ON kelm BEGIN "
                                           "UPDATE kelm SET 余额=round(余额) WHERE rowid=new.rowid; END")
                          : QStringLiteral("ALTER TABLE kelm ALTER COLUMN 余额 TYPE numeric(12,0)"));
        run = admin(from.configPath(), copy + QStringList{rounding.configPath()});
        QVERIFY2(run.exitCode == 1
                     && run.out.contains(QStringLiteral("150.85 in the source, 151 in the copy  <- differs")),
                 qPrintable(run.out));
        QCOMPARE(rounding.count(QStringLiteral("kelm")), 0);
        QCOMPARE(rounding.scalar(QStringLiteral("SELECT 标识 FROM bz")), QStringLiteral("B3"));

        TestDatabase bare;
        for (const char* table : {"lpdhjr", "kelm"}) {
            bare.exec(QStringLiteral("DROP TABLE ") + QLatin1String(table));
            run = admin(from.configPath(), copy + QStringList{bare.configPath()});
            QVERIFY2(run.exitCode == 1 && run.out.contains(QStringLiteral("has no table ") + QLatin1String(table))
                         && run.out.contains(QStringLiteral(" init")),
                     qPrintable(run.out));
        }
    }
};

QTEST_GUILESS_MAIN(AdminTest)
#include "AdminTest.moc"
