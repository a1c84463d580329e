// The recharge dialog, opened from the member screen with a member card on the simulated reader,
// checked in its boxes, the messages, the member screen's state and the database.
#include "RechargeTill.h"

#include <QDate>
#include <QLocale>

using namespace kelm;

namespace {

const QString A = QStringLiteral("1000000000001");
const QString B = QStringLiteral("2000000000002");
const QString Stranger = QStringLiteral("9000000000009");
const QStringList MemberBoxes = {"Text5", "Text1", "Text3", "Text6", "Text2", "Text4", "Text7"};

} // namespace

class RechargeDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestScreens::settle(); }

    void defaultPasswordOpensTheDialogWithTheMembersDataAndHoldsTheMemberScreen()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"), QStringLiteral("7"));
        Form1* members = till.openMemberScreen();
        QVERIFY(till.layNewCard(A));

        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QVERIFY(!till.passwordDialog());
        QVERIFY(till.t.messages.messages().isEmpty());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("会员卡充值"));
        QVERIFY(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(till.beepsSinceLay(), 1);
        QCOMPARE(TestScreens::texts(dialog, MemberBoxes),
                 QStringList({"000" + A, "Vip", "13800000001", "ID" + A, "地址张三", "100", ""}));
        for (const char* name : {"Text1", "Text3", "Text6", "Text2", "Text4"})
            QVERIFY2(!TestScreens::box(dialog, QString::fromLatin1(name))->isEnabled(), name);
        QVERIFY(TestScreens::box(dialog, QStringLiteral("Text7"))->isEnabled());
        QVERIFY(RechargeTill::command(dialog, "Command1")->isDefault());

        // The member screen stays in sight but takes no input: its toolbar cannot be clicked.
        QVERIFY(!members->isEnabled());
        QVERIFY(members->isVisible());
        auto* toolbar = members->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        QTest::mouseClick(toolbar->widgetForAction(TestScreens::button(members, QStringLiteral("增加"))), Qt::LeftButton);
        QCOMPARE(members->entryMode(), Form1::Nothing);
        // Enabling it while the dialog is up does not last.
        members->setEnabled(true);
        QVERIFY(!members->isEnabled());

        RechargeTill::click(dialog, "Command2");
        TestScreens::settle();
        QVERIFY(!till.rechargeDialog());
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerPort().handle(), -1);
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(till.balanceOf(A), QStringLiteral("100"));

        // The next recharge reads the card again into a fresh dialog; its close box does what 取消 does.
        till.t.database.exec(QStringLiteral("UPDATE kelm SET 余额=7"));
        till.pressRecharge();
        dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("7"));
        QCOMPARE(RechargeTill::text(dialog, "Text7"), QString());
        QVERIFY(till.module().readerPort().handle() > 0);
        dialog->close();
        TestScreens::settle();
        QVERIFY(!till.rechargeDialog());
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerPort().handle(), -1);
    }

    void eachTopUpAddsToTheBalanceAndRecordsOneRow()
    {
        RechargeTill till;
        QWidget* dialog = till.recharge(A, QStringLiteral("0"));
        QVERIFY(dialog);

        // The amount stays in its box: 确定 again tops up once more on the new balance.
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("0.1"));
        for (int i = 1; i < 10; ++i)
            RechargeTill::click(dialog, "Command1");
        QCOMPARE(RechargeTill::text(dialog, "Text7"), QStringLiteral("0.1"));
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("1"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("1"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 10);
        QCOMPARE(till.beepsSinceLay(), 11);

        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("50.5"));
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("51.5"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("51.5"));
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT 日期||'|'||卡号||'|'||持卡人||'|'||业务||'|'||金额||'|'||操作员 "
                                                       "FROM qzjl WHERE 金额 > 1")),
                 QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) + u'|' + A
                     + QStringLiteral("|Vip|充值|50.5|收银员甲"));

        // A negative amount lowers the balance and is recorded as a top-up all the same; blanks
        // around an amount are allowed.
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral(" -1.5 "));
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("50"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("50"));
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT 业务||'|'||金额 FROM qzjl WHERE 金额 < 0")),
                 QStringLiteral("充值|-1.5"));
        // The audit tells the correction from the top-ups.
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT 操作||'|'||原值||'|'||新值||'|'||说明 FROM kelm_audit "
                                                       "WHERE 新值 = '50'")),
                 QStringLiteral("余额更正|51.5|50|金额  -1.5 "));
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT count(*) FROM kelm_audit WHERE 操作 = '充值'")),
                 QStringLiteral("11"));
        QCOMPARE(till.t.messages.texts(), QStringList(12, QStringLiteral("充值成功！")));
        QCOMPARE(till.t.messages.messages()[0].caption, AppCaption);
        QCOMPARE(till.t.messages.messages()[0].icon, Message::Icon::Information);
    }

    // A shop may keep taking money off a card to its office.
    void aNegativeTopUpOnlyWhereConfigIniAllowsIt()
    {
        RechargeTill till;
        till.t.database.writeConfig(till.t.database.configLines()
                                    + QStringLiteral("允许负数充值=否\n[dqcz]\n操作员=收银员甲\n"));
        QWidget* dialog = till.recharge(A);
        QVERIFY(dialog);
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("-50"));
        QCOMPARE(till.t.messages.texts(), QStringList({"这台收银机不允许负数充值，余额没有改动。"}));
        QCOMPARE(till.balanceOf(A), QStringLiteral("100"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("50"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("150"));
    }

    void aRefusedTopUpWritesNothing_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("balanceAfterRetry");
        const QString noNumber = QStringLiteral("请输入正确的充值金额！");
        QTest::newRow("empty") << "" << "" << noNumber << "1100";
        QTest::newRow("blanks") << "" << "   " << noNumber << "1100";
        QTest::newRow("letters") << "" << "abc" << noNumber << "1100";
        QTest::newRow("with a unit") << "" << "12元" << noNumber << "1100";
        QTest::newRow("thousands comma") << "" << "1,000" << noNumber << "1100";
        QTest::newRow("overflow") << "" << "1e999" << noNumber << "1100";
        QTest::newRow("infinity") << "" << "inf" << noNumber << "1100";
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
        RechargeTill till;
        QWidget* dialog = till.recharge(A);
        QVERIFY(dialog);
        if (!meanwhile.isEmpty())
            till.t.database.exec(meanwhile);
        const QString balance = till.balanceOf(A);
        RechargeTill::typeAndEnter(dialog, "Text7", amount);
        QCOMPARE(till.t.messages.texts(), QStringList({message}));
        QCOMPARE(till.t.messages.messages()[0].icon, Message::Icon::Information);
        QCOMPARE(RechargeTill::text(dialog, "Text7"), amount);
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("100"));
        QCOMPARE(till.balanceOf(A), balance);
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(till.beepsSinceLay(), 1);

        // The dialog goes on working: a right amount goes through unless the member's row changed.
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("1000"));
        QCOMPARE(till.balanceOf(A), balanceAfterRetry);
    }

    void theTopUpGoesToTheLoadedMemberWhateverTheCardBoxShows()
    {
        RechargeTill till;
        till.t.database.addMember(B, QStringLiteral("李四"), QStringLiteral("5"));
        QWidget* dialog = till.recharge(A);
        QVERIFY(dialog);
        QLineEdit* card = TestScreens::box(dialog, QStringLiteral("Text5"));
        QVERIFY(card->isEnabled());
        QVERIFY(card->isReadOnly());
        TestScreens::type(card, QStringLiteral("X"));
        QCOMPARE(card->text(), QStringLiteral("000") + A);

        card->setText(QStringLiteral("000") + B);
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("10"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("110"));
        QCOMPARE(till.balanceOf(B), QStringLiteral("5"));
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT 卡号 FROM qzjl")), A);
    }

    void withoutAMembersCardNothingOpensAndTheDialogSaysWhyAndRefuses()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        Form1* members = till.openMemberScreen();
        const QString noCard = QStringLiteral("没有读取到会员卡，无法充值！请放好会员卡后重新打开充值窗口。");

        // No card on the reader: 充值 opens nothing; the dialog opened anyway is empty.
        till.pressRecharge();
        QVERIFY(!till.rechargeDialog() && !till.passwordDialog());
        QVERIFY(till.t.messages.messages().isEmpty());
        QVERIFY(members->isEnabled());
        till.t.registry().openRechargeDialog();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QCOMPARE(till.t.messages.texts(), QStringList({"你可能没有正确放置会员卡，读取会员卡失败！"}));
        QCOMPARE(TestScreens::texts(dialog, MemberBoxes).mid(2), QStringList({"", "", "", "", ""}));
        QCOMPARE(RechargeTill::text(dialog, "Text5"), QString());
        QVERIFY(!members->isEnabled());
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("10"));
        QCOMPARE(till.t.messages.texts().constLast(), noCard);
        QCOMPARE(till.balanceOf(A), QStringLiteral("100"));
        dialog->close();
        TestScreens::settle();
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerPort().handle(), -1);

        // A card of no member: 充值 opens nothing either; in the dialog the card text shows, the rest
        // stays empty.
        QVERIFY(till.layNewCard(Stranger));
        till.t.messages.clear();
        till.pressRecharge();
        QVERIFY(!till.rechargeDialog() && !till.passwordDialog());
        QVERIFY(till.t.messages.messages().isEmpty());
        till.t.registry().openRechargeDialog();
        dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QCOMPARE(till.t.messages.texts(), QStringList({"此卡不是本店会员卡，无法充值！"}));
        QCOMPARE(RechargeTill::text(dialog, "Text5"), QStringLiteral("000") + Stranger);
        QVERIFY(RechargeTill::text(dialog, "Text4").isEmpty());
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("10"));
        QCOMPARE(till.t.messages.texts().constLast(), noCard);
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(till.member("count(*)", Stranger), QStringLiteral("0"));
    }

    void aMemberWithoutValuesOrWithFloatNoiseCanBeToppedUpButABalanceOfTextCannot()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"));
        till.t.database.addMember(B, QStringLiteral("李四"));
        till.t.database.addMember(Stranger, QStringLiteral("王五"));
        // The host program took 33.33 off 200 with SQL of its own.
        till.t.database.exec(QStringLiteral("UPDATE kelm SET 余额=NULL, 联系电话=NULL, 身份证号=NULL, 联系地址=NULL "
                                            "WHERE 卡号='%1';"
                                            "UPDATE kelm SET 余额='十元' WHERE 卡号='%2';"
                                            "UPDATE kelm SET 余额=200 - 33.33 WHERE 卡号='%3'")
                                 .arg(A, B, Stranger));
        till.openMemberScreen();

        QVERIFY(till.layNewCard(Stranger));
        till.pressRecharge();
        QCOMPARE(RechargeTill::text(till.rechargeDialog(), "Text4"), QStringLiteral("166.67"));
        RechargeTill::typeAndEnter(till.rechargeDialog(), "Text7", QStringLiteral("10"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值成功！"}));
        QCOMPARE(till.balanceOf(Stranger), QStringLiteral("176.67"));
        RechargeTill::click(till.rechargeDialog(), "Command2");
        TestScreens::settle();
        till.t.messages.clear();

        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QVERIFY(till.t.messages.messages().isEmpty());
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("0"));
        QCOMPARE(RechargeTill::text(dialog, "Text3"), QString());
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("25"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值成功！"}));
        QCOMPARE(till.balanceOf(A), QStringLiteral("25"));
        RechargeTill::click(dialog, "Command2");
        TestScreens::settle();

        QVERIFY(till.layNewCard(B));
        till.t.messages.clear();
        till.pressRecharge();
        dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QCOMPARE(till.t.messages.texts(), QStringList({"此会员卡的余额不是有效的数字，无法充值！"}));
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("25"));
        QCOMPARE(till.balanceOf(B), QStringLiteral("十元"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 2);
    }
};

QTEST_MAIN(RechargeDialogTest)
#include "RechargeDialogTest.moc"
