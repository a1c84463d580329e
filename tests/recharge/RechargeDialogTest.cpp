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

QString today()
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

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
        const int beeps = till.reader.beepCount();
        till.module().verifyTarget = 2;

        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QVERIFY(!till.passwordDialog());
        QVERIFY(till.t.messages.messages().isEmpty());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("会员卡充值"));
        QVERIFY(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(dialog->size(), QSize(9765 / 15, 5040 / 15));
        QCOMPARE(till.module().verifyTarget, 0);
        QCOMPARE(till.reader.beepCount(), beeps + 1);

        QCOMPARE(RechargeTill::text(dialog, "Text5"), QStringLiteral("000") + A);
        QCOMPARE(RechargeTill::text(dialog, "Text1"), QStringLiteral("Vip"));
        QCOMPARE(RechargeTill::text(dialog, "Text3"), QStringLiteral("13800000001"));
        QCOMPARE(RechargeTill::text(dialog, "Text6"), QStringLiteral("ID") + A);
        QCOMPARE(RechargeTill::text(dialog, "Text2"), QStringLiteral("地址张三"));
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("100"));
        QCOMPARE(RechargeTill::text(dialog, "Text7"), QString());
        for (const char* name : {"Text1", "Text3", "Text6", "Text2", "Text4"})
            QVERIFY2(!TestScreens::box(dialog, QString::fromLatin1(name))->isEnabled(), name);
        QVERIFY(TestScreens::box(dialog, QStringLiteral("Text7"))->isEnabled());
        QVERIFY(RechargeTill::command(dialog, "Command1")->isDefault());

        // The member screen stays in sight but takes no input: its toolbar cannot be clicked.
        QVERIFY(!members->isEnabled());
        QVERIFY(members->isVisible());
        auto* toolbar = members->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        QWidget* addButton = toolbar->widgetForAction(TestScreens::button(members, QStringLiteral("增加")));
        QTest::mouseClick(addButton, Qt::LeftButton);
        QCOMPARE(members->entryMode(), Form1::Nothing);
        // Enabling it while the dialog is up does not last.
        members->setEnabled(true);
        QVERIFY(!members->isEnabled());

        RechargeTill::click(dialog, "Command2");
        TestScreens::settle();
        QVERIFY(!till.rechargeDialog());
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerHandle, -1);
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(till.balanceOf(A), QStringLiteral("100"));
    }

    void eachRechargeAddsToTheBalanceAndRecordsOneRow()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        till.openMemberScreen();
        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        const int beeps = till.reader.beepCount();

        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("50.5"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值成功！"}));
        QCOMPARE(till.t.messages.messages()[0].caption, AppCaption);
        QCOMPARE(till.t.messages.messages()[0].icon, Message::Icon::Information);
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("150.5"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("150.5"));
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT 日期||'|'||卡号||'|'||持卡人||'|'||业务||'|'||金额||'|'||操作员 "
                                                       "FROM qzjl")),
                 today() + QStringLiteral("|") + A + QStringLiteral("|Vip|充值|50.5|收银员甲"));
        QCOMPARE(till.reader.beepCount(), beeps + 1);

        // The amount stays: 确定 again tops up once more on the new balance.
        QCOMPARE(RechargeTill::text(dialog, "Text7"), QStringLiteral("50.5"));
        RechargeTill::click(dialog, "Command1");
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("201"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("201"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 2);

        // A negative amount lowers the balance and is recorded as a top-up all the same; blanks
        // around an amount are allowed.
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral(" -1.5 "));
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("199.5"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("199.5"));
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT 业务||'|'||金额 FROM qzjl WHERE 金额 < 0")),
                 QStringLiteral("充值|-1.5"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值成功！", "充值成功！", "充值成功！"}));
    }

    void tenTopUpsOfOneTenthMakeOne()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("0"));
        till.openMemberScreen();
        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("0.1"));
        for (int i = 1; i < 10; ++i)
            RechargeTill::click(dialog, "Command1");
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("1"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("1"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 10);
    }

    void anAmountThatIsNoNumberIsRefusedAndNothingIsWritten()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        till.openMemberScreen();
        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        const int beeps = till.reader.beepCount();
        for (const QString& amount : {QString(), QStringLiteral("   "), QStringLiteral("abc"), QStringLiteral("12元"),
                                      QStringLiteral("1,000"), QStringLiteral("1e999"), QStringLiteral("inf")}) {
            till.t.messages.clear();
            RechargeTill::typeAndEnter(dialog, "Text7", amount);
            QCOMPARE(till.t.messages.texts(), QStringList({"请输入正确的充值金额！"}));
            QCOMPARE(RechargeTill::text(dialog, "Text7"), amount);
        }
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("100"));
        QCOMPARE(till.balanceOf(A), QStringLiteral("100"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(till.reader.beepCount(), beeps);

        // The dialog goes on working once the amount is right.
        till.t.messages.clear();
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("1000"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值成功！"}));
        QCOMPARE(till.balanceOf(A), QStringLiteral("1100"));
    }

    void theTopUpGoesToTheLoadedMemberWhateverTheCardBoxShows()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        till.t.database.addMember(B, QStringLiteral("李四"), QStringLiteral("5"));
        till.openMemberScreen();
        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
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

    void aMemberGoneMeanwhileFailsTheRechargeWithoutARow()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        till.openMemberScreen();
        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        const int beeps = till.reader.beepCount();
        till.t.database.exec(QStringLiteral("DELETE FROM kelm"));
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("10"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值失败！"}));
        QCOMPARE(till.t.messages.messages()[0].icon, Message::Icon::Information);
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("100"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(till.t.database.count(QStringLiteral("kelm")), 0);
        QCOMPARE(till.reader.beepCount(), beeps);
    }

    void aBalanceAnotherTillChangedIsNeverOverwritten()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        till.openMemberScreen();
        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        // Another till tops the member up by 20 while this dialog still shows 100.
        till.t.database.exec(QStringLiteral("UPDATE kelm SET 余额=120"));
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("10"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值失败！"}));
        QCOMPARE(till.balanceOf(A), QStringLiteral("120"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("100"));
    }

    void noCardOrAStrangeCardOpensNothingFromTheMemberScreen()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        Form1* members = till.openMemberScreen();
        QVERIFY(till.layNewCard(Stranger));
        till.pressRecharge();
        QVERIFY(till.folder.remove());
        till.pressRecharge();
        QVERIFY(!till.rechargeDialog());
        QVERIFY(!till.passwordDialog());
        QVERIFY(till.t.messages.messages().isEmpty());
        QVERIFY(members->isEnabled());
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
    }

    void aDialogWithoutAMemberSaysWhyAndRefusesToRecharge()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        Form1* members = till.openMemberScreen();

        // No card on the reader: the dialog still opens, empty.
        till.t.registry().form2().showScreen();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QCOMPARE(till.t.messages.texts(), QStringList({"你可能没有正确放置会员卡，读取会员卡失败！"}));
        for (const char* name : {"Text5", "Text3", "Text6", "Text2", "Text4"})
            QVERIFY2(RechargeTill::text(dialog, name).isEmpty(), name);
        QVERIFY(!members->isEnabled());
        till.t.messages.clear();
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("10"));
        QCOMPARE(till.t.messages.texts(), QStringList({"没有读取到会员卡，无法充值！请放好会员卡后重新打开充值窗口。"}));
        QCOMPARE(till.balanceOf(A), QStringLiteral("100"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        dialog->close();
        TestScreens::settle();
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerHandle, -1);

        // A card of no member: the card text shows, the rest stays empty.
        QVERIFY(till.layNewCard(Stranger));
        till.t.messages.clear();
        till.t.registry().form2().showScreen();
        dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QCOMPARE(till.t.messages.texts(), QStringList({"此卡不是本店会员卡，无法充值！"}));
        QCOMPARE(RechargeTill::text(dialog, "Text5"), QStringLiteral("000") + Stranger);
        QVERIFY(RechargeTill::text(dialog, "Text4").isEmpty());
        till.t.messages.clear();
        RechargeTill::typeAndEnter(dialog, "Text7", QStringLiteral("10"));
        QCOMPARE(till.t.messages.texts(), QStringList({"没有读取到会员卡，无法充值！请放好会员卡后重新打开充值窗口。"}));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT count(*) FROM kelm WHERE 卡号='%1'").arg(Stranger)),
                 QStringLiteral("0"));
    }

    void aMemberWithoutValuesCanBeToppedUpButABalanceOfTextCannot()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"));
        till.t.database.addMember(B, QStringLiteral("李四"));
        till.t.database.exec(QStringLiteral("UPDATE kelm SET 余额=NULL, 联系电话=NULL, 身份证号=NULL, 联系地址=NULL "
                                            "WHERE 卡号='%1';"
                                            "UPDATE kelm SET 余额='十元' WHERE 卡号='%2'")
                                 .arg(A, B));
        till.openMemberScreen();

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
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 1);
    }

    void theCloseBoxGivesTheMemberScreenBackAndClosesTheReader()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"));
        Form1* members = till.openMemberScreen();
        QVERIFY(till.layNewCard(A));
        till.pressRecharge();
        QWidget* dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QVERIFY(till.module().readerHandle > 0);
        QVERIFY(!members->isEnabled());
        dialog->close();
        TestScreens::settle();
        QVERIFY(!till.rechargeDialog());
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerHandle, -1);

        // The next recharge reads the card again into a fresh dialog.
        till.t.database.exec(QStringLiteral("UPDATE kelm SET 余额=7"));
        till.pressRecharge();
        dialog = till.rechargeDialog();
        QVERIFY(dialog);
        QCOMPARE(RechargeTill::text(dialog, "Text4"), QStringLiteral("7"));
        QCOMPARE(RechargeTill::text(dialog, "Text7"), QString());
    }
};

QTEST_MAIN(RechargeDialogTest)
#include "RechargeDialogTest.moc"
