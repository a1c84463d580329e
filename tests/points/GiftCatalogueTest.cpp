// The gift catalogue, reached from the points screen as a cashier reaches it, checked in the
// boxes, the buttons, the list, the messages and the gift table.
#include "TestScreens.h"

#include "points/Form5.h"

#include <kelm/Class1.h>

#include <QTableView>
#include <QTest>

using namespace kelm;

namespace {

// The catalogue of one test, opened from the points screen, and the cashier's gestures.
struct Catalogue
{
    TestScreens t;
    Form5* screen = nullptr;

    // Gifts as "name:quantity:points", stored before the catalogue opens.
    explicit Catalogue(const QStringList& gifts = {})
    {
        for (const QString& gift : gifts)
            t.database.addGift(gift.section(u':', 0, 0), gift.section(u':', 1, 1), gift.section(u':', 2, 2));
    }

    Form5* open()
    {
        Class1().jfgl(true);
        TestScreens::button(TestScreens::visibleWindow(QStringLiteral("Form4")), QStringLiteral("礼品管理"))->trigger();
        return screen = qobject_cast<Form5*>(TestScreens::visibleWindow(QStringLiteral("Form5")));
    }

    QTableView* list() const { return screen->findChild<QTableView*>(QStringLiteral("ListView1")); }
    QLineEdit* box(const char* name) const { return TestScreens::box(screen, QString::fromLatin1(name)); }
    QStringList boxes() const { return TestScreens::texts(screen, {"Text1", "Text2", "Text3"}); }
    void press(const char* key) const { TestScreens::button(screen, QString::fromUtf8(key))->trigger(); }
    QString buttons() const { return TestScreens::buttons(screen); }
    int rows() const { return list()->model()->rowCount(); }
    QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
    QStringList row(int r) const { return {cell(r, 0), cell(r, 1), cell(r, 2), cell(r, 3)}; }
    // Clicks the list row that shows this gift.
    void click(const QString& name) const
    {
        for (int r = 0; r < rows(); ++r) {
            if (cell(r, 1) == name)
                return TestScreens::clickRow(screen, r);
        }
        QFAIL(qPrintable(QStringLiteral("no row shows gift ") + name));
    }
    void type(const char* name, const QString& text) const
    {
        box(name)->selectAll();
        QTest::keyClick(box(name), Qt::Key_Backspace);
        TestScreens::type(box(name), text);
    }
    // Types name, quantity and points into the boxes and presses 保存.
    void save(const QString& name, const QString& quantity, const QString& points) const
    {
        type("Text1", name);
        type("Text2", quantity);
        type("Text3", points);
        press("保存");
    }
    bool boxesEnabled() const
    {
        return box("Text1")->isEnabled() && box("Text2")->isEnabled() && box("Text3")->isEnabled();
    }
    bool boxesDisabledAndEmpty() const
    {
        return !box("Text1")->isEnabled() && !box("Text2")->isEnabled() && !box("Text3")->isEnabled()
               && boxes() == QStringList({"", "", ""});
    }
    // The gift table as "name:quantity:points" in id order.
    QString gifts()
    {
        QStringList rows;
        t.database.db().query("SELECT 名称, 数量, 积分 FROM lpgl ORDER BY id", {}, [&](const Row& row) {
            rows << row.cell(0).toText() + u':' + row.cell(1).toText() + u':' + row.cell(2).toText();
            return true;
        });
        return rows.join(u' ');
    }
};

Message info(const QString& text)
{
    return {text, AppCaption, Message::Icon::Information, Message::Buttons::Ok};
}

const QString Repeated = QStringLiteral("名称不能重复，请重新输入");

} // namespace

class GiftCatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestScreens::settle(); }

    void opensFromThePointsScreenWithTheGiftsAndOnlyAddAndExitEnabled()
    {
        Catalogue c({"保温杯:20:80"});
        c.t.database.exec(QStringLiteral("INSERT INTO lpgl (名称, 数量, 积分) VALUES ('无积分', 3, NULL)"));
        QVERIFY(c.open());
        QCOMPARE(c.screen->windowTitle(), QStringLiteral("礼品管理"));
        QVERIFY(!TestScreens::visibleWindow(QStringLiteral("Form4")));
        QCOMPARE(c.row(0), QStringList({"1", "保温杯", "80", "20"}));
        QCOMPARE(c.row(1), QStringList({"2", "无积分", "", "3"}));
        QCOMPARE(c.buttons(), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));
        QVERIFY(c.boxesDisabledAndEmpty());
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);
    }

    void addStoresTheTrimmedGiftAndReloads()
    {
        Catalogue c({"保温杯:20:80"});
        c.open();
        c.press("增加");
        QVERIFY(c.boxesEnabled());
        QCOMPARE(c.screen->focusWidget(), c.box("Text1"));
        QCOMPARE(c.buttons(), QStringLiteral("增加- 修改- 删除- 保存+ 退出+"));
        QCOMPARE(c.screen->entryMode(), Form5::Adding);

        c.save(QStringLiteral(" 雨'伞 "), QStringLiteral(" 10"), QStringLiteral("2.5 "));
        QCOMPARE(c.t.messages.messages(), QList<Message>({info(QStringLiteral("添加成功"))}));
        QCOMPARE(c.gifts(), QStringLiteral("保温杯:20:80 雨'伞:10:2.5"));
        QCOMPARE(c.rows(), 2);
        QCOMPARE(c.row(1), QStringList({"2", "雨'伞", "2.5", "10"}));
        QVERIFY(c.boxesDisabledAndEmpty());
        QCOMPARE(c.buttons(), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);
    }

    void anAddWithAnEmptyBoxIsDroppedSilently()
    {
        Catalogue c;
        c.open();
        c.press("增加");
        c.save(QStringLiteral("雨伞"), QString(), QStringLiteral("25"));
        QCOMPARE(c.t.messages.texts(), QStringList());
        QCOMPARE(c.t.database.count(QStringLiteral("lpgl")), 0);
        QVERIFY(c.boxesDisabledAndEmpty());
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);
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
        QTest::newRow("points not a number") << "毛巾" << "10" << "8O" << QStringLiteral("积分“8O”不是数字，请重新输入");
        QTest::newRow("only blanks") << "毛巾" << "10" << " " << QStringLiteral("积分“ ”不是数字，请重新输入");
    }

    void aRepeatedNameOrANonNumberIsRefusedAndTheAddStaysPending()
    {
        QFETCH(QString, name);
        QFETCH(QString, quantity);
        QFETCH(QString, points);
        QFETCH(QString, message);
        Catalogue c({"雨伞:5:25"});
        c.open();
        c.press("增加");
        c.save(name, quantity, points);
        QCOMPARE(c.t.messages.messages(), QList<Message>({info(message)}));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:5:25"));
        QCOMPARE(c.screen->entryMode(), Form5::Adding);
        QVERIFY(c.boxesEnabled());
        QCOMPARE(c.boxes(), QStringList({name, quantity, points}));
        QVERIFY(TestScreens::button(c.screen, QStringLiteral("保存"))->isEnabled());

        // Corrected, the same add goes through.
        c.save(QStringLiteral("毛巾"), QStringLiteral("7"), QStringLiteral("12"));
        QCOMPARE(c.t.messages.texts().constLast(), QStringLiteral("添加成功"));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:5:25 毛巾:7:12"));
    }

    void anAddRightAfterAClickStartsFromTheClickedGiftAndIsARepeat()
    {
        Catalogue c({"雨伞:5:25"});
        c.open();
        c.click(QStringLiteral("雨伞"));
        QCOMPARE(c.boxes(), QStringList({"雨伞", "5", "25"}));
        QCOMPARE(c.buttons(), QStringLiteral("增加+ 修改+ 删除+ 保存- 退出+"));
        c.press("增加");
        QCOMPARE(c.box("Text1")->text(), QStringLiteral("雨伞"));
        c.press("保存");
        QCOMPARE(c.t.messages.texts(), QStringList({Repeated}));
        QCOMPARE(c.t.database.count(QStringLiteral("lpgl")), 1);
    }

    void anEditMayKeepItsOwnNameButNotTakeAnothers()
    {
        Catalogue c({"雨伞:5:25", "保温杯:20:80"});
        c.open();
        c.click(QStringLiteral("雨伞"));
        c.press("修改");
        QVERIFY(c.boxesEnabled());
        QCOMPARE(c.buttons(), QStringLiteral("增加- 修改- 删除+ 保存+ 退出+"));
        QCOMPARE(c.screen->entryMode(), Form5::Editing);
        c.type("Text2", QStringLiteral("6 "));
        c.press("保存");
        QCOMPARE(c.t.messages.messages(), QList<Message>({info(QStringLiteral("修改成功"))}));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:6:25 保温杯:20:80"));
        QVERIFY(c.boxesDisabledAndEmpty());
        QCOMPARE(c.screen->selectedGiftId(), qint64(0));
        // Edit and delete wait for the next click.
        QCOMPARE(c.buttons(), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));

        c.click(QStringLiteral("保温杯"));
        c.press("修改");
        c.type("Text1", QStringLiteral("雨伞 "));
        c.t.messages.clear();
        c.press("保存");
        QCOMPARE(c.t.messages.texts(), QStringList({Repeated}));
        QCOMPARE(c.screen->entryMode(), Form5::Editing);
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:6:25 保温杯:20:80"));

        c.save(QStringLiteral("大保温杯"), QStringLiteral("20"), QStringLiteral("九十"));
        QCOMPARE(c.t.messages.texts().constLast(), QStringLiteral("积分“九十”不是数字，请重新输入"));
        c.type("Text3", QStringLiteral("90"));
        c.press("保存");
        QCOMPARE(c.t.messages.texts().constLast(), QStringLiteral("修改成功"));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:6:25 大保温杯:20:90"));
    }

    void aDeleteIsConfirmedShownAtOnceAndWrittenBySave()
    {
        Catalogue c({"雨伞:5:25", "保温杯:20:80", "毛巾:9:10"});
        c.open();

        // Nothing clicked yet (the button is forced on): the command itself still asks for a gift.
        TestScreens::button(c.screen, QStringLiteral("删除"))->setEnabled(true);
        c.press("删除");
        QCOMPARE(c.t.messages.messages(), QList<Message>({info(QStringLiteral("请选择要删除的商品！"))}));

        c.click(QStringLiteral("保温杯"));
        c.t.messages.clear();
        c.t.messages.answerNext(false);
        c.press("删除");
        QCOMPARE(c.t.messages.messages(),
                 QList<Message>({{QStringLiteral("你真的确定删除选定的礼品吗？"), AppCaption, Message::Icon::None,
                                  Message::Buttons::YesNo}}));
        QCOMPARE(c.rows(), 3);
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);

        c.press("删除");
        QCOMPARE(c.rows(), 2);
        QCOMPARE(c.row(1), QStringList({"3", "毛巾", "10", "9"}));
        QVERIFY(c.box("Text1")->text().isEmpty());
        QCOMPARE(c.buttons(), QStringLiteral("增加- 修改- 删除- 保存+ 退出+"));
        QCOMPARE(c.t.database.count(QStringLiteral("lpgl")), 3);

        c.t.messages.clear();
        c.press("保存");
        QCOMPARE(c.t.messages.messages(), QList<Message>({info(QStringLiteral("删除成功"))}));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:5:25 毛巾:9:10"));
        QCOMPARE(c.row(1), QStringList({"2", "毛巾", "10", "9"}));
    }

    void aClickOnAGiftGoneElsewhereSelectsNothing()
    {
        Catalogue c({"雨伞:5:25", "保温杯:20:80"});
        c.open();
        c.click(QStringLiteral("雨伞"));
        c.t.database.exec(QStringLiteral("UPDATE lpgl SET 名称 = '折叠伞' WHERE 名称 = '雨伞'"));
        c.t.database.exec(QStringLiteral("DELETE FROM lpgl WHERE 名称 = '保温杯'"));
        c.click(QStringLiteral("保温杯"));
        QCOMPARE(c.t.messages.messages(),
                 QList<Message>({info(QStringLiteral("礼品“保温杯”已不在礼品表中（可能已被改名或删除），请点击“保存”刷新列表。"))}));
        QCOMPARE(c.screen->selectedGiftId(), qint64(0));
        QCOMPARE(c.buttons(), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));
        QVERIFY(c.list()->selectionModel()->selectedRows().isEmpty());
        // The boxes keep the gift clicked before.
        QCOMPARE(c.box("Text1")->text(), QStringLiteral("雨伞"));
    }

    void giftIdsBeyondSixteenBitsAreEditedAndDeleted()
    {
        Catalogue c;
        c.t.database.exec(QStringLiteral("INSERT INTO lpgl (id, 名称, 数量, 积分) VALUES (40000, '雨伞', 5, 25);"
                                         "INSERT INTO lpgl (id, 名称, 数量, 积分) VALUES (7232, '毛巾', 9, 10)"));
        c.open();
        c.click(QStringLiteral("雨伞"));
        QCOMPARE(c.screen->selectedGiftId(), qint64(40000));
        c.press("修改");
        c.type("Text2", QStringLiteral("4"));
        c.press("保存");
        QCOMPARE(c.t.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl WHERE id = 40000")), QStringLiteral("4"));
        QCOMPARE(c.t.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl WHERE id = 7232")), QStringLiteral("9"));

        c.click(QStringLiteral("雨伞"));
        c.press("删除");
        c.press("保存");
        QCOMPARE(c.t.messages.texts(), QStringList({"修改成功", "你真的确定删除选定的礼品吗？", "删除成功"}));
        QCOMPARE(c.gifts(), QStringLiteral("毛巾:9:10"));
    }

    void saveWithNothingPendingOnlyReloads()
    {
        Catalogue c({"雨伞:5:25"});
        c.open();
        c.t.database.addGift(QStringLiteral("毛巾"), QStringLiteral("9"), QStringLiteral("10"));
        // The button is forced on: no command leaves it enabled with nothing pending.
        TestScreens::button(c.screen, QStringLiteral("保存"))->setEnabled(true);
        c.press("保存");
        QCOMPARE(c.t.messages.texts(), QStringList());
        QCOMPARE(c.row(1), QStringList({"2", "毛巾", "10", "9"}));
        QCOMPARE(c.t.database.count(QStringLiteral("lpgl")), 2);
    }

    void exitDropsAPendingChangeAndLeavesTheConnectionOpen()
    {
        Catalogue c({"雨伞:5:25", "保温杯:20:80"});
        c.open();
        c.click(QStringLiteral("雨伞"));
        c.press("删除");
        // A click below the staged delete reads the gift clicked.
        c.click(QStringLiteral("保温杯"));
        QCOMPARE(c.boxes(), QStringList({"保温杯", "20", "80"}));
        QCOMPARE(c.screen->selectedGiftId(), qint64(2));
        c.press("退出");
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form5")), nullptr);
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form4")), nullptr);
        QVERIFY(c.t.module().sharedConnection().isOpen());
        QCOMPARE(c.t.database.count(QStringLiteral("lpgl")), 2);

        // Opened again, it is a fresh screen with the gift back in its list.
        QVERIFY(c.open());
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);
        QCOMPARE(c.rows(), 2);
        QCOMPARE(c.buttons(), QStringLiteral("增加+ 修改- 删除- 保存- 退出+"));
    }
};

QTEST_MAIN(GiftCatalogueTest)
#include "GiftCatalogueTest.moc"
