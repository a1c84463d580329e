// The shop's books over a database the tills filled: each till's own short date form, amounts that
// add up to the fen, rows that cannot be read listed rather than lost, a lost card still holding a
// balance. Runs on the engine the suite runs on (KELM_TEST_ENGINE).
#include "TestDatabase.h"

#include "common/Books.h"
#include "common/RedemptionTable.h"
#include "common/TopUpTable.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace kelm;

namespace {

QString text(const std::optional<Amount>& amount)
{
    return amount ? amount->toText() : QStringLiteral("<none>");
}

QString text(const std::vector<Books::Unreadable>& rows)
{
    QStringList lines;
    for (const Books::Unreadable& row : rows)
        lines << QStringList{row.table, row.date, row.cardNumber, row.amount, row.operatorName}.join(u'|');
    return lines.join(u'\n');
}

Cell realCell(double value)
{
    Cell cell;
    cell.type = Cell::Type::Real;
    cell.real = value;
    return cell;
}

} // namespace

class BooksTest : public QObject
{
    Q_OBJECT

    static void topUp(TestDatabase& db, const char* date, const char* card, const char* amount, const char* who)
    {
        TopUpTable::insert(db.db(), {QString::fromUtf8(date), QString::fromUtf8(card), QStringLiteral("持卡人"),
                                     QStringLiteral("充值"), QString::fromUtf8(amount), QString::fromUtf8(who)});
    }

    static void redeem(TestDatabase& db, const char* date, const char* card, const char* gift, const char* points,
                       const char* who)
    {
        RedemptionTable::insert(db.db(), {QString::fromUtf8(date), QString::fromUtf8(card), QStringLiteral("会员"),
                                          QString::fromUtf8(gift), QString::fromUtf8(points), QString::fromUtf8(who)});
    }

private slots:
    void readsEveryTillsDatesAndExactAmounts()
    {
        // The suite runs in the C locale, whose short form has no slashes: slash dates are month first.
        const QDate sixth(2026, 12, 6);
        for (const char* form :
             {"2026/12/6", "2026-12-06", "2026-12-6", "6 Dec 2026", "06 Dec 2026", "12/6/26", "06.12.2026", "6.12.26",
              "06-12-2026", "2026年12月6日", "2026.12.06", " 2026/12/6 14:30:05 ", "2026-12-06T14:30:05",
              "2026/12/6 下午2:30", "Dec 6, 2026", "6 DECEMBER 2026", "6-dec-26", "2026 Dec 6", "2026.12.06. 0:00"})
            QCOMPARE(ShopDate::parse(QString::fromUtf8(form)), std::optional<QDate>(sixth));
        QCOMPARE(ShopDate::parse(u"6/12/2026"), std::optional<QDate>(QDate(2026, 6, 12)));
        QCOMPARE(ShopDate::parse(u"13/12/2026"), std::optional<QDate>(QDate(2026, 12, 13)));
        QCOMPARE(ShopDate::parse(u"12/13/2026"), std::optional<QDate>(QDate(2026, 12, 13)));
        for (const char* bad : {"", "  ", "明天", "2026/2/30", "32.12.2026", "13/13/2026", "6 Foo 2026", "2026/12",
                                "2026/12/6/1", "12345/1/1", "-6.12.2026", "6 Dec", "2026-12-06x", "14:30", "6Dec2026",
                                "2026/12/6 到 2026/12/7", "1/2/345", "６/12/2026"})
            QVERIFY2(!ShopDate::parse(QString::fromUtf8(bad)), bad);

        const std::pair<const char*, const char*> amounts[] = {
            {"150", "150"},           {" 166.67 ", "166.67"},   {"-0.5", "-0.5"},         {"+7.10", "7.1"},
            {"166.67000000000002", "166.67"}, {"0.00005", "0.0001"}, {"-0.00005", "-0.0001"}, {"0.000049999", "0"},
            {"1e3", "1000"},          {"1.5E-2", "0.015"},      {".5", "0.5"},            {"5.", "5"},
            {"-0", "0"},              {"922337203685477.5807", "922337203685477.5807"},
            {"922337203685477.5808", "<none>"}, {"1e20", "<none>"}, {"1e-400", "0"}, {"", "<none>"}, {"abc", "<none>"},
            {"1,000", "<none>"},      {"1e", "<none>"},         {"--1", "<none>"},        {"0x10", "<none>"},
            {"nan", "<none>"},        {"inf", "<none>"},        {"1.2.3", "<none>"},      {"5 0", "<none>"}};
        for (const auto& [typed, shown] : amounts) {
            QCOMPARE(text(Amount::fromText(QString::fromUtf8(typed))), QString::fromUtf8(shown));
            QCOMPARE(text(Amount::fromUtf8(typed)), QString::fromUtf8(shown));
        }

        // A double from SQLite counts as the digits that were stored, not as the double's own value.
        QCOMPARE(text(Amount::fromCell(realCell(0.1 + 0.2))), QStringLiteral("0.3"));
        QCOMPARE(text(Amount::fromCell(realCell(166.67))), QStringLiteral("166.67"));
        QVERIFY(!Amount::fromCell(realCell(std::numeric_limits<double>::quiet_NaN())));
        QVERIFY(!Amount::fromCell(realCell(HUGE_VAL)));
        QVERIFY(!Amount::fromCell(Cell()));
        Cell integer;
        integer.type = Cell::Type::Integer;
        integer.integer = 150;
        QCOMPARE(text(Amount::fromCell(integer)), QStringLiteral("150"));
        integer.integer = std::numeric_limits<qint64>::max() / 1000;
        QVERIFY(!Amount::fromCell(integer));

        Amount sum;
        for (int i = 0; i < 10; ++i)
            sum += *Amount::fromText(u"0.1");
        QCOMPARE(sum, *Amount::fromText(u"1"));
        QCOMPARE(sum.toDouble(), 1.0);
        QCOMPARE((sum - *Amount::fromText(u"1.25")).toText(), QStringLiteral("-0.25"));
        const Amount most = *Amount::fromText(u"922337203685477.5807");
        QVERIFY_THROWS_EXCEPTION(Error, Amount(most) += *Amount::fromText(u"0.0001"));
        QVERIFY_THROWS_EXCEPTION(Error, Amount() - most - most);
    }

