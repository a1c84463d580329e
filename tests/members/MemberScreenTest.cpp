// The member screen as a cashier drives it: the list and a click, the record commands and their save;
// checked in the boxes, the buttons, the list, the messages and the database. Its card commands are
// in CardScreensTest, its failures in DatabaseFaultsTest.
#include "Till.h"

#include "members/Form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTest>

using namespace kelm;

namespace {

const QString A = QStringLiteral("1000000000001");
const QString B = QStringLiteral("2000000000002");
const QString C = QStringLiteral("3000000000003");
const char* M = "Form1";

Form1* screen()
{
    return static_cast<Form1*>(Till::window(M));
}

QStringList cards()
{
    QStringList shown;
    for (int row = 0; row < Till::rows(M); ++row)
        shown << Till::cell(M, row, 3);
    return shown;
}

} // namespace

class MemberScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Till::settle(); }

    void theListShowsEveryMemberAndAClickFillsTheBoxes()
    {
        Till till;
        till.database.addMember(QStringLiteral("9000000000003"), QStringLiteral("王芳"), QStringLiteral("150.5"),
                                QStringLiteral("12"), QStringLiteral("8866"));
        till.database.addMember(A, QStringLiteral("  张'三  "));
        // A NULL shows empty instead of breaking the list.
        till.database.exec(QStringLiteral("INSERT INTO kelm (卡号, 姓名) VALUES ('4', NULL)"));
        Till::open("kelm");
        QCOMPARE(Till::texts(M, {"Text5", "Text1", "Text3", "Text4", "Text2", "Text6"}),
                 QStringList({"", "Vip", "", "462", "", ""}));
        QVERIFY(Till::box(M, "Text5")->isEnabled() && !Till::box(M, "Text1")->isEnabled());
        QCOMPARE(Till::box(M, "Text4")->displayText(), QStringLiteral("***"));
        QCOMPARE(Till::buttons(M), QStringLiteral("增加+ 修改- 删除- 保存- 发卡- 挂失- 初始化+ 充值+ 退出+"));
        QCOMPARE(Till::rows(M), 3);
        QCOMPARE(Till::row(M, 0), QStringList({"1", "2026-12-01", "王芳", "9000000000003", "ID9000000000003",
                                               "地址王芳", "13800000003", "150.5", "12"}));
        QCOMPARE(Till::row(M, 1).mid(0, 3), QStringList({"2", "2026-12-01", "  张'三  "}));
        QCOMPARE(Till::row(M, 2).mid(0, 4), QStringList({"3", "", "", "4"}));

        // A click copies five values from the list, never the password, and reads no database.
        till.database.exec(QStringLiteral("UPDATE kelm SET 姓名='改'"));
        Till::clickRow(M, 0);
        QCOMPARE(Till::texts(M, {"Text1", "Text5", "Text6", "Text2", "Text3", "Text4"}),
                 QStringList({"王芳", "9000000000003", "ID9000000000003", "地址王芳", "13800000003", "462"}));
        QCOMPARE(Till::buttons(M), QStringLiteral("增加+ 修改+ 删除+ 保存- 发卡+ 挂失+ 初始化+ 充值+ 退出+"));
        QCOMPARE(screen()->selectedRow(), 1);
    }

    // A long list shows its first rows at once and fills while the cashier works; a command waits
    // for the whole list. Rows beyond 32767 are clicked, found and changed like the first.
    void aLongListIsWorkedWhileItFillsAndFoundByKeyboard()
    {
        Till till;
        till.database.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
            "INSERT INTO kelm (日期, 卡号, 姓名, 联系地址, 联系电话, 密码, 身份证号) "
            "SELECT '2026-12-05', '2026' || substr(cast(1000000000 + i as text), 2), '会员' || i, '地址' || i, "
            "'电话' || i, '462', 'ID' || i FROM n"));
        const auto rename = [&](const QString& name) {
            Till::press(M, "修改");
            QCOMPARE(Till::rows(M), 100000);
            Till::type(M, "Text1", name);
            Till::press(M, "保存");
            QCOMPARE(till.said(), QStringList({"修改成功"}));
        };
        Till::open("kelm", false);
        QVERIFY(Till::rows(M) < 100000);
        Till::clickRow(M, 9);
        QCOMPARE(Till::text(M, "Text5"), QStringLiteral("2026000000010"));
        rename(QStringLiteral("改名十"));

        // A digit typed on the list opens the find line; 40000 lies beyond a 16-bit row number.
        auto* list = Till::window(M)->findChild<QWidget*>(QStringLiteral("ListView1"));
        list->setFocus();
        QTest::keyClick(list, '4');
        QVERIFY(Till::window(M)->findChild<QWidget*>(QStringLiteral("FindBar"))->isVisible());
        QTest::keyClicks(Till::box(M, "FindText"), QStringLiteral("0000"));
        // A server keeps no order without ORDER BY: the renamed member may now be listed last.
        const int found = screen()->selectedRow();
        QVERIFY(found > 32767);
        QCOMPARE(Till::texts(M, {"Text1", "Text5"}), QStringList({"会员40000", "2026000040000"}));
        QTest::keyClick(Till::box(M, "FindText"), Qt::Key_F3); // no other member holds it
        QCOMPARE(screen()->selectedRow(), found);
        QTest::keyClick(Till::box(M, "FindText"), 'x');
        QCOMPARE(Till::window(M)->findChild<QLabel*>(QStringLiteral("FindStatus"))->text(), QStringLiteral("没有找到“40000x”"));
        QTest::keyClick(Till::box(M, "FindText"), Qt::Key_Escape);
        QVERIFY(!Till::window(M)->findChild<QWidget*>(QStringLiteral("FindBar"))->isVisible());
        QVERIFY(till.said().isEmpty());
        rename(QStringLiteral("改名会员"));

        QCOMPARE(till.member("姓名||'|'||联系地址", QStringLiteral("2026000040000")), QStringLiteral("改名会员|地址40000"));
        QCOMPARE(till.member("姓名", QStringLiteral("2026000000010")), QStringLiteral("改名十"));
        QCOMPARE(till.database.scalar(QStringLiteral(
                     "SELECT count(*) FROM kelm WHERE 姓名 <> '会员' || cast(cast(substr(卡号, 5) as integer) as text)")).toInt(),
                 2);
        // Ctrl+F brings the line back; Enter goes from one member holding the text to the next.
        QTest::keyClick(Till::window(M), Qt::Key_F, Qt::ControlModifier);
        Till::type(M, "FindText", QStringLiteral("改名"));
        const QString first = Till::text(M, "Text5");
        QTest::keyClick(Till::box(M, "FindText"), Qt::Key_Return);
        QCOMPARE(QSet<QString>({first, Till::text(M, "Text5")}), QSet<QString>({"2026000000010", "2026000040000"}));
    }

    void addProposesAFreeCardNumberAndSavesTheTrimmedMember()
    {
        QCOMPARE(Form1::proposeCardNumber(QDateTime(QDate(2024, 7, 18), QTime(15, 30, 45))), QStringLiteral("2024718153045"));
        QCOMPARE(Form1::proposeCardNumber(QDateTime(QDate(2024, 7, 18), QTime(9, 5, 7))), QStringLiteral("202471890507"));
        Till till;
        // The numbers of this second and the next two are taken: 增加 proposes a later second's.
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = 0; second < 3; ++second)
            till.database.addMember(Form1::proposeCardNumber(now.addSecs(second)), QStringLiteral("已有"));
        Till::open("kelm");
        Till::press(M, "增加");
        QCOMPARE(till.member("count(*)", Till::text(M, "Text5")), QStringLiteral("0"));
        QCOMPARE(Till::texts(M, {"Text1", "Text3", "Text4", "Text2", "Text6"}), QStringList({"Vip", "", "462", "", ""}));
        QVERIFY(Till::box(M, "Text1")->isEnabled() && Till::box(M, "Text6")->isEnabled());
        QCOMPARE(Till::buttons(M), QStringLiteral("增加- 修改- 删除- 保存+ 发卡- 挂失- 初始化+ 充值+ 退出+"));

        // A taken number, typed with a blank after it, is refused and the add stays pending.
        const QString taken = Form1::proposeCardNumber(now);
        Till::type(M, "Text5", taken + u' ');
        Till::press(M, "保存");
        QCOMPARE(till.said(), QStringList({QStringLiteral("卡号“%1”已经有会员使用，不能重复添加！请换一个卡号后再保存。").arg(taken)}));
        QCOMPARE(screen()->entryMode(), Form1::Adding);

        Till::type(M, "Text5", QStringLiteral("  2026120512345 "));
        Till::type(M, "Text1", QStringLiteral("  张'三 "));
        Till::type(M, "Text2", QStringLiteral("北京市 \"东城区\"; DROP TABLE kelm"));
        Till::box(M, "Text3")->setText(QStringLiteral("\t13800138000")); // pasted: a tab cannot be typed
        Till::press(M, "保存");
        QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("会员添加成功"), AppCaption}}));
        // Blanks are trimmed, everything else is stored exactly; balance and points start at 0.
        QCOMPARE(till.member("日期||'|'||姓名||'|'||联系地址||'|'||联系电话||'|'||密码||'|'||余额||'|'||积分",
                             QStringLiteral("2026120512345")),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                     + QStringLiteral("|张'三|北京市 \"东城区\"; DROP TABLE kelm|\t13800138000|462|0|0"));
        QVERIFY(!Till::box(M, "Text1")->isEnabled());
        QVERIFY(Till::buttons(M).startsWith(QStringLiteral("增加+ 修改- 删除- 保存-")));
        QCOMPARE(screen()->entryMode(), Form1::Nothing);

        // Members without a card may be many.
        for (int i = 0; i < 2; ++i) {
            Till::press(M, "增加");
            Till::type(M, "Text5", QString());
            Till::press(M, "保存");
        }
        QCOMPARE(till.database.count(QStringLiteral("kelm")), 6);
    }

    // Every change leaves one audit row, with the till and the operator, never the password itself.
    void editKeepsThePasswordUnlessANewOneIsTypedAndEveryChangeIsAudited()
    {
        Till till;
        till.database.writeConfig(till.database.configLines() + QStringLiteral("收银机=前台1\n[dqcz]\n操作员=王五\n"));
        till.database.addMember(A, QStringLiteral("张三"), QStringLiteral("5"), QStringLiteral("9"), QStringLiteral("8866"));
        Till::open("kelm");
        Till::clickRow(M, 0);
        Till::press(M, "修改");
        QCOMPARE(Till::buttons(M), QStringLiteral("增加- 修改- 删除+ 保存+ 发卡+ 挂失+ 初始化+ 充值+ 退出+"));
        QCOMPARE(Till::text(M, "Text4"), QString());
        Till::type(M, "Text1", QStringLiteral("张三丰"));
        Till::press(M, "保存");
        QCOMPARE(till.said(), QStringList({"修改成功"}));
        QCOMPARE(till.member("姓名||'|'||密码||'|'||余额", A), QStringLiteral("张三丰|8866|5"));
        QCOMPARE(Till::cell(M, 0, 2), QStringLiteral("张三丰"));

        Till::clickRow(M, 0);
        Till::press(M, "修改");
        Till::type(M, "Text4", QStringLiteral("1357"));
        Till::press(M, "保存");
        QCOMPARE(till.member("密码", A), QStringLiteral("1357"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 收银机||'|'||操作员||'|'||卡号||'|'||操作||'|'||原值||'|'||新值 "
                                                     "FROM kelm_audit WHERE id=1")),
                 QStringLiteral("前台1|王五|%1|会员修改|姓名 张三；地址 地址张三；电话 13800000001；身份证号 ID%1|"
                                "姓名 张三丰；地址 地址张三；电话 13800000001；身份证号 ID%1")
                     .arg(A));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 说明 FROM kelm_audit WHERE id=2")), QStringLiteral("密码已改"));
        const QDateTime when = QDateTime::fromString(till.database.scalar(QStringLiteral("SELECT 时间 FROM kelm_audit WHERE id=2")),
                                                     QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT count(*) FROM kelm_audit WHERE 原值 LIKE '%8866%' OR "
                                                     "新值 LIKE '%1357%'")),
                 QStringLiteral("0"));
    }

    // The shop may owe nothing to a member it deletes: balance and points both used up.
    void deleteIsAllowedOnlyWhenBalanceAndPointsAreUsedUp()
    {
        Till till;
        till.database.addMember(A, QStringLiteral("都用完"), QStringLiteral("0"), QStringLiteral("0"));
        till.database.addMember(B, QStringLiteral("零积分"), QStringLiteral("12.3"), QStringLiteral("0"));
        till.database.addMember(C, QStringLiteral("零余额"), QStringLiteral("0"), QStringLiteral("5"));
        Till::open("kelm");
        // Edit, delete and report lost do nothing while no row is selected.
        for (const char* key : {"修改", "删除", "挂失"}) {
            screen()->command(QString::fromUtf8(key))->setEnabled(true);
            Till::press(M, key);
        }
        QCOMPARE(screen()->entryMode(), Form1::Nothing);
        QCOMPARE(till.said(), QStringList());
        // Nor does a delete of a card number no member has, once it is confirmed.
        Till::clickRow(M, 0);
        Till::box(M, "Text5")->setText(QStringLiteral("nobody"));
        Till::press(M, "删除");
        QCOMPARE(till.said(), QStringList({"你真的确定删除选定的会员吗？"}));
        QCOMPARE(screen()->entryMode(), Form1::Nothing);

        for (const int row : {1, 2}) {
            Till::clickRow(M, row);
            Till::press(M, "删除");
            QCOMPARE(till.said(), QStringList({"你真的确定删除选定的会员吗？", "该卡不能删除，只能挂失!"}));
            QCOMPARE(screen()->entryMode(), Form1::Nothing);
        }
        Till::clickRow(M, 0);
        till.messages.answerNext(false);
        Till::press(M, "删除");
        QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("你真的确定删除选定的会员吗？"), AppCaption,
                                                            Message::Icon::None, Message::Buttons::YesNo}}));
        QCOMPARE(Till::rows(M), 3);
        Till::press(M, "删除");
        QCOMPARE(cards(), QStringList({B, C}));
        QCOMPARE(Till::buttons(M), QStringLiteral("增加- 修改- 删除- 保存+ 发卡+ 挂失+ 初始化+ 充值+ 退出+"));
        QCOMPARE(till.database.count(QStringLiteral("kelm")), 3); // nothing leaves the table before save
        till.said();
        Till::press(M, "保存");
        QCOMPARE(till.said(), QStringList({"删除成功"}));
        QCOMPARE(till.database.count(QStringLiteral("kelm")), 2);
        QCOMPARE(Till::row(M, 0).mid(0, 4), QStringList({"1", "2026-12-01", "零积分", B}));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 操作||'|'||原值 FROM kelm_audit")),
                 QStringLiteral("会员删除|姓名 都用完；地址 地址都用完；电话 13800000001；身份证号 ID%1；余额 0；积分 0").arg(A));
    }

    // The lost card keeps the member's own password, which the screen never showed; a click below a
    // row taken out reads the clicked member; a staged change another command replaces comes back.
    void reportLostCopiesTheMemberToGsAndAnotherCommandPutsAStagedRowBack()
    {
        Till till;
        till.database.addMember(A, QStringLiteral("张三"), QStringLiteral("88"), QStringLiteral("7"), QStringLiteral("8866"));
        till.database.addMember(B, QStringLiteral("李四"), QStringLiteral("0"), QStringLiteral("0"));
        till.database.addMember(C, QStringLiteral("王五"));
        Till::open("kelm");
        Till::clickRow(M, 1);
        Till::press(M, "删除");
        QCOMPARE(cards(), QStringList({A, C}));
        QCOMPARE(Till::cell(M, 1, 0), QStringLiteral("3"));
        Till::clickRow(M, 0);
        QCOMPARE(Till::text(M, "Text1"), QStringLiteral("张三"));
        Till::press(M, "挂失");
        QCOMPARE(cards(), QStringList({B, C}));
        QCOMPARE(Till::buttons(M), QStringLiteral("增加- 修改- 删除- 保存+ 发卡+ 挂失- 初始化+ 充值+ 退出+"));
        till.said();
        Till::press(M, "保存");
        QCOMPARE(till.said(), QStringList({"会员卡挂失成功，可重新补发会员卡！"}));
        QCOMPARE(till.database.scalar(QStringLiteral(
                     "SELECT 日期||'|'||卡号||'|'||姓名||'|'||联系地址||'|'||联系电话||'|'||密码||'|'||身份证号 FROM gs")),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                     + QStringLiteral("|%1|张三|地址张三|13800000001|8866|ID%1").arg(A));
        QCOMPARE(cards(), QStringList({B, C}));
        QCOMPARE(till.database.count(QStringLiteral("kelm")), 2);

        // Save with nothing pending only reloads.
        till.database.addMember(A, QStringLiteral("张三"));
        screen()->command(QStringLiteral("保存"))->setEnabled(true);
        Till::press(M, "保存");
        QCOMPARE(till.said(), QStringList());
        QCOMPARE(cards(), QStringList({B, C, A}));
        QCOMPARE(screen()->selectedRow(), 0);
    }

    void aDatabaseWithoutTheAuditStillWorksAndTheCashierIsToldOnce()
    {
        Till till;
        till.database.exec(QStringLiteral("DROP TABLE kelm_audit; DROP TABLE kelm_pin"));
        till.database.addMember(A, QStringLiteral("张三"));
        Till::open("kelm");
        const QString told = QStringLiteral("这个数据库没有审计表 kelm_audit：余额、积分、会员和礼品的改动不会留下记录。"
                                            "请管理员运行 kelm-admin upgrade。");
        QCOMPARE(till.said(), QStringList({told}));
        Till::clickRow(M, 0);
        Till::press(M, "修改");
        Till::type(M, "Text1", QStringLiteral("张三丰"));
        Till::press(M, "保存");
        Till::open("jfgl");
        QCOMPARE(till.said(), QStringList({"修改成功"}));
        QCOMPARE(till.member("姓名", A), QStringLiteral("张三丰"));
    }
};

QTEST_MAIN(MemberScreenTest)
#include "MemberScreenTest.moc"
