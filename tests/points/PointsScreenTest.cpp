// The points screen as a cashier drives it with a member card on the simulated reader: reading the
// card, redeeming points for a gift, correcting points, and the road to the gift catalogue; checked in
// the boxes, the gift list, the messages and the database.
#include "Till.h"

#include <QDate>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

using namespace kelm;

namespace {

const QString Member = QStringLiteral("2026120100001");
const char* P = "Form4";
const Message Refused{QStringLiteral("积分不够或者礼品的数量为零"), QString(), Message::Icon::None, Message::Buttons::Ok};
const Message Redeemed{QStringLiteral("兑换成功"), AppCaption};

// The member with these points and the default password, the points screen open, the card read.
bool readMember(Till& till, const QString& points)
{
    till.database.addMember(Member, QStringLiteral("张三"), QStringLiteral("0"), points);
    Till::open("jfgl");
    const bool laid = till.layCard(Member);
    Till::press(P, "读卡");
    return laid;
}

QString points()
{
    return Till::text(P, "Text4");
}

void retypePoints(const QString& text)
{
    Till::press(P, "积分修改");
    Till::type(P, "Text4", text);
}

} // namespace

class PointsScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Till::settle(); }

    void theLoadListsTheGiftsAndCommandsWaitForAMember()
    {
        Till till;
        till.database.addGift(QStringLiteral("雨'伞"), QStringLiteral("0"), QStringLiteral("2.5"));
        till.database.exec(QStringLiteral("INSERT INTO lpgl (名称, 数量, 积分) VALUES (NULL, NULL, NULL)"));
        Till::open("jfgl");
        QCOMPARE(Till::row(P, 0), QStringList({"1", "雨'伞", "2.5", "0"}));
        // A gift with empty values is shown, not dropped.
        QCOMPARE(Till::row(P, 1), QStringList({"2", "", "", ""}));
        QCOMPARE(Till::text(P, "Text1"), QStringLiteral("Vip"));
        QVERIFY(!Till::box(P, "Text4")->isEnabled());
        // Redeem, correct and save do nothing without a member.
        Till::clickRow(P, 0);
        for (const char* key : {"积分兑换", "积分修改", "保存"})
            Till::press(P, key);
        QCOMPARE(till.said(), QStringList());
        QVERIFY(!Till::box(P, "Text4")->isEnabled());
        Till::press(P, "退出");
        Till::settle();
        QVERIFY(!Till::window(P));
        QVERIFY(!till.module().sharedConnection().isOpen());
    }

    void readCardShowsTheMemberOrAsksForTheCardAgain()
    {
        Till till;
        till.database.addMember(Member, QStringLiteral("张三"), QStringLiteral("50"), QStringLiteral("120"));
        till.database.exec(QStringLiteral("UPDATE kelm SET 身份证号 = NULL"));
        Till::open("jfgl");
        QVERIFY(till.layCard(Member));
        Till::press(P, "读卡");
        // A column the database left empty shows as an empty box; the name is never read from the row.
        QCOMPARE(Till::texts(P, {"Text5", "Text3", "Text2", "Text4", "Text6", "Text1"}),
                 QStringList({"000" + Member, "13800000001", "地址张三", "120", "", "Vip"}));
        QCOMPARE(till.beepsSinceLay(), 1);
        QVERIFY(!Till::window("Form3"));

        // An issued card of nobody in the table, a blank card, no card: the member shown before stays.
        QVERIFY(till.layCard(QStringLiteral("9999999999999")));
        Till::press(P, "读卡");
        till.cards.place(*till.cards.newCard());
        Till::press(P, "读卡");
        till.cards.remove();
        Till::press(P, "读卡");
        const QString placeAgain = QStringLiteral("请正确放置IC卡后，重试”读卡“操作");
        QCOMPARE(till.said(), QStringList(3, placeAgain));
        QCOMPARE(Till::texts(P, {"Text5", "Text4"}), QStringList({"000" + Member, "120"}));
    }

    void redeemingAtExactlyEnoughPointsEmptiesPointsAndStockAndRecordsIt()
    {
        Till till;
        till.database.addGift(QStringLiteral("雨伞"), QStringLiteral("3"), QStringLiteral("30"));
        till.database.addGift(QStringLiteral("保温杯"), QStringLiteral("1"), QStringLiteral("80"));
        QVERIFY(readMember(till, QStringLiteral("80")));
        Till::clickRow(P, 1);
        Till::press(P, "积分兑换");
        QCOMPARE(till.messages.messages(), QList<Message>({Redeemed}));
        QCOMPARE(points(), QStringLiteral("0"));
        QCOMPARE(Till::row(P, 1), QStringList({"2", "保温杯", "80", "0"}));
        QCOMPARE(till.member("积分", Member), QStringLiteral("0"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT group_concat(数量) FROM lpgl")), QStringLiteral("3,0"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 日期||'|'||卡号||'|'||姓名||'|'||礼品||'|'||数量||'|'||积分||'|'||操作员 "
                                                     "FROM lpdhjr")),
                 QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) + u'|' + Member
                     + QStringLiteral("|Vip|保温杯|1|80|收银员甲"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 操作员||'|'||操作||'|'||原值||'|'||新值||'|'||说明 FROM kelm_audit")),
                 QStringLiteral("收银员甲|积分兑换|80|0|礼品 保温杯，积分 80，库存 1→0"));

        // The last one is gone: with points enough the gift is refused all the same.
        till.database.exec(QStringLiteral("UPDATE kelm SET 积分 = 500"));
        Till::press(P, "读卡");
        till.said();
        Till::press(P, "积分兑换");
        QCOMPARE(till.messages.messages(), QList<Message>({Refused}));
        QCOMPARE(till.database.count(QStringLiteral("lpdhjr")), 1);
    }

    void refusedRedemptionsWriteNothing_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("points"); // as the member row holds them
        QTest::addColumn<bool>("pick");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("message");
        const QString refused = Refused.text;
        QTest::newRow("one point short") << "5" << "81" << "80" << true << "" << refused;
        QTest::newRow("stock 0") << "0" << "10" << "80" << true << "" << refused;
        QTest::newRow("stock negative") << "-2" << "10" << "80" << true << "" << refused;
        QTest::newRow("no gift picked") << "5" << "10" << "80" << false << "" << "请先在礼品列表中选择要兑换的礼品！";
        QTest::newRow("points empty") << "5" << "10" << "<null>" << true << "" << "这位会员的积分是空的，不能兑换！";
        QTest::newRow("points above 16 bits")
            << "5" << "10" << "32767.5" << true << "" << "积分 32767.5 超出了可兑换的范围（-32768 到 32767），不能兑换！";
        QTest::newRow("price no number") << "5" << "十" << "80" << true << "" << "礼品“礼品”的积分“十”不是数字，不能兑换！";
        QTest::newRow("stock empty") << "<null>" << "10" << "80" << true << "" << "礼品“礼品”的数量“”不是数字，不能兑换！";
        QTest::newRow("member gone since the read")
            << "5" << "10" << "80" << true << "DELETE FROM kelm"
            << QStringLiteral("兑换没有完成：找不到卡号为“%1”的会员，积分、礼品库存和兑换记录都没有改动。请重新读卡。").arg(Member);
    }

    void refusedRedemptionsWriteNothing()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(QString, points);
        QFETCH(bool, pick);
        QFETCH(QString, meanwhile);
        QFETCH(QString, message);
        Till till;
        till.database.addGift(QStringLiteral("礼品"), quantity, price);
        till.database.exec(QStringLiteral("UPDATE lpgl SET 数量 = NULL WHERE 数量 = '<null>'"));
        QVERIFY(readMember(till, points));
        if (points == QStringLiteral("<null>")) {
            till.database.exec(QStringLiteral("UPDATE kelm SET 积分 = NULL"));
            Till::press(P, "读卡");
        }
        const QStringList shown = {::points(), Till::cell(P, 0, 3)};
        if (pick)
            Till::clickRow(P, 0);
        if (!meanwhile.isEmpty())
            till.database.exec(meanwhile);
        const TestDatabase::Contents before = till.database.contents();
        till.said();
        Till::press(P, "积分兑换");
        QCOMPARE(till.said(), QStringList({message}));
        QCOMPARE(QStringList({::points(), Till::cell(P, 0, 3)}), shown);
        QCOMPARE(till.database.contents(), before);
    }

    // A correction is saved once, by the card number as text; typed points count only through 保存:
    // a redemption starts from the points the table holds, rounded half to even.
    void pointsAreCorrectedOnlyBySaveAndFoundByTheCardNumberAsText_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("after"); // a redemption of 10 points
        QTest::newRow("digits") << Member << "980" << "970";
        QTest::newRow("leading zeros, 97.5 counts as 98") << "0000000000042" << "97.5" << "88";
        QTest::newRow("letters, 96.5 counts as 96") << "VIP-000000001" << "96.5" << "86";
    }

    void pointsAreCorrectedOnlyBySaveAndFoundByTheCardNumberAsText()
    {
        QFETCH(QString, card);
        QFETCH(QString, held);
        QFETCH(QString, after);
        Till till;
        till.database.addMember(card, QStringLiteral("张三"), QStringLiteral("0"), held);
        till.database.addMember(QStringLiteral("42"), QStringLiteral("李四"), QStringLiteral("0"), QStringLiteral("7"));
        till.database.addGift(QStringLiteral("伞"), QStringLiteral("5"), QStringLiteral("10"));
        Till::open("jfgl");
        QVERIFY(till.layCard(card));
        Till::press(P, "读卡");
        retypePoints(QStringLiteral("32767"));
        QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("在积分栏直接修改积分，然后点击保存！"), QString(),
                                                            Message::Icon::None, Message::Buttons::Ok}}));
        Till::clickRow(P, 0);
        Till::press(P, "积分兑换");
        QCOMPARE(till.messages.messages().constLast(), Redeemed);
        QCOMPARE(till.member("积分", card), after);
        QCOMPARE(points(), after);

        Till::type(P, "Text4", QStringLiteral(" 250 "));
        till.said();
        Till::press(P, "保存");
        QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("积分修改成功"), QString(), Message::Icon::None,
                                                            Message::Buttons::Ok}}));
        QVERIFY(!Till::box(P, "Text4")->isEnabled());
        QCOMPARE(till.member("积分", card), QStringLiteral("250"));
        QCOMPARE(till.member("积分", QStringLiteral("42")), QStringLiteral("7"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 操作||'|'||原值||'|'||新值 FROM kelm_audit WHERE 操作 = '积分修改'")),
                 QStringLiteral("积分修改|%1|250").arg(after));
        // A second save without a new correction writes nothing and says nothing.
        till.said();
        Till::press(P, "保存");
        QCOMPARE(till.said(), QStringList());
    }

    // Another till redeems or corrects points for the same member, or takes a gift from the stock,
    // after this screen read them: nothing is written over, and the screen shows the table's values.
    void anotherTillsPointsAndStockAreNeverWrittenOver()
    {
        Till till;
        till.database.addGift(QStringLiteral("伞"), QStringLiteral("5"), QStringLiteral("10"));
        QVERIFY(readMember(till, QStringLiteral("80")));
        Till::clickRow(P, 0);
        const QString changed = QStringLiteral("兑换没有进行：另一台收银机刚刚改动了这位会员的积分或礼品“伞”的库存，积分、礼品库存"
                                               "和兑换记录都没有改动。现在显示的是最新的积分和库存，请核对后重试。");
        for (const char* sql : {"UPDATE kelm SET 积分 = 50", "UPDATE lpgl SET 数量 = 50"}) {
            till.database.exec(QString::fromUtf8(sql));
            till.said();
            Till::press(P, "积分兑换");
            QCOMPARE(till.said(), QStringList({changed}));
            QCOMPARE(QStringList({points(), Till::cell(P, 0, 3)}), QStringList({"50", sql[7] == 'k' ? "5" : "50"}));
            QCOMPARE(till.database.count(QStringLiteral("lpdhjr")), 0);
        }
        Till::press(P, "积分兑换");
        QCOMPARE(till.said(), QStringList({Redeemed.text}));
        QCOMPARE(till.member("积分", Member), QStringLiteral("40"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl")), QStringLiteral("49"));

        retypePoints(QStringLiteral("100"));
        till.database.exec(QStringLiteral("UPDATE kelm SET 积分 = 45"));
        till.said();
        Till::press(P, "保存");
        QCOMPARE(till.said(), QStringList({"积分没有保存：另一台收银机刚刚改动了这位会员的积分，现在是 45。请核对后重新输入并保存。"}));
        QCOMPARE(points(), QStringLiteral("45"));
        QVERIFY(Till::box(P, "Text4")->isEnabled());
        Till::type(P, "Text4", QStringLiteral("100"));
        Till::press(P, "保存");
        QCOMPARE(till.member("积分", Member), QStringLiteral("100"));

        // A correction for a member gone since the read keeps the typed points.
        retypePoints(QStringLiteral("300"));
        till.database.exec(QStringLiteral("DELETE FROM kelm"));
        till.said();
        Till::press(P, "保存");
        QCOMPARE(till.said(), QStringList({QStringLiteral("找不到卡号为“%1”的会员，积分没有保存。请重新读卡。").arg(Member)}));
        QCOMPARE(points(), QStringLiteral("300"));

        // A card number a second member was given in a database without the unique index: the card is
        // refused by name.
        till.database.addMember(Member, QStringLiteral("张三"));
        till.database.exec(QStringLiteral("DROP INDEX kelm_card_unique; INSERT INTO kelm (卡号, 积分) VALUES ('%1 ', 100)").arg(Member));
        till.said();
        Till::press(P, "读卡");
        QCOMPARE(till.said(), QStringList({QStringLiteral("卡号为“%1”的会员有 2 位，无法确定是哪一位，本次操作没有进行。请管理员处理"
                                                          "重复的卡号。").arg(Member)}));
    }

    void theCatalogueRoadLeavesThePointsScreenAsItWas()
    {
        Till till;
        till.database.addGift(QStringLiteral("伞"), QStringLiteral("5"), QStringLiteral("10"));
        QVERIFY(readMember(till, QStringLiteral("80")));
        Till::clickRow(P, 0);
        Till::press(P, "积分兑换");
        Till::press(P, "礼品管理");
        QVERIFY(!Till::window(P) && Till::window("Form5"));
        QCOMPARE(Till::cell("Form5", 0, 3), QStringLiteral("4"));
        till.database.exec(QStringLiteral("UPDATE lpgl SET 数量 = 50"));
        Till::press("Form5", "退出");
        Till::settle();
        QVERIFY(!Till::window("Form5") && !Till::window(P));
        QVERIFY(till.module().sharedConnection().isOpen());

        // Shown again, not loaded again: the old stock, the member and the picked gift are still there.
        Till::open("jfgl");
        QCOMPARE(QStringList({Till::text(P, "Text5"), points(), Till::cell(P, 0, 3)}),
                 QStringList({"000" + Member, "70", "4"}));
        Till::press(P, "积分兑换");
        Till::press(P, "积分兑换");
        QCOMPARE(till.member("积分", Member), QStringLiteral("60"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl")), QStringLiteral("49"));
        QCOMPARE(till.database.count(QStringLiteral("lpdhjr")), 2);
    }
};

QTEST_MAIN(PointsScreenTest)
#include "PointsScreenTest.moc"
