// The member screen's record commands, driven as a cashier drives them, checked in the list,
// the boxes, the buttons, the messages and the database.
#include "TestScreens.h"

#include "members/Form1.h"

#include <kelm/Class1.h>

#include <QRegularExpression>
#include <QTableView>
#include <QTest>

using namespace kelm;

namespace {

// The member screen of one test, with the cashier's gestures.
struct MemberScreen
{
    TestScreens& t;
    Form1* screen;

    explicit MemberScreen(TestScreens& fixture)
        : t(fixture)
    {
        Class1().kelm(true);
        screen = static_cast<Form1*>(TestScreens::visibleWindow(QStringLiteral("Form1")));
    }
    ~MemberScreen()
    {
        if (TestScreens::visibleWindow(QStringLiteral("Form1")))
            screen->close();
    }

    QTableView* list() const { return screen->findChild<QTableView*>(QStringLiteral("ListView1")); }
    QLineEdit* box(const char* name) const { return TestScreens::box(screen, QString::fromLatin1(name)); }
    void press(const char* key) const { TestScreens::button(screen, QString::fromUtf8(key))->trigger(); }
    QString buttons() const { return TestScreens::buttons(screen); }
    int rows() const { return list()->model()->rowCount(); }
    QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
    // Clicks the list row that shows this card number.
    void clickCard(const QString& card) const
    {
        for (int row = 0; row < rows(); ++row) {
            if (cell(row, 3) == card)
                return TestScreens::clickRow(screen, row, 2);
        }
        QFAIL(qPrintable(QStringLiteral("no row shows card ") + card));
    }
    QStringList cards() const
    {
        QStringList result;
        for (int row = 0; row < rows(); ++row)
            result << cell(row, 3);
        return result;
    }
    void type(const char* name, const QString& text) const
    {
        box(name)->clear();
        TestScreens::type(box(name), text);
    }
};

const QString A = QStringLiteral("1000000000001");
const QString B = QStringLiteral("2000000000002");
const QString C = QStringLiteral("3000000000003");

} // namespace

class MemberCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestScreens::settle(); }

    void addProposesACardNumberAndSavesANewMemberWithBalanceAndPointsZero()
    {
        TestScreens t;
        MemberScreen s(t);
        const QDateTime before = QDateTime::currentDateTime();
        s.press("增加");
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY(QStringList({Form1::proposeCardNumber(before), Form1::proposeCardNumber(after)}).contains(s.box("Text5")->text()));
        QCOMPARE(s.box("Text1")->text(), QStringLiteral("Vip"));
        QCOMPARE(s.box("Text4")->text(), QStringLiteral("462"));
        for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text6"})
            QVERIFY2(s.box(name)->isEnabled(), name);
        QCOMPARE(s.buttons(), QStringLiteral("增加- 修改- 删除- 保存+ 发卡- 挂失- 初始化+ 充值+ 退出+"));
        QCOMPARE(s.screen->entryMode(), Form1::Adding);

        s.type("Text5", QStringLiteral("  2026120512345 "));
        s.type("Text1", QStringLiteral("  张'三 "));
        s.type("Text2", QStringLiteral("北京市 \"东城区\"; DROP TABLE kelm"));
        s.box("Text3")->setText(QStringLiteral("\t13800138000")); // pasted: a tab cannot be typed
        s.type("Text6", QStringLiteral("110101199001011234"));
        s.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({"会员添加成功"}));
        QCOMPARE(t.messages.messages()[0].caption, AppCaption);
        QCOMPARE(t.messages.messages()[0].icon, Message::Icon::Information);

        // Blanks are trimmed, everything else is stored exactly.
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 日期||'|'||姓名||'|'||联系地址||'|'||联系电话||'|'||密码 FROM kelm "
                                                  "WHERE 卡号='2026120512345'")),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                     + QStringLiteral("|张'三|北京市 \"东城区\"; DROP TABLE kelm|\t13800138000|462"));
        QCOMPARE(s.rows(), 1);
        QCOMPARE(s.cell(0, 7), QStringLiteral("0"));
        QCOMPARE(s.cell(0, 8), QStringLiteral("0"));
        for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text6"})
            QVERIFY2(!s.box(name)->isEnabled(), name);
        QVERIFY(s.buttons().startsWith(QStringLiteral("增加+ 修改- 删除- 保存-")));
        QCOMPARE(s.screen->entryMode(), Form1::Nothing);
        QCOMPARE(s.screen->selectedRow(), 0);
    }

    // Every change leaves one audit row, with the till and operator, never the password itself.
    void editKeepsThePasswordUnlessANewOneIsTypedAndEveryChangeIsAudited()
    {
        TestScreens t;
        t.database.writeConfig(t.database.configLines() + QStringLiteral("收银机=前台1\n[dqcz]\n操作员=王五\n"));
        t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("5"), QStringLiteral("9"), QStringLiteral("8866"));
        MemberScreen s(t);
        s.clickCard(A);
        s.press("修改");
        QCOMPARE(s.buttons(), QStringLiteral("增加- 修改- 删除+ 保存+ 发卡+ 挂失+ 初始化+ 充值+ 退出+"));
        QCOMPARE(s.box("Text4")->text(), QString());
        QCOMPARE(s.box("Text4")->placeholderText(), QStringLiteral("不改请留空"));
        s.type("Text1", QStringLiteral("张三丰"));
        s.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({"修改成功"}));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 姓名||'|'||密码 FROM kelm")), QStringLiteral("张三丰|8866"));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 余额 FROM kelm")), QStringLiteral("5"));
        QCOMPARE(s.cell(0, 2), QStringLiteral("张三丰"));

        s.clickCard(A);
        s.press("修改");
        s.type("Text4", QStringLiteral("1357"));
        s.press("保存");
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 密码 FROM kelm")), QStringLiteral("1357"));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 收银机||'|'||操作员||'|'||卡号||'|'||操作||'|'||原值||'|'||新值 "
                                                  "FROM kelm_audit WHERE id=1")),
                 QStringLiteral("前台1|王五|%1|会员修改|姓名 张三；地址 地址张三；电话 13800000001；身份证号 ID%1|"
                                "姓名 张三丰；地址 地址张三；电话 13800000001；身份证号 ID%1")
                     .arg(A));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 说明 FROM kelm_audit WHERE id=2")), QStringLiteral("密码已改"));
        const QDateTime when = QDateTime::fromString(t.database.scalar(QStringLiteral("SELECT 时间 FROM kelm_audit WHERE id=2")),
                                                     QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT count(*) FROM kelm_audit WHERE 原值 LIKE '%8866%' OR 新值 LIKE "
                                                  "'%1357%'")),
                 QStringLiteral("0"));
    }

    void aDatabaseWithoutTheAuditStillWorksAndTheCashierIsToldOnce()
    {
        TestScreens t;
        t.database.exec(QStringLiteral("DROP TABLE kelm_audit; DROP TABLE kelm_pin"));
        t.database.addMember(A, QStringLiteral("张三"));
        const QString told = QStringLiteral("这个数据库没有审计表 kelm_audit：余额、积分、会员和礼品的改动不会留下记录。"
                                            "请管理员运行 kelm-admin upgrade。");
        {
            MemberScreen s(t);
            QCOMPARE(t.messages.texts(), QStringList({told}));
            s.clickCard(A);
            s.press("修改");
            s.type("Text1", QStringLiteral("张三丰"));
            s.press("保存");
            QCOMPARE(t.messages.texts(), QStringList({told, "修改成功"}));
        }
        TestScreens::settle();
        Class1().jfgl(true);
        QCOMPARE(t.messages.texts().size(), 2);
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 姓名 FROM kelm")), QStringLiteral("张三丰"));
    }

    void rowCommandsDoNothingWithoutASelectedRow()
    {
        TestScreens t;
        t.database.addMember(A, QStringLiteral("张三"));
        MemberScreen s(t);
        for (const char* key : {"修改", "删除", "挂失"}) {
            QAction* action = TestScreens::button(s.screen, QString::fromUtf8(key));
            action->setEnabled(true);
            action->trigger();
        }
        QVERIFY(t.messages.messages().isEmpty());
        QCOMPARE(s.screen->entryMode(), Form1::Nothing);
        QVERIFY(!s.box("Text1")->isEnabled());
        QCOMPARE(s.rows(), 1);
    }

    // The shop may owe nothing to a member it deletes: balance and points both used up.
    void deleteIsAllowedOnlyWhenBalanceAndPointsAreUsedUp()
    {
        TestScreens t;
        t.database.addMember(A, QStringLiteral("都用完"), QStringLiteral("0"), QStringLiteral("0"));
        t.database.addMember(B, QStringLiteral("零积分"), QStringLiteral("12.3"), QStringLiteral("0"));
        t.database.addMember(C, QStringLiteral("零余额"), QStringLiteral("0"), QStringLiteral("5"));
        MemberScreen s(t);

        for (const QString& card : {B, C}) {
            t.messages.clear();
            s.clickCard(card);
            s.press("删除");
            QCOMPARE(t.messages.texts(), QStringList({"你真的确定删除选定的会员吗？", "该卡不能删除，只能挂失!"}));
            QCOMPARE(s.rows(), 3);
            QCOMPARE(s.screen->entryMode(), Form1::Nothing);
        }
        QCOMPARE(t.messages.messages()[0].icon, Message::Icon::None);
        QCOMPARE(t.messages.messages()[0].buttons, Message::Buttons::YesNo);

        t.messages.clear();
        s.clickCard(A);
        t.messages.answerNext(false);
        s.press("删除");
        QCOMPARE(t.messages.texts(), QStringList({"你真的确定删除选定的会员吗？"}));
        QCOMPARE(s.rows(), 3);

        s.press("删除");
        QCOMPARE(s.cards(), QStringList({B, C}));
        QCOMPARE(s.screen->entryMode(), Form1::Deleting);
        QCOMPARE(s.buttons(), QStringLiteral("增加- 修改- 删除- 保存+ 发卡+ 挂失+ 初始化+ 充值+ 退出+"));
        QCOMPARE(t.database.count(QStringLiteral("kelm")), 3); // nothing leaves the table before save
        t.messages.clear();
        s.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({"删除成功"}));
        QCOMPARE(t.database.count(QStringLiteral("kelm")), 2);
        QCOMPARE(s.cards(), QStringList({B, C}));
        QCOMPARE(s.cell(0, 0), QStringLiteral("1"));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 操作||'|'||原值 FROM kelm_audit")),
                 QStringLiteral("会员删除|姓名 都用完；地址 地址都用完；电话 13800000001；身份证号 ID%1；余额 0；积分 0").arg(A));
    }

    // The lost card keeps the member's own password, which the screen never showed.
    void reportLostCopiesTheShownValuesToGsAndRemovesTheMember()
    {
        TestScreens t;
        t.database.addMember(A, QStringLiteral("张三"), QStringLiteral("88"), QStringLiteral("7"), QStringLiteral("8866"));
        t.database.addMember(B, QStringLiteral("李四"));
        MemberScreen s(t);
        s.clickCard(A);
        s.press("挂失");
        QCOMPARE(t.messages.texts(), QStringList({"你真的确定挂失选定的会员吗？"}));
        QCOMPARE(s.cards(), QStringList({B}));
        QCOMPARE(s.buttons(), QStringLiteral("增加- 修改- 删除- 保存+ 发卡+ 挂失- 初始化+ 充值+ 退出+"));
        t.messages.clear();
        s.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({"会员卡挂失成功，可重新补发会员卡！"}));
        QCOMPARE(t.database.scalar(QStringLiteral(
                     "SELECT 日期||'|'||卡号||'|'||姓名||'|'||联系地址||'|'||联系电话||'|'||密码||'|'||身份证号 FROM gs")),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                     + QStringLiteral("|1000000000001|张三|地址张三|13800000001|8866|ID1000000000001"));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT count(*) FROM kelm WHERE 卡号='1000000000001'")), QStringLiteral("0"));
        QCOMPARE(s.cards(), QStringList({B}));
    }

    void aClickBelowARemovedRowActsOnTheClickedMember()
    {
        TestScreens t;
        t.database.addMember(A, QStringLiteral("张三"));
        t.database.addMember(B, QStringLiteral("李四"));
        t.database.addMember(C, QStringLiteral("王五"));
        MemberScreen s(t);
        s.clickCard(A);
        s.press("删除");
        QCOMPARE(s.cards(), QStringList({B, C}));
        // The rows keep their running numbers until the next save.
        QCOMPARE(s.cell(0, 0), QStringLiteral("2"));
        s.clickCard(C);
        QCOMPARE(s.box("Text1")->text(), QStringLiteral("王五"));
        QCOMPARE(s.screen->selectedRow(), 3);
        // Reporting C lost replaces the pending delete of A: A's row comes back, C's goes.
        s.press("挂失");
        QCOMPARE(s.cards(), QStringList({A, B}));
        s.press("保存");
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 卡号 FROM gs")), C);
        QCOMPARE(s.cards(), QStringList({A, B}));
    }

    void saveWithNothingPendingOnlyReloads()
    {
        TestScreens t;
        t.database.addMember(A, QStringLiteral("张三"));
        MemberScreen s(t);
        t.database.addMember(B, QStringLiteral("李四"));
        s.clickCard(A);
        TestScreens::button(s.screen, QStringLiteral("保存"))->setEnabled(true);
        s.press("保存");
        QVERIFY(t.messages.messages().isEmpty());
        QCOMPARE(s.cards(), QStringList({A, B}));
        QCOMPARE(s.screen->selectedRow(), 0);
        QVERIFY(!TestScreens::button(s.screen, QStringLiteral("保存"))->isEnabled());
    }

    void aFailureEndsTheCommandSilentlyWhereItHappened()
    {
        TestScreens t;
        t.database.addMember(A, QStringLiteral("张三"));
        MemberScreen s(t);
        // Delete of a card number no member has: the lookup finds nothing and the command ends.
        s.clickCard(A);
        s.box("Text5")->setText(QStringLiteral("nobody"));
        s.press("删除");
        QCOMPARE(t.messages.texts(), QStringList({"你真的确定删除选定的会员吗？"}));
        QCOMPARE(s.screen->entryMode(), Form1::Nothing);
        QCOMPARE(s.rows(), 1);

        // Report lost whose copy into gs fails: the member is not deleted, nothing is shown,
        // and the pending change stays for another try.
        t.messages.clear();
        s.clickCard(A);
        s.press("挂失");
        t.database.exec(QStringLiteral("DROP TABLE gs"));
        s.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({"你真的确定挂失选定的会员吗？"}));
        QCOMPARE(t.database.count(QStringLiteral("kelm")), 1);
        QCOMPARE(s.screen->entryMode(), Form1::ReportingLost);
        QVERIFY(TestScreens::button(s.screen, QStringLiteral("保存"))->isEnabled());

        // The screen goes on working once the table is back.
        t.database.exec(QStringLiteral("CREATE TABLE gs (日期 TEXT, 卡号 TEXT, 姓名 TEXT, 联系地址 TEXT, 联系电话 TEXT, 密码 TEXT, 身份证号 TEXT)"));
        s.press("保存");
        QCOMPARE(t.database.count(QStringLiteral("kelm")), 0);
        QCOMPARE(t.database.count(QStringLiteral("gs")), 1);
    }

    void aCardNumberBelongsToOneMemberAndTheTimeMayMakeItShort()
    {
        const QDateTime morning(QDate(2024, 7, 18), QTime(9, 5, 7));
        QCOMPARE(Form1::proposeCardNumber(QDateTime(QDate(2024, 7, 18), QTime(15, 30, 45))), QStringLiteral("2024718153045"));
        QCOMPARE(Form1::proposeCardNumber(morning), QStringLiteral("202471890507"));

        // The numbers of this second and the next are taken: 增加 proposes a later second's.
        TestScreens t;
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = 0; second < 3; ++second)
            t.database.addMember(Form1::proposeCardNumber(now.addSecs(second)), QStringLiteral("已有"));
        MemberScreen s(t);
        s.press("增加");
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT count(*) FROM kelm WHERE 卡号='%1'").arg(s.box("Text5")->text())),
                 QStringLiteral("0"));

        // A taken number typed by hand, with a blank after it, is refused; the add stays pending.
        const QString taken = Form1::proposeCardNumber(now);
        s.type("Text5", taken + u' ');
        s.press("保存");
        QCOMPARE(t.messages.texts(),
                 QStringList({QStringLiteral("卡号“%1”已经有会员使用，不能重复添加！请换一个卡号后再保存。").arg(taken)}));
        QCOMPARE(t.database.count(QStringLiteral("kelm")), 3);
        QCOMPARE(s.screen->entryMode(), Form1::Adding);

        // Members without a card may be many.
        for (int i = 0; i < 2; ++i) {
            s.press("增加");
            s.type("Text5", QString());
            s.press("保存");
        }
        QCOMPARE(t.database.count(QStringLiteral("kelm")), 5);
    }
};

QTEST_MAIN(MemberCommandsTest)
#include "MemberCommandsTest.moc"
