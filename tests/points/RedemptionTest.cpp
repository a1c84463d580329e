// The points screen's commands, driven as a cashier drives them with a member card on the
// simulated reader, checked in the boxes, the gift list, the messages and the database.
#include "CardTill.h"

#include "points/Form4.h"

#include <kelm/Class1.h>

#include <QDate>
#include <QLocale>
#include <QTableView>
#include <QTest>

using namespace kelm;

namespace {

const QString Card1 = QStringLiteral("2026120100001");
const QStringList MemberBoxes = {"Text5", "Text3", "Text2", "Text4", "Text6", "Text1"};

// The points screen of one test over a till with the simulated reader, and the cashier's gestures.
struct PointsScreen : CardTill
{
    QWidget* screen = nullptr;

    // Opens the screen as the host does; gifts and members added before are listed.
    void open()
    {
        Class1().jfgl(true);
        screen = TestScreens::visibleWindow(QStringLiteral("Form4"));
    }
    // Card1's member with these points and the default password, the screen open and the card read.
    bool readMember(const QString& points)
    {
        t.database.addMember(Card1, QStringLiteral("张三"), QStringLiteral("0"), points);
        open();
        const bool laid = layNewCard(Card1);
        press("读卡");
        return laid;
    }

    QTableView* list() const { return screen->findChild<QTableView*>(QStringLiteral("ListView1")); }
    QLineEdit* box(const char* name) const { return TestScreens::box(screen, QString::fromLatin1(name)); }
    QString points() const { return box("Text4")->text(); }
    void press(const char* key) const { TestScreens::button(screen, QString::fromUtf8(key))->trigger(); }
    QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
    void clickGift(int row) const { TestScreens::clickRow(screen, row); }
    void retypePoints(const QString& text) const
    {
        box("Text4")->selectAll();
        QTest::keyClick(box("Text4"), Qt::Key_Backspace);
        TestScreens::type(box("Text4"), text);
    }
    QString memberPoints(const QString& card = Card1) { return member("积分", card); }
    QString stock(const QString& gift)
    {
        return t.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl WHERE 名称='%1'").arg(gift));
    }
    int records() { return t.database.count(QStringLiteral("lpdhjr")); }
    const Message& lastMessage() const { return t.messages.messages().constLast(); }
};

const Message Refused{QStringLiteral("积分不够或者礼品的数量为零"), QString(), Message::Icon::None, Message::Buttons::Ok};
const Message Redeemed{QStringLiteral("兑换成功"), AppCaption, Message::Icon::Information, Message::Buttons::Ok};

} // namespace

class RedemptionTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestScreens::settle(); }

    void readCardShowsAMemberWithTheDefaultPasswordAndBeeps()
    {
        PointsScreen s;
        s.t.database.addMember(Card1, QStringLiteral("张三"), QStringLiteral("50"), QStringLiteral("120"));
        s.t.database.exec(QStringLiteral("UPDATE kelm SET 身份证号 = NULL"));
        s.open();
        QVERIFY(s.layNewCard(Card1));

        s.press("读卡");
        QCOMPARE(s.t.messages.texts(), QStringList());
        // An ID-card number the database left empty shows as an empty box; the name is never read
        // from the member row.
        QCOMPARE(TestScreens::texts(s.screen, MemberBoxes),
                 QStringList({"000" + Card1, "13800000001", "地址张三", "120", "", "Vip"}));
        QVERIFY(!s.box("Text4")->isEnabled());
        QCOMPARE(s.beepsSinceLay(), 1);
        QVERIFY(!TestScreens::visibleWindow(QStringLiteral("Form3")));
    }

    void aCardThatCannotBeReadOrBelongsToNoMemberAsksForTheCardAgain()
    {
        PointsScreen s;
        QVERIFY(s.readMember(QStringLiteral("120")));
        const QString placeAgain = QStringLiteral("请正确放置IC卡后，重试”读卡“操作");

        // An issued card of a member that is not in the table.
        QVERIFY(s.layNewCard(QStringLiteral("9999999999999")));
        s.press("读卡");
        // A blank card: the card key does not open it.
        s.folder.place(*s.folder.newCard());
        s.press("读卡");
        // No card at all.
        s.folder.remove();
        s.press("读卡");

        QCOMPARE(s.t.messages.texts(), QStringList({placeAgain, placeAgain, placeAgain}));
        QCOMPARE(s.t.messages.messages()[0].icon, Message::Icon::Information);
        QCOMPARE(s.t.messages.messages()[0].caption, AppCaption);
        // The member shown before stays, and nothing beeped.
        QCOMPARE(s.box("Text5")->text(), QStringLiteral("000") + Card1);
        QCOMPARE(s.points(), QStringLiteral("120"));
        QCOMPARE(s.beepsSinceLay(), 0);
    }

    void commandsWithoutAMemberDoNothing()
    {
        PointsScreen s;
        s.t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("5"), QStringLiteral("0"));
        s.open();
        s.clickGift(0);
        s.press("积分兑换");
        s.press("积分修改");
        s.press("保存");
        QCOMPARE(s.t.messages.texts(), QStringList());
        QVERIFY(!s.box("Text4")->isEnabled());
        QCOMPARE(s.cell(0, 3), QStringLiteral("5"));
        QCOMPARE(s.records(), 0);
    }

    void redeemingAtExactlyEnoughPointsEmptiesBalanceAndStockAndRecordsIt()
    {
        PointsScreen s;
        s.t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("3"), QStringLiteral("30"));
        s.t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("1"), QStringLiteral("80"));
        QVERIFY(s.readMember(QStringLiteral("80")));
        s.clickGift(1);
        s.press("积分兑换");

        QCOMPARE(s.t.messages.messages(), QList<Message>({Redeemed}));
        QCOMPARE(s.points(), QStringLiteral("0"));
        QCOMPARE(s.cell(1, 3), QStringLiteral("0"));
        QCOMPARE(s.cell(0, 3), QStringLiteral("3"));
        QCOMPARE(s.memberPoints(), QStringLiteral("0"));
        QCOMPARE(s.stock(QStringLiteral("保温杯")), QStringLiteral("0"));
        QCOMPARE(s.stock(QStringLiteral("雨伞")), QStringLiteral("3"));
        QCOMPARE(s.records(), 1);
        QCOMPARE(s.t.database.scalar(QStringLiteral("SELECT 日期||'|'||卡号||'|'||姓名||'|'||礼品||'|'||数量||'|'||积分||'|'||操作员 "
                                                    "FROM lpdhjr")),
                 QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) + u'|' + Card1
                     + QStringLiteral("|Vip|保温杯|1|80|收银员甲"));

        // The last one is gone: even with points enough the gift is refused.
        s.press("积分修改");
        s.retypePoints(QStringLiteral("500"));
        s.press("积分兑换");
        QCOMPARE(s.lastMessage(), Refused);
        QCOMPARE(s.points(), QStringLiteral("500"));
        QCOMPARE(s.records(), 1);
        QCOMPARE(s.memberPoints(), QStringLiteral("0"));
    }

    void refusedRedemptionsWriteNothing_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("points");
        QTest::addColumn<bool>("pick");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("bare");

        const QString refused = Refused.text;
        QTest::newRow("one point short") << "5" << "81" << "80" << true << "" << refused << true;
        QTest::newRow("stock 0") << "0" << "10" << "80" << true << "" << refused << true;
        QTest::newRow("stock negative") << "-2" << "10" << "80" << true << "" << refused << true;
        QTest::newRow("no gift picked") << "5" << "10" << "80" << false << ""
                                        << QStringLiteral("请先在礼品列表中选择要兑换的礼品！") << false;
        QTest::newRow("points empty") << "5" << "10" << "<null>" << true << ""
                                      << QStringLiteral("这位会员的积分是空的，不能兑换！") << false;
        QTest::newRow("points no number") << "5" << "10" << "八十" << true << ""
                                          << QStringLiteral("这位会员的积分“八十”不是数字，不能兑换！") << false;
        QTest::newRow("points above 16 bits")
            << "5" << "10" << "32767.5" << true << ""
            << QStringLiteral("积分 32767.5 超出了可兑换的范围（-32768 到 32767），不能兑换！") << false;
        QTest::newRow("price no number") << "5" << "十" << "80" << true << ""
                                         << QStringLiteral("礼品“礼品”的积分“十”不是数字，不能兑换！") << false;
        QTest::newRow("stock empty") << "<null>" << "10" << "80" << true << ""
                                     << QStringLiteral("礼品“礼品”的数量“”不是数字，不能兑换！") << false;
        QTest::newRow("member gone since the read")
            << "5" << "10" << "80" << true << "DELETE FROM kelm"
            << QStringLiteral("兑换没有完成：找不到卡号为“%1”的会员，积分、礼品库存和兑换记录都没有改动。请重新读卡。").arg(Card1)
            << false;
    }

    void refusedRedemptionsWriteNothing()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(QString, points);
        QFETCH(bool, pick);
        QFETCH(QString, meanwhile);
        QFETCH(QString, message);
        QFETCH(bool, bare);

        PointsScreen s;
        s.t.database.addGift(QStringLiteral("礼品"), quantity, price);
        if (quantity == QStringLiteral("<null>"))
            s.t.database.exec(QStringLiteral("UPDATE lpgl SET 数量 = NULL"));
        QVERIFY(s.readMember(points));
        if (points == QStringLiteral("<null>")) {
            s.t.database.exec(QStringLiteral("UPDATE kelm SET 积分 = NULL"));
            s.press("读卡");
        }
        const QString pointsShown = s.points();
        s.t.messages.clear();
        if (pick)
            s.clickGift(0);
        if (!meanwhile.isEmpty())
            s.t.database.exec(meanwhile);
        const QString stockShown = s.cell(0, 3);
        const QString pointsStored = s.memberPoints();
        s.press("积分兑换");

        QCOMPARE(s.t.messages.texts(), QStringList({message}));
        QCOMPARE(s.lastMessage().icon, bare ? Message::Icon::None : Message::Icon::Information);
        QCOMPARE(s.lastMessage().caption, bare ? QString() : AppCaption);
        QCOMPARE(s.points(), pointsShown);
        QCOMPARE(s.cell(0, 3), stockShown);
        QCOMPARE(s.memberPoints(), pointsStored);
        QCOMPARE(s.stock(QStringLiteral("礼品")), quantity);
        QCOMPARE(s.records(), 0);
    }

    // Typed points count only through 保存: a redemption starts from the points the table holds, and
    // leaves its audit row.
    void aRedemptionStartsFromTheStoredPointsNotFromTheBox()
    {
        PointsScreen s;
        s.t.database.addGift(QStringLiteral("伞"), QStringLiteral("5"), QStringLiteral("10"));
        QVERIFY(s.readMember(QStringLiteral("980")));
        s.press("积分修改");
        s.retypePoints(QStringLiteral("32767"));
        s.clickGift(0);
        s.press("积分兑换");
        QCOMPARE(s.lastMessage(), Redeemed);
        QCOMPARE(s.memberPoints(), QStringLiteral("970"));
        QCOMPARE(s.points(), QStringLiteral("970"));
        QCOMPARE(s.t.database.scalar(QStringLiteral("SELECT 操作员||'|'||操作||'|'||原值||'|'||新值||'|'||说明 FROM kelm_audit")),
                 QStringLiteral("收银员甲|积分兑换|980|970|礼品 伞，积分 10，库存 5→4"));
    }

    // Another till redeems or corrects points for the same member after this screen read the card:
    // what it wrote is never written over, and the screen shows what the table holds now.
    void anotherTillsPointsAreNeverWrittenOver()
    {
        PointsScreen s;
        s.t.database.addGift(QStringLiteral("伞"), QStringLiteral("5"), QStringLiteral("10"));
        QVERIFY(s.readMember(QStringLiteral("80")));
        s.clickGift(0);
        s.t.database.exec(QStringLiteral("UPDATE kelm SET 积分 = 50"));
        s.press("积分兑换");
        QVERIFY(s.lastMessage().text.startsWith(QStringLiteral("兑换没有进行：另一台收银机刚刚改动了")));
        QCOMPARE(s.points(), QStringLiteral("50"));
        QCOMPARE(s.memberPoints(), QStringLiteral("50"));
        QCOMPARE(s.records(), 0);
        s.press("积分兑换");
        QCOMPARE(s.lastMessage(), Redeemed);
        QCOMPARE(s.memberPoints(), QStringLiteral("40"));

        s.press("积分修改");
        s.retypePoints(QStringLiteral("100"));
        s.t.database.exec(QStringLiteral("UPDATE kelm SET 积分 = 45"));
        s.press("保存");
        QCOMPARE(s.lastMessage().text,
                 QStringLiteral("积分没有保存：另一台收银机刚刚改动了这位会员的积分，现在是 45。请核对后重新输入并保存。"));
        QCOMPARE(s.points(), QStringLiteral("45"));
        QVERIFY(s.box("Text4")->isEnabled());
        s.retypePoints(QStringLiteral("100"));
        s.press("保存");
        QCOMPARE(s.memberPoints(), QStringLiteral("100"));

        // A card number a second member was given in a database without the unique index: the card
        // is refused by name, for reading as for redeeming.
        s.t.database.exec(QStringLiteral("DROP INDEX kelm_card_unique; INSERT INTO kelm (卡号, 积分) VALUES ('%1 ', 100)")
                              .arg(Card1));
        s.press("积分兑换");
        s.press("读卡");
        const QString shared = QStringLiteral("卡号为“%1”的会员有 2 位，无法确定是哪一位，本次操作没有进行。请管理员处理重复的卡号。")
                                   .arg(Card1);
        QCOMPARE(s.t.messages.texts().mid(s.t.messages.texts().size() - 2), QStringList({shared, shared}));
        QCOMPARE(s.records(), 1);
    }

    void pointsWithAFractionAreRoundedHalfToEvenBeforeRedeeming_data()
    {
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("left");
        QTest::newRow("97.5 counts as 98") << "97.5" << "88";
        QTest::newRow("96.5 counts as 96") << "96.5" << "86";
    }

    void pointsWithAFractionAreRoundedHalfToEvenBeforeRedeeming()
    {
        QFETCH(QString, points);
        QFETCH(QString, left);
        PointsScreen s;
        s.t.database.addGift(QStringLiteral("伞"), QStringLiteral("9"), QStringLiteral("10"));
        QVERIFY(s.readMember(points));
        QCOMPARE(s.points(), points);
        s.clickGift(0);
        s.press("积分兑换");
        QCOMPARE(s.points(), left);
        QCOMPARE(s.memberPoints(), left);
        QCOMPARE(s.cell(0, 3), QStringLiteral("8"));
    }

    void pointsAreCorrectedByHandOnceAndFoundByTheCardNumberAsText_data()
    {
        QTest::addColumn<QString>("card");
        QTest::newRow("digits") << Card1;
        QTest::newRow("leading zeros") << "0000000000042";
        QTest::newRow("letters") << "VIP-000000001";
    }

    void pointsAreCorrectedByHandOnceAndFoundByTheCardNumberAsText()
    {
        QFETCH(QString, card);
        PointsScreen s;
        s.t.database.addMember(card, QStringLiteral("张三"), QStringLiteral("0"), QStringLiteral("80"));
        s.t.database.addMember(QStringLiteral("42"), QStringLiteral("李四"), QStringLiteral("0"), QStringLiteral("7"));
        s.t.database.addGift(QStringLiteral("伞"), QStringLiteral("5"), QStringLiteral("10"));
        s.open();
        QVERIFY(s.layNewCard(card));
        s.press("读卡");
        s.press("积分修改");
        QCOMPARE(s.t.messages.messages(),
                 QList<Message>({{QStringLiteral("在积分栏直接修改积分，然后点击保存！"), QString(), Message::Icon::None,
                                  Message::Buttons::Ok}}));
        QVERIFY(s.box("Text4")->isEnabled());
        s.retypePoints(QStringLiteral(" 250 "));
        s.press("保存");
        QCOMPARE(s.lastMessage(),
                 Message({QStringLiteral("积分修改成功"), QString(), Message::Icon::None, Message::Buttons::Ok}));
        QVERIFY(!s.box("Text4")->isEnabled());
        QCOMPARE(s.memberPoints(card), QStringLiteral("250"));
        QCOMPARE(s.memberPoints(QStringLiteral("42")), QStringLiteral("7"));

        // A redemption finds the same member; it starts from the points the box shows.
        s.clickGift(0);
        s.press("积分兑换");
        QCOMPARE(s.lastMessage(), Redeemed);
        QCOMPARE(s.memberPoints(card), QStringLiteral("240"));
        QCOMPARE(s.memberPoints(QStringLiteral("42")), QStringLiteral("7"));
        QCOMPARE(s.t.database.scalar(QStringLiteral("SELECT 卡号 FROM lpdhjr")), card);

        // A second save without a new correction writes nothing and says nothing.
        s.t.database.exec(QStringLiteral("UPDATE kelm SET 积分 = 1 WHERE 卡号 = '%1'").arg(card));
        s.t.messages.clear();
        s.press("保存");
        QCOMPARE(s.t.messages.texts(), QStringList());
        QCOMPARE(s.memberPoints(card), QStringLiteral("1"));
    }

    void aCorrectionForAMemberGoneSinceTheReadKeepsTheTypedPoints()
    {
        PointsScreen s;
        QVERIFY(s.readMember(QStringLiteral("80")));
        s.press("积分修改");
        s.retypePoints(QStringLiteral("300"));
        s.t.database.exec(QStringLiteral("DELETE FROM kelm"));
        s.t.messages.clear();
        s.press("保存");
        QCOMPARE(s.t.messages.texts(),
                 QStringList({QStringLiteral("找不到卡号为“%1”的会员，积分没有保存。请重新读卡。").arg(Card1)}));
        QVERIFY(s.box("Text4")->isEnabled());
        QCOMPARE(s.points(), QStringLiteral("300"));
    }

    void theCatalogueRoadLeavesThePointsScreenAsItWas()
    {
        PointsScreen s;
        s.t.database.addGift(QStringLiteral("伞"), QStringLiteral("5"), QStringLiteral("10"));
        QVERIFY(s.readMember(QStringLiteral("80")));
        s.clickGift(0);
        s.press("积分兑换");
        QCOMPARE(s.cell(0, 3), QStringLiteral("4"));

        s.press("礼品管理");
        QVERIFY(!s.screen->isVisible());
        QWidget* catalogue = TestScreens::visibleWindow(QStringLiteral("Form5"));
        QVERIFY(catalogue);
        auto* giftList = catalogue->findChild<QTableView*>(QStringLiteral("ListView1"));
        QCOMPARE(giftList->model()->index(0, 3).data().toString(), QStringLiteral("4"));
        // The stock is raised in the catalogue.
        s.t.database.exec(QStringLiteral("UPDATE lpgl SET 数量 = 50"));
        TestScreens::button(catalogue, QStringLiteral("退出"))->trigger();
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form5")), nullptr);
        QVERIFY(!s.screen->isVisible());
        QVERIFY(s.t.module().sharedConnection().isOpen());

        Class1().jfgl(true);
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form4")), s.screen);
        // Not loaded again: the old stock, the member and the picked gift are still there.
        QCOMPARE(s.cell(0, 3), QStringLiteral("4"));
        QCOMPARE(s.box("Text5")->text(), QStringLiteral("000") + Card1);
        QCOMPARE(s.points(), QStringLiteral("70"));
        // The stock the catalogue raised is not written over: the redemption stops and shows it.
        s.press("积分兑换");
        QVERIFY(s.lastMessage().text.startsWith(QStringLiteral("兑换没有进行：另一台收银机刚刚改动了")));
        QCOMPARE(s.cell(0, 3), QStringLiteral("50"));
        QCOMPARE(s.points(), QStringLiteral("70"));
        QCOMPARE(s.records(), 1);
        s.press("积分兑换");
        QCOMPARE(s.points(), QStringLiteral("60"));
        QCOMPARE(s.memberPoints(), QStringLiteral("60"));
        QCOMPARE(s.stock(QStringLiteral("伞")), QStringLiteral("49"));
        QCOMPARE(s.records(), 2);

        s.press("退出");
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form4")), nullptr);
        QCOMPARE(s.t.module().readerPort().handle(), -1);
    }
};

QTEST_MAIN(RedemptionTest)
#include "RedemptionTest.moc"