    void reportsTheBooksToTheFen()
    {
        TestDatabase db;
        db.addMember(QStringLiteral("100000000001"), QStringLiteral("张三"), QStringLiteral("0.1"), QStringLiteral("10"));
        db.addMember(QStringLiteral("100000000002"), QStringLiteral("李四"), QStringLiteral("0.2"), QStringLiteral("20.5"));
        db.addMember(QStringLiteral("100000000003"), QStringLiteral("王五"), QStringLiteral("166.67000000000002"),
                     QStringLiteral("0"));
        db.addMember(QStringLiteral("100000000004"), QStringLiteral("赵六"), QStringLiteral("50"), QStringLiteral("0"));
        // 王五's card was lost once and its number given to him again; a card nobody holds now was lost too.
        db.exec(QStringLiteral("UPDATE kelm SET 积分=NULL WHERE 姓名='赵六';"
                               "INSERT INTO gs (日期,卡号,姓名) VALUES ('2026-11-01','100000000003 ','王五');"
                               "INSERT INTO gs (日期,卡号,姓名) VALUES ('2026-11-02','999999999999','钱七')"));

        const char* one = "100000000001";
        topUp(db, "2026/12/6", one, "0.1", "甲");
        topUp(db, "6 Dec 2026", one, "0.2", "乙");
        topUp(db, "12/6/26", one, "0.1", "甲");
        topUp(db, "2026年12月6日 14:30:05", one, "100", "甲");
        topUp(db, "06.12.2026", one, "0.1", "甲");
        topUp(db, " 2026-12-7 ", one, "0.2", "乙");
        topUp(db, "明天", one, "50", "甲");
        topUp(db, "2026/12/5", one, "10", "乙");
        topUp(db, "30.11.2026", one, "1000", "甲");
        topUp(db, "DEC 7, 2026", "100000000002 ", "166.67000000000002", "乙");
        topUp(db, "2026-12-06", "100000000002", "0.2", "甲");
        redeem(db, "2026/12/6", one, "保温杯", "30.5", "甲");
        redeem(db, "7 December 2026", one, "雨伞", "20", "乙");
        redeem(db, "2026-12-06 09:15", "100000000002", "保温杯", "30.5", "乙");
        redeem(db, "13/45/2026", one, "雨伞", "20", "甲");
        redeem(db, "2026/12/8", one, "雨伞", "20", "甲");
        const QString unreadable = QStringLiteral("qzjl|明天|100000000001|50|甲\nlpdhjr|13/45/2026|100000000001|20|甲");

        // The end of the shift: what each operator took in, what each gift cost in points.
        const Books::DayReport day = Books::dayReport(db.db(), {QDate(2026, 12, 6), QDate(2026, 12, 7)});
        QStringList figures;
        for (const Books::OperatorTakings& t : day.topUps)
            figures << QStringLiteral("%1 %2 %3").arg(t.operatorName).arg(t.count).arg(t.sum.toText());
        for (const Books::GiftRedemptions& g : day.redemptions)
            figures << QStringLiteral("%1 %2 %3").arg(g.gift).arg(g.count).arg(g.points.toText());
        figures << QStringLiteral("%1 %2 %3 %4")
                       .arg(day.topUpCount)
                       .arg(day.topUpSum.toText())
                       .arg(day.redemptionCount)
                       .arg(day.redemptionPoints.toText());
        QCOMPARE(figures, (QStringList{QStringLiteral("乙 3 167.07"), QStringLiteral("甲 5 100.5"),
                                       QStringLiteral("保温杯 2 61"), QStringLiteral("雨伞 1 20"),
                                       QStringLiteral("8 267.57 3 81")}));
        QCOMPARE(text(day.unreadable), unreadable);
        // A period that holds no day counts nothing, and still names the rows nobody can date.
        const Books::DayReport none = Books::dayReport(db.db(), {QDate(2026, 12, 7), QDate(2026, 12, 6)});
        QVERIFY(none.topUps.empty() && none.redemptions.empty() && none.topUpCount == 0);
        QCOMPARE(text(none.unreadable), unreadable);

        std::vector<Books::Unreadable> undated;
        QStringList days;
        for (const Books::DailyTotal& d :
             Books::dailyTopUps(db.db(), {QDate(2026, 12, 5), QDate(2026, 12, 8)}, &undated))
            days << QStringLiteral("%1 %2 %3").arg(d.date.toString(Qt::ISODate)).arg(d.count).arg(d.sum.toText());
        QCOMPARE(days, (QStringList{QStringLiteral("2026-12-05 1 10"), QStringLiteral("2026-12-06 6 100.7"),
                                    QStringLiteral("2026-12-07 2 166.87"), QStringLiteral("2026-12-08 0 0")}));
        QCOMPARE(text(undated), QStringLiteral("qzjl|明天|100000000001|50|甲"));
        QVERIFY(Books::dailyTopUps(db.db(), {QDate(2026, 12, 8), QDate(2026, 12, 5)}).empty());
        try {
            Books::dailyTopUps(db.db(), {QDate(1900, 1, 1), QDate(2026, 12, 31)});
            QFAIL("a day for every day of 127 years was listed");
        } catch (const Error& failure) {
            QVERIFY2(QString::fromUtf8(failure.what()).contains(QStringLiteral("超过一百年")), failure.what());
        }

        // One member's history, found with the blanks the card reader leaves: oldest first, a day's
        // top-ups in the order they were made, the rows nobody can date last.
        const std::optional<Books::MemberHistory> history =
            Books::memberHistory(db.db(), QStringLiteral("100000000001  "));
        QVERIFY(history);
        QCOMPARE(history->member.name, QStringLiteral("张三"));
        QStringList lines;
        for (const Books::HistoryLine& l : history->lines) {
            lines << QStringList{l.date ? l.date->toString(Qt::ISODate) : QStringLiteral("?"), l.business, l.detail,
                                 l.amount.toText(), l.points.toText(), l.toppedUpSoFar.toText(),
                                 l.redeemedSoFar.toText(), l.operatorName}
                         .join(u' ');
        }
        QCOMPARE(lines, (QStringList{
                            QStringLiteral("2026-11-30 充值 充值 1000 0 1000 0 甲"),
                            QStringLiteral("2026-12-05 充值 充值 10 0 1010 0 乙"),
                            QStringLiteral("2026-12-06 充值 充值 0.1 0 1010.1 0 甲"),
                            QStringLiteral("2026-12-06 充值 充值 0.2 0 1010.3 0 乙"),
                            QStringLiteral("2026-12-06 充值 充值 0.1 0 1010.4 0 甲"),
                            QStringLiteral("2026-12-06 充值 充值 100 0 1110.4 0 甲"),
                            QStringLiteral("2026-12-06 充值 充值 0.1 0 1110.5 0 甲"),
                            QStringLiteral("2026-12-06 兑换 保温杯 0 30.5 1110.5 30.5 甲"),
                            QStringLiteral("2026-12-07 充值 充值 0.2 0 1110.7 30.5 乙"),
                            QStringLiteral("2026-12-07 兑换 雨伞 0 20 1110.7 50.5 乙"),
                            QStringLiteral("2026-12-08 兑换 雨伞 0 20 1110.7 70.5 甲"),
                            QStringLiteral("? 充值 充值 50 0 1160.7 70.5 甲"),
                            QStringLiteral("? 兑换 雨伞 0 20 1160.7 90.5 甲"),
                        }));
        QCOMPARE(history->lines.back().dateText, QStringLiteral("13/45/2026"));
        QCOMPARE(text(history->unreadable), unreadable);
        QVERIFY(!Books::memberHistory(db.db(), QStringLiteral("404")));
        QVERIFY(!Books::memberHistory(db.db(), QStringLiteral("  ")));

        const auto names = [&](const QString& typed, int limit = 200) {
            QStringList found;
            for (const MemberTable::Member& m : Books::findMembers(db.db(), typed, limit))
                found << m.name;
            return found;
        };
        QCOMPARE(names(QStringLiteral(" 李四 ")), QStringList{QStringLiteral("李四")});
        QCOMPARE(names(QStringLiteral("100000000003 ")), QStringList{QStringLiteral("王五")});
        QCOMPARE(names(QStringLiteral("13800000004")), QStringList{QStringLiteral("赵六")});
        QCOMPARE(names(QStringLiteral("ID100000000001")), QStringList{QStringLiteral("张三")});
        QVERIFY(names(QStringLiteral("  ")).isEmpty());
        QVERIFY(names(QStringLiteral("1000000000")).isEmpty());
        QVERIFY(names(QStringLiteral("李四"), 0).isEmpty());

        // What the shop owes: 王五's rounded balance once, 赵六 counted for points that are no number.
        const Books::Liability owed = Books::liability(db.db());
        QCOMPARE(owed.members, qint64(4));
        QCOMPARE(owed.balances.toText(), QStringLiteral("216.97"));
        QCOMPARE(owed.points.toText(), QStringLiteral("30.5"));
        QCOMPARE(owed.lostCards, qint64(2));
        QCOMPARE(owed.lostBalances.toText(), QStringLiteral("166.67"));
        QCOMPARE(owed.unreadable, qint64(1));
        // Balances whose sum no Amount can hold are refused with a message, not wrapped round.
        db.addMember(QStringLiteral("100000000005"), QStringLiteral("孙八"), QStringLiteral("900000000000000"));
        db.addMember(QStringLiteral("100000000006"), QStringLiteral("周九"), QStringLiteral("900000000000000"));
        QVERIFY_THROWS_EXCEPTION(Error, Books::liability(db.db()));
    }

