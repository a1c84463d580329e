// A top-up as the cashier makes it: 充值 on the member screen with the member's card on the simulated
// reader, the password dialog where the member has a password of their own, and the recharge dialog;
// checked in the boxes, the messages, the member screen's state, the reader and the database.
#include "Till.h"

#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

using namespace kelm;

namespace {

const QString A = QStringLiteral("1000000000001");
const QString B = QStringLiteral("2000000000002");
const QString Stranger = QStringLiteral("9000000000009");
const char* R = "Form2";
const char* P = "Form3";
const QString ReadFailed = QStringLiteral("你可能没有正确放置会员卡，读取会员卡失败！");

// A's member with this balance and password, the member screen open, A's card on the reader and
// 充值 pressed: the dialog that came up.
bool recharge(Till& till, const QString& balance = QStringLiteral("100"), const QString& password = QStringLiteral("462"))
{
    till.database.addMember(A, QStringLiteral("张三"), balance, QStringLiteral("0"), password);
    Till::open("kelm");
    if (!till.layCard(A))
        return false;
    Till::press("Form1", "充值");
    return Till::window(password == QStringLiteral("462") ? R : P);
}

} // namespace

class RechargeTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Till::settle(); }

    void theDialogShowsTheMemberAndHoldsTheMemberScreenUntilItCloses()
    {
        Till till;
        QVERIFY(recharge(till, QStringLiteral("100")));
        QVERIFY(!Till::window(P) && till.said().isEmpty());
        QVERIFY(Till::window(R)->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(till.beepsSinceLay(), 1);
        QCOMPARE(Till::texts(R, {"Text5", "Text1", "Text3", "Text6", "Text2", "Text4", "Text7"}),
                 QStringList({"000" + A, "Vip", "13800000001", "ID" + A, "地址张三", "100", ""}));
        QVERIFY(!Till::box(R, "Text4")->isEnabled() && Till::box(R, "Text7")->isEnabled());
        QVERIFY(Till::box(R, "Text5")->isReadOnly());

        // The member screen stays in sight but takes no input, and enabling it does not last.
        QWidget* members = Till::window("Form1");
        QVERIFY(!members->isEnabled());
        auto* toolbar = members->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        QTest::mouseClick(toolbar->widgetForAction(toolbar->actions().first()), Qt::LeftButton);
        QCOMPARE(Till::box("Form1", "Text1")->isEnabled(), false);
        members->setEnabled(true);
        QVERIFY(!members->isEnabled());

        Till::click(R, "Command2");
        QVERIFY(!Till::window(R) && members->isEnabled());
        QCOMPARE(till.module().readerPort().handle(), -1);
        QCOMPARE(till.database.count(QStringLiteral("qzjl")), 0);

        // The next 充值 reads the card again into a fresh dialog; its close box does what 取消 does.
        till.database.exec(QStringLiteral("UPDATE kelm SET 余额=7"));
        Till::press("Form1", "充值");
        QCOMPARE(Till::texts(R, {"Text4", "Text7"}), QStringList({"7", ""}));
        Till::window(R)->close();
        Till::settle();
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerPort().handle(), -1);
    }

    void eachTopUpAddsToTheBalanceAndRecordsOneRow()
    {
        Till till;
        QVERIFY(recharge(till, QStringLiteral("0")));
        // The amount stays in its box: 确定 again tops up once more on the new balance.
        Till::enter(R, "Text7", QStringLiteral("0.1"));
        for (int i = 1; i < 10; ++i)
            Till::click(R, "Command1");
        QCOMPARE(Till::texts(R, {"Text7", "Text4"}), QStringList({"0.1", "1"}));
        QCOMPARE(till.member("余额", A), QStringLiteral("1"));
        QCOMPARE(till.beepsSinceLay(), 11);
        Till::enter(R, "Text7", QStringLiteral("50.5"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 日期||'|'||卡号||'|'||持卡人||'|'||业务||'|'||金额||'|'||操作员 "
                                                     "FROM qzjl WHERE 金额 > 1")),
                 QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) + u'|' + A
                     + QStringLiteral("|Vip|充值|50.5|收银员甲"));
        // A negative amount, allowed where config.ini does not say otherwise, lowers the balance; the
        // audit tells it from the top-ups. Blanks around an amount are allowed.
        Till::enter(R, "Text7", QStringLiteral(" -1.5 "));
        QCOMPARE(till.member("余额", A), QStringLiteral("50"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 操作||'|'||原值||'|'||新值||'|'||说明 FROM kelm_audit WHERE 新值 = '50'")),
                 QStringLiteral("余额更正|51.5|50|金额  -1.5 "));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT count(*) FROM kelm_audit WHERE 操作 = '充值'")), QStringLiteral("11"));
        QCOMPARE(till.database.count(QStringLiteral("qzjl")), 12);
        QCOMPARE(till.messages.messages(), QList<Message>(12, {QStringLiteral("充值成功！"), AppCaption}));

        // A shop may keep taking money off a card to its office.
        Till::click(R, "Command2");
        till.database.writeConfig(till.database.configLines() + QStringLiteral("允许负数充值=否\n[dqcz]\n操作员=收银员甲\n"));
        Till::window("Form1")->close();
        Till::settle();
        Till::open("kelm");
        Till::press("Form1", "充值");
        till.said();
        Till::enter(R, "Text7", QStringLiteral("-50"));
        QCOMPARE(till.said(), QStringList({"这台收银机不允许负数充值，余额没有改动。"}));
        QCOMPARE(till.member("余额", A), QStringLiteral("50"));
    }

    void aRefusedTopUpWritesNothing_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("balanceAfterRetry");
        const QString noNumber = QStringLiteral("请输入正确的充值金额！");
        for (const char* amount : {"", "   ", "abc", "12元", "1,000", "1e999", "inf"})
            QTest::addRow("amount '%s'", amount) << "" << amount << noNumber << "1100";
        QTest::newRow("member gone meanwhile") << "DELETE FROM kelm" << "10" << "充值失败！" << "<none>";
        // Another till topped the member up by 20 while this dialog still shows 100.
        QTest::newRow("balance changed by another till") << "UPDATE kelm SET 余额=120" << "10" << "充值失败！" << "120";
        // A database without the unique index let another program give the number to a second member.
        QTest::newRow("card number shared meanwhile")
            << "DROP INDEX kelm_card_unique; INSERT INTO kelm (卡号, 余额) VALUES ('1000000000001 ', 100)" << "10"
            << "卡号为“1000000000001”的会员有 2 位，无法确定是哪一位，本次操作没有进行。请管理员处理重复的卡号。" << "100";
    }

    void aRefusedTopUpWritesNothing()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, amount);
        QFETCH(QString, message);
        QFETCH(QString, balanceAfterRetry);
        Till till;
        QVERIFY(recharge(till));
        if (!meanwhile.isEmpty())
            till.database.exec(meanwhile);
        const TestDatabase::Contents before = till.database.contents();
        Till::enter(R, "Text7", amount);
        QCOMPARE(till.said(), QStringList({message}));
        QCOMPARE(Till::texts(R, {"Text7", "Text4"}), QStringList({amount, "100"}));
        QCOMPARE(till.database.contents(), before);
        QCOMPARE(till.beepsSinceLay(), 1);
        // The dialog goes on working: a right amount goes through unless the member's row changed.
        Till::enter(R, "Text7", QStringLiteral("1000"));
        QCOMPARE(till.member("余额", A), balanceAfterRetry);
    }

    void withoutAMembersCardNothingOpensAndTheDialogSaysWhyAndRefuses()
    {
        Till till;
        till.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        Till::open("kelm");
        const QString noCard = QStringLiteral("没有读取到会员卡，无法充值！请放好会员卡后重新打开充值窗口。");
        for (const QString& card : {QString(), Stranger}) {
            if (!card.isEmpty())
                QVERIFY(till.layCard(card));
            // No card, or a card of no member: 充值 opens nothing; the dialog opened anyway has no member.
            Till::press("Form1", "充值");
            QVERIFY(!Till::window(R) && !Till::window(P));
            QVERIFY(till.said().isEmpty());
            till.registry().openRechargeDialog();
            QCOMPARE(till.said(), QStringList({card.isEmpty() ? ReadFailed : QStringLiteral("此卡不是本店会员卡，无法充值！")}));
            QCOMPARE(Till::texts(R, {"Text5", "Text4"}), QStringList({card.isEmpty() ? "" : "000" + card, ""}));
            Till::enter(R, "Text7", QStringLiteral("10"));
            QCOMPARE(till.said(), QStringList({noCard}));
            Till::click(R, "Command2");
        }
        QCOMPARE(till.member("余额", A), QStringLiteral("100"));
        QCOMPARE(till.database.count(QStringLiteral("qzjl")), 0);
    }

    void aMemberWithoutValuesOrWithFloatNoiseCanBeToppedUpButABalanceOfTextCannot()
    {
        Till till;
        till.database.addMember(A, QStringLiteral("张三"));
        till.database.addMember(B, QStringLiteral("李四"));
        till.database.addMember(Stranger, QStringLiteral("王五"));
        // The host program took 33.33 off 200 with SQL of its own; a server refuses text in a number.
        const bool textAllowed = TestDatabase::engine() == Engine::Sqlite;
        till.database.exec(QStringLiteral("UPDATE kelm SET 余额=NULL, 联系电话=NULL WHERE 卡号='%1';"
                                          "UPDATE kelm SET 余额=%2 WHERE 卡号='%3';"
                                          "UPDATE kelm SET 余额=200 - 33.33 WHERE 卡号='%4'")
                               .arg(A, textAllowed ? QStringLiteral("'十元'") : QStringLiteral("NULL"), B, Stranger));
        Till::open("kelm");
        const QList<QString> cards = {A, B, Stranger};
        const QStringList amounts = {"25", "25", "10"};
        const QStringList shown = {"0", textAllowed ? "十元" : "0", "166.67"};
        const QStringList after = {"25", textAllowed ? "十元" : "25", "176.67"};
        for (int i = 0; i < 3; ++i) {
            QVERIFY(till.layCard(cards[i]));
            Till::press("Form1", "充值");
            QCOMPARE(Till::text(R, "Text4"), shown[i]);
            Till::enter(R, "Text7", amounts[i]);
            QCOMPARE(till.member("余额", cards[i]), after[i]);
            Till::click(R, "Command2");
        }
        QCOMPARE(till.said().mid(1, 2), textAllowed ? QStringList({"此会员卡的余额不是有效的数字，无法充值！",
                                                                   "没有读取到会员卡，无法充值！请放好会员卡后重新打开充值窗口。"})
                                                    : QStringList({"充值成功！", "充值成功！"}));
    }

    // A member with a password of their own is asked for it exactly: letter case and blanks count, and an
    // empty password, stored empty or NULL, is no default one. 取消 hides the dialog emptied; its close box
    // unloads it and closes the reader.
    void anotherPasswordIsAskedForExactlyBeforeTheRecharge()
    {
        Till till;
        QVERIFY(recharge(till, QStringLiteral("100"), QStringLiteral("Ab 1")));
        QVERIFY(!Till::window(R));
        QVERIFY(Till::window(P)->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(Till::window("Form1")->isEnabled());
        for (const QString& wrong : {QStringLiteral("ab 1"), QStringLiteral("Ab 1 "), QStringLiteral(" Ab 1"), QString()}) {
            Till::enter(P, "Text1", wrong);
            QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("密码错误，请重新输入！"), AppCaption}}));
            till.said();
            QCOMPARE(Till::box(P, "Text1")->displayText(), QString(wrong.size(), u'*'));
            QVERIFY(!Till::window(R));
        }
        Till::enter(P, "Text1", QStringLiteral("Ab 1"));
        QVERIFY(till.said().isEmpty());
        QVERIFY(!Till::loaded(P));
        QCOMPARE(Till::texts(R, {"Text5", "Text4"}), QStringList({"000" + A, "100"}));
        QVERIFY(!Till::window("Form1")->isEnabled());
        Till::enter(R, "Text7", QStringLiteral("20"));
        QCOMPARE(till.member("余额", A), QStringLiteral("120"));
        QCOMPARE(till.said(), QStringList({"充值成功！"}));
        Till::click(R, "Command2");

        for (const char* stored : {"''", "NULL"}) {
            till.database.exec(QStringLiteral("UPDATE kelm SET 密码=%1").arg(QString::fromLatin1(stored)));
            Till::press("Form1", "充值");
            Till::enter(P, "Text1", QStringLiteral("462"));
            QCOMPARE(till.said(), QStringList({"密码错误，请重新输入！"}));
            Till::enter(P, "Text1", QString());
            QVERIFY2(Till::window(R) && !Till::window(P), stored);
            Till::click(R, "Command2");
        }

        till.database.exec(QStringLiteral("UPDATE kelm SET 密码='8866'"));
        Till::press("Form1", "充值");
        QWidget* dialog = Till::window(P);
        Till::type(P, "Text1", QStringLiteral("88"));
        Till::click(P, "Command2");
        QVERIFY(!Till::window(P));
        QCOMPARE(Till::loaded(P), dialog);
        QVERIFY(till.module().readerPort().handle() > 0);
        Till::press("Form1", "充值");
        QCOMPARE(Till::window(P), dialog);
        QCOMPARE(Till::text(P, "Text1"), QString());
        Till::window(P)->close();
        Till::settle();
        QVERIFY(!Till::loaded(P));
        QCOMPARE(till.module().readerPort().handle(), -1);
        QVERIFY(Till::window("Form1")->isEnabled());
    }

    // Five wrong passwords lock the card on every till for five minutes; the right one, once the lock
    // is over, starts the count again.
    void wrongPasswordsLockTheCardForAWhile()
    {
        Till till;
        QVERIFY(recharge(till, QStringLiteral("100"), QStringLiteral("8866")));
        for (int i = 1; i <= 5; ++i)
            Till::enter(P, "Text1", QStringLiteral("%1").arg(i));
        const QString until = QDateTime::currentDateTime().addSecs(300).toString(QStringLiteral("HH:mm"));
        const QStringList said = till.said();
        QCOMPARE(said.mid(0, 4), QStringList(4, QStringLiteral("密码错误，请重新输入！")));
        QVERIFY2(said[4].startsWith(QStringLiteral("密码连续输错 5 次，此卡已锁定到 ") + until), qPrintable(said[4]));
        Till::enter(P, "Text1", QStringLiteral("8866"));
        QVERIFY(till.said().value(0).startsWith(QStringLiteral("密码输错次数太多，此卡已锁定到 ")));
        QVERIFY(!Till::window(R));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 错误次数 FROM kelm_pin")), QStringLiteral("5"));
        // The lock is over (as another till would find it five minutes on).
        till.database.exec(QStringLiteral("UPDATE kelm_pin SET 锁定至 = '2000-01-01 00:00:00'"));
        Till::enter(P, "Text1", QStringLiteral("8866"));
        QVERIFY(Till::window(R));
        QCOMPARE(till.database.count(QStringLiteral("kelm_pin")), 0);
    }

    void aCardThatCannotBeReadOrIsNoMembersIsReportedNotCompared()
    {
        Till till;
        QVERIFY(recharge(till, QStringLiteral("100"), QStringLiteral("8866")));
        QVERIFY(till.cards.remove());
        Till::enter(P, "Text1", QStringLiteral("8866"));
        QVERIFY(till.layCard(Stranger));
        Till::click(P, "Command1");
        QCOMPARE(till.said(), QStringList({ReadFailed, "此卡不是本店会员卡！"}));
        QVERIFY(!Till::window(R) && Till::window(P));
        // The points screen loaded meanwhile: nothing waits for the password, and the right one does
        // nothing at all.
        QVERIFY(till.layCard(A));
        Till::open("jfgl");
        Till::enter(P, "Text1", QStringLiteral("8866"));
        QVERIFY(till.said().isEmpty());
        QVERIFY(Till::window(P) && !Till::window(R));
        QVERIFY(Till::window("Form1")->isEnabled());
    }

    void theCorrectPasswordForThePointsScreensReadFillsItsBoxesAndHides()
    {
        Till till;
        till.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"), QStringLiteral("37.5"),
                                QStringLiteral("8866"));
        Till::open("jfgl");
        QVERIFY(till.layCard(A));
        Till::press("Form4", "读卡");
        // The boxes wait for the dialog.
        QCOMPARE(Till::texts("Form4", {"Text5", "Text4"}), QStringList({"", ""}));
        QCOMPARE(till.beepsSinceLay(), 0);
        Till::enter(P, "Text1", QStringLiteral("8866"));
        QVERIFY(till.said().isEmpty());
        QCOMPARE(Till::texts("Form4", {"Text5", "Text3", "Text6", "Text2", "Text4", "Text1"}),
                 QStringList({"000" + A, "13800000001", "ID" + A, "地址张三", "37.5", "Vip"}));
        QCOMPARE(till.beepsSinceLay(), 1);
        QVERIFY(!Till::window(P) && Till::loaded(P) && !Till::window(R));
        // Closing it does not bring up a member screen that was never there.
        Till::loaded(P)->close();
        Till::settle();
        QVERIFY(!Till::loaded("Form1"));
        QCOMPARE(till.module().readerPort().handle(), -1);
    }
};

QTEST_MAIN(RechargeTest)
#include "RechargeTest.moc"
