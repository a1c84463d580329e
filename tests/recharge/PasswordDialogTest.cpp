// The password dialog on both of its roads: from the member screen's 充值 on to the recharge
// dialog, and from the points screen to its member boxes.
#include "RechargeTill.h"

#include "entry/ScreenRegistry.h"

using namespace kelm;

namespace {

const QString A = QStringLiteral("1000000000001");
const QString Stranger = QStringLiteral("9000000000009");

} // namespace

class PasswordDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestScreens::settle(); }

    void anotherPasswordAsksForItExactlyBeforeTheRecharge()
    {
        RechargeTill till;
        QWidget* dialog = till.recharge(A, QStringLiteral("100"), QStringLiteral("Ab 1"));
        QVERIFY(dialog);
        QWidget* members = till.memberScreen();
        QVERIFY(!till.rechargeDialog());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("密码验证"));
        QVERIFY(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("请输入密码："));
        QVERIFY(!dialog->findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        QLineEdit* password = TestScreens::box(dialog, QStringLiteral("Text1"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(password->displayText(), QString());
        QVERIFY(RechargeTill::command(dialog, "Command1")->isDefault());
        QCOMPARE(RechargeTill::command(dialog, "Command2")->text(), QStringLiteral("取消"));
        QVERIFY(members->isEnabled());

        // Letter case and blanks count; an empty box is wrong too.
        for (const QString& wrong : {QStringLiteral("ab 1"), QStringLiteral("Ab 1 "), QStringLiteral(" Ab 1"), QString()}) {
            till.t.messages.clear();
            RechargeTill::typeAndEnter(dialog, "Text1", wrong);
            QCOMPARE(till.t.messages.texts(), QStringList({"密码错误，请重新输入！"}));
            QCOMPARE(till.t.messages.messages()[0].caption, AppCaption);
            QCOMPARE(till.passwordDialog(), dialog);
            QCOMPARE(password->text(), wrong);
            QCOMPARE(password->displayText(), QString(wrong.size(), QChar(u'*')));
            QVERIFY(!till.rechargeDialog());
        }

        till.t.messages.clear();
        RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("Ab 1"));
        TestScreens::settle();
        QVERIFY(till.t.messages.messages().isEmpty());
        QVERIFY(!till.passwordDialog());
        QVERIFY(!TestScreens::window(QStringLiteral("Form3")));
        QWidget* recharge = till.rechargeDialog();
        QVERIFY(recharge);
        QCOMPARE(RechargeTill::text(recharge, "Text5"), QStringLiteral("000") + A);
        QCOMPARE(RechargeTill::text(recharge, "Text4"), QStringLiteral("100"));
        // The password dialog closed the reader as it went, and gave the member screen back only
        // for the recharge dialog to hold it again.
        QCOMPARE(till.module().readerPort().handle(), -1);
        QVERIFY(!members->isEnabled());

        RechargeTill::typeAndEnter(recharge, "Text7", QStringLiteral("20"));
        QCOMPARE(till.t.messages.texts(), QStringList({"充值成功！"}));
        QCOMPARE(till.balanceOf(A), QStringLiteral("120"));
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 1);
        RechargeTill::click(recharge, "Command2");
        TestScreens::settle();
        QVERIFY(members->isEnabled());
        QCOMPARE(till.module().readerPort().handle(), -1);
    }

    void cancelHidesTheDialogEmptiedAndTheCloseBoxUnloadsIt()
    {
        RechargeTill till;
        QWidget* dialog = till.recharge(A, QStringLiteral("100"), QStringLiteral("8866"));
        QVERIFY(dialog);
        QWidget* members = till.memberScreen();
        TestScreens::type(TestScreens::box(dialog, QStringLiteral("Text1")), QStringLiteral("88"));
        RechargeTill::click(dialog, "Command2");
        TestScreens::settle();
        QVERIFY(!till.passwordDialog());
        QCOMPARE(TestScreens::window(QStringLiteral("Form3")), dialog);
        QVERIFY(till.module().readerPort().handle() > 0);
        QVERIFY(members->isEnabled());

        // Nothing typed stays in a hidden dialog.
        till.pressRecharge();
        QCOMPARE(till.passwordDialog(), dialog);
        QLineEdit* password = TestScreens::box(dialog, QStringLiteral("Text1"));
        QCOMPARE(password->text(), QString());
        TestScreens::type(password, QStringLiteral("8866"));
        RechargeTill::click(dialog, "Command1");
        TestScreens::settle();
        QVERIFY(till.rechargeDialog());
        RechargeTill::click(till.rechargeDialog(), "Command2");
        TestScreens::settle();

        // The close box unloads it: the reader is closed and the next one starts empty.
        till.pressRecharge();
        dialog = till.passwordDialog();
        QVERIFY(dialog);
        TestScreens::type(TestScreens::box(dialog, QStringLiteral("Text1")), QStringLiteral("88"));
        QVERIFY(till.module().readerPort().handle() > 0);
        dialog->close();
        TestScreens::settle();
        QVERIFY(!TestScreens::window(QStringLiteral("Form3")));
        QCOMPARE(till.module().readerPort().handle(), -1);
        QVERIFY(members->isEnabled());
        till.pressRecharge();
        QVERIFY(till.passwordDialog());
        QCOMPARE(RechargeTill::text(till.passwordDialog(), "Text1"), QString());
    }

    // Five wrong passwords lock the card on every till for five minutes; the right one, once the lock
    // is over, starts the count again.
    void wrongPasswordsLockTheCardForAWhile()
    {
        RechargeTill till;
        QWidget* dialog = till.recharge(A, QStringLiteral("100"), QStringLiteral("8866"));
        QVERIFY(dialog);
        for (int i = 1; i <= 5; ++i)
            RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("%1").arg(i));
        const QString until = QDateTime::currentDateTime().addSecs(300).toString(QStringLiteral("HH:mm"));
        QCOMPARE(till.t.messages.texts().mid(0, 4), QStringList(4, QStringLiteral("密码错误，请重新输入！")));
        QVERIFY2(till.t.messages.texts()[4].startsWith(QStringLiteral("密码连续输错 5 次，此卡已锁定到 ") + until),
                 qPrintable(till.t.messages.texts()[4]));
        till.t.messages.clear();
        RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("8866"));
        QVERIFY(till.t.messages.texts().value(0).startsWith(QStringLiteral("密码输错次数太多，此卡已锁定到 ")));
        QVERIFY(!till.rechargeDialog());
        QCOMPARE(till.t.database.scalar(QStringLiteral("SELECT 错误次数 FROM kelm_pin")), QStringLiteral("5"));

        // The lock is over (as another till would find it five minutes on).
        till.t.database.exec(QStringLiteral("UPDATE kelm_pin SET 锁定至 = '2000-01-01 00:00:00'"));
        RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("8866"));
        TestScreens::settle();
        QVERIFY(till.rechargeDialog());
        QCOMPARE(till.t.database.count(QStringLiteral("kelm_pin")), 0);
    }

    void aCardThatCannotBeReadOrIsNoMembersIsReportedNotCompared()
    {
        RechargeTill till;
        QWidget* dialog = till.recharge(A, QStringLiteral("100"), QStringLiteral("8866"));
        QVERIFY(dialog);

        QVERIFY(till.folder.remove());
        RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("8866"));
        QCOMPARE(till.t.messages.texts(), QStringList({"你可能没有正确放置会员卡，读取会员卡失败！"}));
        QVERIFY(!till.rechargeDialog());
        QCOMPARE(till.passwordDialog(), dialog);

        QVERIFY(till.layNewCard(Stranger));
        till.t.messages.clear();
        RechargeTill::click(dialog, "Command1");
        QCOMPARE(till.t.messages.texts(), QStringList({"此卡不是本店会员卡！"}));
        QVERIFY(!till.rechargeDialog());
        QCOMPARE(till.passwordDialog(), dialog);

        // The points screen loaded meanwhile: nothing waits for the password, and the right one does
        // nothing at all.
        QVERIFY(till.layNewCard(A));
        Class1().jfgl(true);
        till.t.messages.clear();
        RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("8866"));
        TestScreens::settle();
        QVERIFY(till.t.messages.messages().isEmpty());
        QCOMPARE(till.passwordDialog(), dialog);
        QVERIFY(!till.rechargeDialog());
        QVERIFY(till.memberScreen()->isEnabled());
        QCOMPARE(till.t.database.count(QStringLiteral("qzjl")), 0);
    }

    void aMemberWithoutAPasswordIsAskedForAnEmptyOne()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"), QStringLiteral("0"), QString());
        till.openMemberScreen();
        QVERIFY(till.layNewCard(A));

        // An empty password is not the default one: the dialog asks, and only an empty box passes.
        for (const char* stored : {"''", "NULL"}) {
            till.t.database.exec(QStringLiteral("UPDATE kelm SET 密码=%1").arg(QString::fromLatin1(stored)));
            till.t.messages.clear();
            till.pressRecharge();
            QWidget* dialog = till.passwordDialog();
            QVERIFY2(dialog, stored);
            RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("462"));
            QCOMPARE(till.t.messages.texts(), QStringList({"密码错误，请重新输入！"}));
            RechargeTill::typeAndEnter(dialog, "Text1", QString());
            TestScreens::settle();
            QVERIFY2(till.rechargeDialog(), stored);
            QVERIFY(!till.passwordDialog());
            RechargeTill::click(till.rechargeDialog(), "Command2");
            TestScreens::settle();
        }
    }

    void theCorrectPasswordForThePointsScreensReadFillsItsBoxesAndHides()
    {
        RechargeTill till;
        till.t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("100"), QStringLiteral("37.5"),
                                  QStringLiteral("8866"));
        Class1().jfgl(true);
        QWidget* points = TestScreens::visibleWindow(QStringLiteral("Form4"));
        QVERIFY(points);
        QVERIFY(till.layNewCard(A));
        TestScreens::button(points, QStringLiteral("读卡"))->trigger();
        QWidget* dialog = till.passwordDialog();
        QVERIFY(dialog);
        // The boxes wait for the dialog.
        QCOMPARE(TestScreens::texts(points, {"Text5", "Text4"}), QStringList({"", ""}));
        QCOMPARE(till.beepsSinceLay(), 0);

        RechargeTill::typeAndEnter(dialog, "Text1", QStringLiteral("8866"));
        QVERIFY(till.t.messages.messages().isEmpty());
        QCOMPARE(TestScreens::texts(points, {"Text5", "Text3", "Text6", "Text2", "Text4", "Text1"}),
                 QStringList({"000" + A, "13800000001", "ID" + A, "地址张三", "37.5", "Vip"}));
        QCOMPARE(till.beepsSinceLay(), 1);
        QVERIFY(!till.passwordDialog());
        QCOMPARE(TestScreens::window(QStringLiteral("Form3")), dialog);
        QVERIFY(!till.rechargeDialog());

        // Closing it does not bring up a member screen that was never there.
        dialog->close();
        TestScreens::settle();
        QVERIFY(!TestScreens::window(QStringLiteral("Form1")));
        QCOMPARE(till.module().readerPort().handle(), -1);
    }
};

QTEST_MAIN(PasswordDialogTest)
#include "PasswordDialogTest.moc"