    void listsTheAuditNewestFirst()
    {
        TestDatabase db;
        db.exec(QStringLiteral(
            "INSERT INTO kelm_audit (时间,收银机,操作员,卡号,操作,原值,新值,说明) VALUES "
            "('2026-12-05 23:59:59','POS1','甲','100000000001','充值','0','10','');"
            "INSERT INTO kelm_audit (时间,收银机,操作员,卡号,操作,原值,新值,说明) VALUES "
            "('2026-12-06 00:00:00','POS1','甲','100000000001 ','充值','10','10.1','现金');"
            "INSERT INTO kelm_audit (时间,收银机,操作员,卡号,操作,原值,新值,说明) VALUES "
            "('2026-12-07 23:59:59','POS2','乙','100000000002','积分兑换','50','19.5',NULL);"
            "INSERT INTO kelm_audit (时间,收银机,操作员,卡号,操作,原值,新值,说明) VALUES "
            "('2026-12-08 00:00:00','POS2','甲','100000000001','充值','10.1','20.1','')"));
        const auto times = [&](const Books::AuditFilter& filter, int limit = 10000) {
            QStringList found;
            for (const Books::AuditLine& line : Books::audit(db.db(), filter, limit))
                found << line.time.right(8) + u' ' + line.operatorName;
            return found;
        };
        const Books::Period sixthToSeventh{QDate(2026, 12, 6), QDate(2026, 12, 7)};
        QCOMPARE(times({}), (QStringList{QStringLiteral("00:00:00 甲"), QStringLiteral("23:59:59 乙"),
                                         QStringLiteral("00:00:00 甲"), QStringLiteral("23:59:59 甲")}));
        QCOMPARE(times({QStringLiteral("100000000001 "), {}, {}}).size(), 3);
        QCOMPARE(times({{}, {}, sixthToSeventh}),
                 (QStringList{QStringLiteral("23:59:59 乙"), QStringLiteral("00:00:00 甲")}));
        QCOMPARE(times({QStringLiteral("100000000001"), QStringLiteral(" 甲 "), sixthToSeventh}),
                 QStringList{QStringLiteral("00:00:00 甲")});
        QCOMPARE(times({}, 1), QStringList{QStringLiteral("00:00:00 甲")});
        QVERIFY(times({}, 0).isEmpty());
        QVERIFY(times({{}, {}, Books::Period{QDate(2026, 12, 7), QDate(2026, 12, 6)}}).isEmpty());

        const std::vector<Books::AuditLine> lines =
            Books::audit(db.db(), {{}, QStringLiteral("乙"), std::nullopt}, 10);
        QCOMPARE(lines.size(), std::size_t(1));
        const Books::AuditLine& line = lines.front();
        QCOMPARE(QStringList({line.time, line.till, line.operatorName, line.cardNumber, line.what, line.before,
                              line.after, line.note})
                     .join(u'|'),
                 QStringLiteral("2026-12-07 23:59:59|POS2|乙|100000000002|积分兑换|50|19.5|"));

        // A database an older kelm-admin made keeps no audit: nothing to list, nothing thrown.
        db.exec(QStringLiteral("DROP TABLE kelm_audit"));
        QVERIFY(Books::audit(db.db(), {}).empty());
    }
};

QTEST_GUILESS_MAIN(BooksTest)
#include "BooksTest.moc"
