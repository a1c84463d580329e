// The gift catalogue, reached from the points screen as a cashier reaches it, checked in the boxes,
// the buttons, the list, the messages and the gift table.
#include "Till.h"

#include "points/Form5.h"

#include <QLineEdit>
#include <QTest>

using namespace kelm;

namespace {

const char* G = "Form5";
const QString Repeated = QStringLiteral("名称不能重复，请重新输入");

Form5* catalogue()
{
    return static_cast<Form5*>(Till::window(G));
}

// Gifts as "name:quantity:points", stored before the catalogue opens from the points screen.
void open(Till& till, const QStringList& gifts)
{
    for (const QString& gift : gifts)
        till.database.addGift(gift.section(u':', 0, 0), gift.section(u':', 1, 1), gift.section(u':', 2, 2));
    Till::open("jfgl");
    Till::press("Form4", "礼品管理");
}

QStringList boxes()
{
    return Till::texts(G, {"Text1", "Text2", "Text3"});
}

bool boxesEnabled()
{
    return Till::box(G, "Text1")->isEnabled() && Till::box(G, "Text2")->isEnabled() && Till::box(G, "Text3")->isEnabled();
}

void save(const QString& name, const QString& quantity, const QString& points)
{
    Till::type(G, "Text1", name);
    Till::type(G, "Text2", quantity);
    Till::type(G, "Text3", points);
    Till::press(G, "保存");
}

// The gift table as "name:quantity:points" in id order.
QString gifts(Till& till)
{
    QStringList rows;
    till.database.db().query("SELECT 名称, 数量, 积分 FROM lpgl ORDER BY id", {}, [&](const Row& row) {
        const auto text = [&](int column) { return row.cell(column).isNull() ? QString() : row.cell(column).toText(); };
        rows << text(0) + u':' + text(1) + u':' + text(2);
        return true;
    });
    return rows.join(u' ');
}

} // namespace

class GiftCatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Till::settle(); }

    void addStoresTheTrimmedGiftAndAnEmptyBoxDropsIt()
    {
        Till till;
        open(till, {"保温杯:20:80"});
        till.database.exec(QStringLiteral("INSERT INTO lpgl (名称, 数量, 积分) VALUES ('无积分', 3, NULL)"));
        QVERIFY(!Till::window("Form4"));
        QCOMPARE(Till::row(G, 0), QStringList({"1", "保温杯", "80", "20"}));
        QCOMPARE(Till::buttons(G), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));
        Till::press(G, "增加");
        QVERIFY(boxesEnabled());
        QCOMPARE(catalogue()->focusWidget(), Till::box(G, "Text1"));
        QCOMPARE(Till::buttons(G), QStringLiteral("增加- 修改- 删除- 保存+ 退出+"));
        save(QStringLiteral(" 雨'伞 "), QStringLiteral(" 10"), QStringLiteral("2.5 "));
        QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("添加成功"), AppCaption}}));
        QCOMPARE(gifts(till), QStringLiteral("保温杯:20:80 无积分:3: 雨'伞:10:2.5"));
        QCOMPARE(Till::row(G, 1), QStringList({"2", "无积分", "", "3"}));
        QCOMPARE(Till::row(G, 2), QStringList({"3", "雨'伞", "2.5", "10"}));
        QVERIFY(!boxesEnabled() && boxes() == QStringList({"", "", ""}));
        QCOMPARE(Till::buttons(G), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 操作||'|'||新值 FROM kelm_audit")),
                 QStringLiteral("礼品添加|名称 雨'伞；数量 10；积分 2.5"));

        Till::press(G, "增加");
        save(QStringLiteral("雨伞"), QString(), QStringLiteral("25"));
        QCOMPARE(till.said(), QStringList({"添加成功"}));
        QCOMPARE(till.database.count(QStringLiteral("lpgl")), 3);
        QCOMPARE(catalogue()->entryMode(), Form5::Nothing);
    }

    void aRepeatedNameOrANonNumberIsRefusedAndTheAddStaysPending_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("message");
        QTest::newRow("same name") << "雨伞" << "1" << "1" << Repeated;
        QTest::newRow("same name with blanks") << "  雨伞 " << "1" << "1" << Repeated;
        QTest::newRow("quantity in words") << "毛巾" << "十个" << "1" << QStringLiteral("数量“十个”不是数字，请重新输入");
        QTest::newRow("only blanks") << "毛巾" << "10" << " " << QStringLiteral("积分“ ”不是数字，请重新输入");
    }

    void aRepeatedNameOrANonNumberIsRefusedAndTheAddStaysPending()
    {
        QFETCH(QString, name);
        QFETCH(QString, quantity);
        QFETCH(QString, points);
        QFETCH(QString, message);
        Till till;
        open(till, {"雨伞:5:25"});
        Till::press(G, "增加");
        save(name, quantity, points);
        QCOMPARE(till.said(), QStringList({message}));
        QCOMPARE(catalogue()->entryMode(), Form5::Adding);
        QVERIFY(boxesEnabled());
        QCOMPARE(boxes(), QStringList({name, quantity, points}));
        // Corrected, the same add goes through.
        save(QStringLiteral("毛巾"), QStringLiteral("7"), QStringLiteral("12"));
        QCOMPARE(gifts(till), QStringLiteral("雨伞:5:25 毛巾:7:12"));
    }

    // Ids beyond 16 bits are edited and deleted like the first.
    void anEditMayKeepItsOwnNameButNotTakeAnothersNorAClickedOnesAdd()
    {
        Till till;
        till.database.exec(QStringLiteral("INSERT INTO lpgl (id, 名称, 数量, 积分) VALUES (40000, '雨伞', 5, 25);"
                                          "INSERT INTO lpgl (id, 名称, 数量, 积分) VALUES (7232, '保温杯', 20, 80)"));
        open(till, {});
        Till::clickRow(G, 1, QStringLiteral("雨伞"));
        QCOMPARE(boxes(), QStringList({"雨伞", "5", "25"}));
        QCOMPARE(catalogue()->selectedGiftId(), qint64(40000));
        QCOMPARE(Till::buttons(G), QStringLiteral("增加+ 修改+ 删除+ 保存- 退出+"));
        // An add right after a click starts from the clicked gift: saved unchanged, it is a repeat.
        Till::press(G, "增加");
        Till::press(G, "保存");
        QCOMPARE(till.said(), QStringList({Repeated}));

        Till::clickRow(G, 1, QStringLiteral("雨伞"));
        Till::press(G, "修改");
        QCOMPARE(Till::buttons(G), QStringLiteral("增加- 修改- 删除+ 保存+ 退出+"));
        Till::type(G, "Text2", QStringLiteral("6 "));
        Till::press(G, "保存");
        QCOMPARE(till.said(), QStringList({"修改成功"}));
        QCOMPARE(gifts(till), QStringLiteral("保温杯:20:80 雨伞:6:25"));
        QCOMPARE(catalogue()->selectedGiftId(), qint64(0));
        QCOMPARE(Till::buttons(G), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));

        Till::clickRow(G, 1, QStringLiteral("保温杯"));
        Till::press(G, "修改");
        Till::type(G, "Text1", QStringLiteral("雨伞 "));
        Till::press(G, "保存");
        QCOMPARE(till.said(), QStringList({Repeated}));
        QCOMPARE(catalogue()->entryMode(), Form5::Editing);
        save(QStringLiteral("大保温杯"), QStringLiteral("20"), QStringLiteral("九十"));
        QCOMPARE(till.said(), QStringList({"积分“九十”不是数字，请重新输入"}));
        Till::type(G, "Text3", QStringLiteral("90"));
        Till::press(G, "保存");
        QCOMPARE(gifts(till), QStringLiteral("大保温杯:20:90 雨伞:6:25"));
        QCOMPARE(till.database.scalar(QStringLiteral("SELECT 原值||' > '||新值 FROM kelm_audit WHERE id = 2")),
                 QStringLiteral("名称 保温杯；数量 20；积分 80 > 名称 大保温杯；数量 20；积分 90"));

        Till::clickRow(G, 1, QStringLiteral("雨伞"));
        Till::press(G, "删除");
        Till::press(G, "保存");
        QCOMPARE(till.said(), QStringList({"修改成功", "你真的确定删除选定的礼品吗？", "删除成功"}));
        QCOMPARE(gifts(till), QStringLiteral("大保温杯:20:90"));
    }

    void aDeleteIsConfirmedShownAtOnceAndWrittenBySave()
    {
        Till till;
        open(till, {"雨伞:5:25", "保温杯:20:80", "毛巾:9:10"});
        // Nothing clicked yet (the button is forced on): the command itself still asks for a gift.
        catalogue()->command(QStringLiteral("删除"))->setEnabled(true);
        Till::press(G, "删除");
        QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("请选择要删除的商品！"), AppCaption}}));
        Till::clickRow(G, 1, QStringLiteral("保温杯"));
        till.said();
        till.messages.answerNext(false);
        Till::press(G, "删除");
        QCOMPARE(till.messages.messages(), QList<Message>({{QStringLiteral("你真的确定删除选定的礼品吗？"), AppCaption,
                                                            Message::Icon::None, Message::Buttons::YesNo}}));
        QCOMPARE(Till::rows(G), 3);
        Till::press(G, "删除");
        QCOMPARE(Till::rows(G), 2);
        QCOMPARE(Till::row(G, 1), QStringList({"3", "毛巾", "10", "9"}));
        QCOMPARE(boxes(), QStringList({"", "", ""}));
        QCOMPARE(Till::buttons(G), QStringLiteral("增加- 修改- 删除- 保存+ 退出+"));
        QCOMPARE(till.database.count(QStringLiteral("lpgl")), 3);
        till.said();
        Till::press(G, "保存");
        QCOMPARE(till.said(), QStringList({"删除成功"}));
        QCOMPARE(gifts(till), QStringLiteral("雨伞:5:25 毛巾:9:10"));
        QCOMPARE(Till::row(G, 1), QStringList({"2", "毛巾", "10", "9"}));

        // Save with nothing pending only reloads.
        till.database.addGift(QStringLiteral("帽子"), QStringLiteral("1"), QStringLiteral("5"));
        catalogue()->command(QStringLiteral("保存"))->setEnabled(true);
        Till::press(G, "保存");
        QCOMPARE(till.said(), QStringList());
        QCOMPARE(Till::rows(G), 3);
    }

    // A click on a gift gone elsewhere selects nothing and a click below a staged delete reads the gift
    // clicked; exit drops the pending change, so the gift the delete took out of the list is back next time.
    void aClickReadsTheGiftClickedAndExitDropsAPendingChange()
    {
        Till till;
        open(till, {"雨伞:5:25", "保温杯:20:80", "毛巾:9:10"});
        Till::clickRow(G, 1, QStringLiteral("雨伞"));
        till.database.exec(QStringLiteral("DELETE FROM lpgl WHERE 名称 = '保温杯'"));
        Till::clickRow(G, 1, QStringLiteral("保温杯"));
        QCOMPARE(till.said(), QStringList({"礼品“保温杯”已不在礼品表中（可能已被改名或删除），请点击“保存”刷新列表。"}));
        QCOMPARE(catalogue()->selectedGiftId(), qint64(0));
        QCOMPARE(Till::buttons(G), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));
        QCOMPARE(Till::text(G, "Text1"), QStringLiteral("雨伞"));

        Till::clickRow(G, 1, QStringLiteral("雨伞"));
        Till::press(G, "删除");
        Till::clickRow(G, 1, QStringLiteral("毛巾"));
        QCOMPARE(boxes(), QStringList({"毛巾", "9", "10"}));
        QCOMPARE(catalogue()->selectedGiftId(), qint64(3));
        Till::press(G, "退出");
        Till::settle();
        QVERIFY(!Till::window(G) && !Till::window("Form4"));
        QVERIFY(till.module().sharedConnection().isOpen());
        Till::open("jfgl");
        Till::press("Form4", "礼品管理");
        QCOMPARE(catalogue()->entryMode(), Form5::Nothing);
        QCOMPARE(Till::rows(G), 2);
    }
};

QTEST_MAIN(GiftCatalogueTest)
#include "GiftCatalogueTest.moc"
