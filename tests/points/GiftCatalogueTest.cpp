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
    TestScreens& t;
    Form5* screen = nullptr;

    explicit Catalogue(TestScreens& fixture)
        : t(fixture)
    {
        Class1().jfgl(true);
        TestScreens::button(TestScreens::visibleWindow(QStringLiteral("Form4")), QStringLiteral("礼品管理"))->trigger();
        screen = qobject_cast<Form5*>(TestScreens::visibleWindow(QStringLiteral("Form5")));
    }

    QTableView* list() const { return screen->findChild<QTableView*>(QStringLiteral("ListView1")); }
    QLineEdit* box(const char* name) const { return TestScreens::box(screen, QString::fromLatin1(name)); }
    void press(const char* key) const { TestScreens::button(screen, QString::fromUtf8(key))->trigger(); }
    bool enabled(const char* key) const { return TestScreens::button(screen, QString::fromUtf8(key))->isEnabled(); }
    int rows() const { return list()->model()->rowCount(); }
    QString cell(int row, int column) const { return list()->model()->index(row, column).data().toString(); }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells << cell(r, c);
        return cells;
    }
    // Clicks the list row that shows this gift.
    void click(const QString& name) const
    {
        for (int r = 0; r < rows(); ++r) {
            if (cell(r, 1) == name) {
                const QModelIndex index = list()->model()->index(r, 1);
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(index).center());
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no row shows gift ") + name));
    }
    void type(const char* name, const QString& text) const
    {
        box(name)->selectAll();
        QTest::keyClick(box(name), Qt::Key_Backspace);
        TestScreens::type(box(name), text);
    }
    bool boxesEnabled() const
    {
        return box("Text1")->isEnabled() && box("Text2")->isEnabled() && box("Text3")->isEnabled();
    }
    bool boxesDisabledAndEmpty() const
    {
        for (const char* name : {"Text1", "Text2", "Text3"}) {
            if (box(name)->isEnabled() || !box(name)->text().isEmpty())
                return false;
        }
        return true;
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
        TestScreens t;
        t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        t.database.exec(QStringLiteral("INSERT INTO lpgl (名称, 数量, 积分) VALUES ('无积分', 3, NULL)"));
        Catalogue c(t);
        QVERIFY(c.screen);
        QCOMPARE(c.screen->windowTitle(), QStringLiteral("礼品管理"));
        QVERIFY(!TestScreens::visibleWindow(QStringLiteral("Form4")));
        QCOMPARE(c.row(0), QStringList({"1", "保温杯", "80", "20"}));
        QCOMPARE(c.row(1), QStringList({"2", "无积分", "", "3"}));
        QVERIFY(c.screen->findChild<QWidget*>(QStringLiteral("Frame2"))->isAncestorOf(c.box("Text3")));
        QVERIFY(c.enabled("增加"));
        QVERIFY(!c.enabled("修改"));
        QVERIFY(!c.enabled("删除"));
        QVERIFY(!c.enabled("保存"));
        QVERIFY(c.enabled("退出"));
        QVERIFY(c.boxesDisabledAndEmpty());
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);
    }

    void addStoresTheTrimmedGiftAndReloads()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        Catalogue c(t);
        c.press("增加");
        QVERIFY(c.boxesEnabled());
        QCOMPARE(c.screen->focusWidget(), c.box("Text1"));
        QVERIFY(!c.enabled("增加"));
        QVERIFY(c.enabled("保存"));
        QCOMPARE(c.screen->entryMode(), Form5::Adding);

        c.type("Text1", QStringLiteral(" 雨'伞 "));
        c.type("Text2", QStringLiteral(" 10"));
        c.type("Text3", QStringLiteral("2.5 "));
        c.press("保存");
        QCOMPARE(t.messages.messages(), QList<Message>({info(QStringLiteral("添加成功"))}));
        QCOMPARE(c.gifts(), QStringLiteral("保温杯:20:80 雨'伞:10:2.5"));
        QCOMPARE(c.rows(), 2);
        QCOMPARE(c.row(1), QStringList({"2", "雨'伞", "2.5", "10"}));
        QVERIFY(c.boxesDisabledAndEmpty());
        QVERIFY(c.enabled("增加"));
        QVERIFY(!c.enabled("保存"));
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);
    }

    void anAddWithAnEmptyBoxIsDroppedSilently()
    {
        TestScreens t;
        Catalogue c(t);
        c.press("增加");
        c.type("Text1", QStringLiteral("雨伞"));
        c.type("Text3", QStringLiteral("25"));
        c.press("保存");
        QCOMPARE(t.messages.texts(), QStringList());
        QCOMPARE(t.database.count(QStringLiteral("lpgl")), 0);
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
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        Catalogue c(t);
        c.press("增加");
        c.type("Text1", name);
        c.type("Text2", quantity);
        c.type("Text3", points);
        c.press("保存");
        QCOMPARE(t.messages.messages(), QList<Message>({info(message)}));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:5:25"));
        QCOMPARE(c.screen->entryMode(), Form5::Adding);
        QVERIFY(c.boxesEnabled());
        QCOMPARE(c.box("Text1")->text(), name);
        QCOMPARE(c.box("Text2")->text(), quantity);
        QVERIFY(c.enabled("保存"));

        // Corrected, the same add goes through.
        c.type("Text1", QStringLiteral("毛巾"));
        c.type("Text2", QStringLiteral("7"));
        c.type("Text3", QStringLiteral("12"));
        c.press("保存");
        QCOMPARE(t.messages.texts().constLast(), QStringLiteral("添加成功"));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:5:25 毛巾:7:12"));
    }

    void anAddRightAfterAClickStartsFromTheClickedGiftAndIsARepeat()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        Catalogue c(t);
        c.click(QStringLiteral("雨伞"));
        QCOMPARE(c.box("Text1")->text(), QStringLiteral("雨伞"));
        QCOMPARE(c.box("Text2")->text(), QStringLiteral("5"));
        QCOMPARE(c.box("Text3")->text(), QStringLiteral("25"));
        QVERIFY(c.enabled("修改"));
        QVERIFY(c.enabled("删除"));
        c.press("增加");
        QCOMPARE(c.box("Text1")->text(), QStringLiteral("雨伞"));
        c.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({Repeated}));
        QCOMPARE(t.database.count(QStringLiteral("lpgl")), 1);
    }

    void anEditMayKeepItsOwnNameButNotTakeAnothers()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        Catalogue c(t);
        c.click(QStringLiteral("雨伞"));
        c.press("修改");
        QVERIFY(c.boxesEnabled());
        QVERIFY(!c.enabled("增加"));
        QVERIFY(!c.enabled("修改"));
        QVERIFY(c.enabled("保存"));
        QCOMPARE(c.screen->entryMode(), Form5::Editing);
        c.type("Text2", QStringLiteral("6 "));
        c.press("保存");
        QCOMPARE(t.messages.messages(), QList<Message>({info(QStringLiteral("修改成功"))}));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:6:25 保温杯:20:80"));
        QVERIFY(c.boxesDisabledAndEmpty());
        QCOMPARE(c.screen->selectedGiftId(), qint64(0));
        // Edit and delete wait for the next click.
        QVERIFY(!c.enabled("修改"));
        QVERIFY(!c.enabled("删除"));
        QVERIFY(c.enabled("增加"));

        c.click(QStringLiteral("保温杯"));
        c.press("修改");
        c.type("Text1", QStringLiteral("雨伞 "));
        t.messages.clear();
        c.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({Repeated}));
        QCOMPARE(c.screen->entryMode(), Form5::Editing);
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:6:25 保温杯:20:80"));

        c.type("Text1", QStringLiteral("大保温杯"));
        c.type("Text3", QStringLiteral("九十"));
        c.press("保存");
        QCOMPARE(t.messages.texts().constLast(), QStringLiteral("积分“九十”不是数字，请重新输入"));
        c.type("Text3", QStringLiteral("90"));
        c.press("保存");
        QCOMPARE(t.messages.texts().constLast(), QStringLiteral("修改成功"));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:6:25 大保温杯:20:90"));
    }

    void aDeleteIsConfirmedShownAtOnceAndWrittenBySave()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        t.database.addGift(QStringLiteral("毛巾"), QStringLiteral("9"), QStringLiteral("10"));
        Catalogue c(t);

        // Nothing clicked yet (the button is forced on): the command itself still asks for a gift.
        TestScreens::button(c.screen, QStringLiteral("删除"))->setEnabled(true);
        c.press("删除");
        QCOMPARE(t.messages.messages(), QList<Message>({info(QStringLiteral("请选择要删除的商品！"))}));

        c.click(QStringLiteral("保温杯"));
        t.messages.clear();
        t.messages.answerNext(false);
        c.press("删除");
        QCOMPARE(t.messages.messages(),
                 QList<Message>({{QStringLiteral("你真的确定删除选定的礼品吗？"), AppCaption, Message::Icon::None,
                                  Message::Buttons::YesNo}}));
        QCOMPARE(c.rows(), 3);
        QCOMPARE(c.screen->entryMode(), Form5::Nothing);

        c.press("删除");
        QCOMPARE(c.rows(), 2);
        QCOMPARE(c.row(1), QStringList({"3", "毛巾", "10", "9"}));
        QVERIFY(c.box("Text1")->text().isEmpty());
        QVERIFY(!c.enabled("增加"));
        QVERIFY(!c.enabled("修改"));
        QVERIFY(!c.enabled("删除"));
        QVERIFY(c.enabled("保存"));
        QCOMPARE(t.database.count(QStringLiteral("lpgl")), 3);

        t.messages.clear();
        c.press("保存");
        QCOMPARE(t.messages.messages(), QList<Message>({info(QStringLiteral("删除成功"))}));
        QCOMPARE(c.gifts(), QStringLiteral("雨伞:5:25 毛巾:9:10"));
        QCOMPARE(c.row(1), QStringList({"2", "毛巾", "10", "9"}));
    }

    void aClickBelowAStagedDeleteReadsTheClickedGift()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        Catalogue c(t);
        c.click(QStringLiteral("雨伞"));
        c.press("删除");
        c.click(QStringLiteral("保温杯"));
        QCOMPARE(c.box("Text1")->text(), QStringLiteral("保温杯"));
        QCOMPARE(c.box("Text2")->text(), QStringLiteral("20"));
        QCOMPARE(c.screen->selectedGiftId(), qint64(2));
    }

    void aClickOnAGiftGoneElsewhereSelectsNothing()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        Catalogue c(t);
        c.click(QStringLiteral("雨伞"));
        t.database.exec(QStringLiteral("UPDATE lpgl SET 名称 = '折叠伞' WHERE 名称 = '雨伞'"));
        t.database.exec(QStringLiteral("DELETE FROM lpgl WHERE 名称 = '保温杯'"));
        c.click(QStringLiteral("保温杯"));
        QCOMPARE(t.messages.messages(),
                 QList<Message>({info(QStringLiteral("礼品“保温杯”已不在礼品表中（可能已被改名或删除），请点击“保存”刷新列表。"))}));
        QCOMPARE(c.screen->selectedGiftId(), qint64(0));
        QVERIFY(!c.enabled("修改"));
        QVERIFY(!c.enabled("删除"));
        QVERIFY(c.list()->selectionModel()->selectedRows().isEmpty());
        // The boxes keep the gift clicked before.
        QCOMPARE(c.box("Text1")->text(), QStringLiteral("雨伞"));
    }

    void giftIdsBeyondSixteenBitsAreEditedAndDeleted()
    {
        TestScreens t;
        t.database.exec(QStringLiteral("INSERT INTO lpgl (id, 名称, 数量, 积分) VALUES (40000, '雨伞', 5, 25);"
                                       "INSERT INTO lpgl (id, 名称, 数量, 积分) VALUES (7232, '毛巾', 9, 10)"));
        Catalogue c(t);
        c.click(QStringLiteral("雨伞"));
        QCOMPARE(c.screen->selectedGiftId(), qint64(40000));
        c.press("修改");
        c.type("Text2", QStringLiteral("4"));
        c.press("保存");
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl WHERE id = 40000")), QStringLiteral("4"));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl WHERE id = 7232")), QStringLiteral("9"));

        c.click(QStringLiteral("雨伞"));
        c.press("删除");
        c.press("保存");
        QCOMPARE(t.messages.texts(), QStringList({"修改成功", "你真的确定删除选定的礼品吗？", "删除成功"}));
        QCOMPARE(c.gifts(), QStringLiteral("毛巾:9:10"));
    }

    void saveWithNothingPendingOnlyReloads()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        Catalogue c(t);
        t.database.addGift(QStringLiteral("毛巾"), QStringLiteral("9"), QStringLiteral("10"));
        // The button is forced on: no command leaves it enabled with nothing pending.
        TestScreens::button(c.screen, QStringLiteral("保存"))->setEnabled(true);
        c.press("保存");
        QCOMPARE(t.messages.texts(), QStringList());
        QCOMPARE(c.rows(), 2);
        QCOMPARE(c.row(1), QStringList({"2", "毛巾", "10", "9"}));
        QCOMPARE(t.database.count(QStringLiteral("lpgl")), 2);
    }

    void exitDropsAPendingChangeAndLeavesTheConnectionOpen()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("5"), QStringLiteral("25"));
        Catalogue c(t);
        c.click(QStringLiteral("雨伞"));
        c.press("删除");
        c.press("退出");
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form5")), nullptr);
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form4")), nullptr);
        QVERIFY(t.module().sharedConnection().isOpen());
        QCOMPARE(t.database.count(QStringLiteral("lpgl")), 1);

        // Opened again, it is a fresh screen with the gift back in its list.
        Class1().jfgl(true);
        TestScreens::button(TestScreens::visibleWindow(QStringLiteral("Form4")), QStringLiteral("礼品管理"))->trigger();
        auto* again = qobject_cast<Form5*>(TestScreens::visibleWindow(QStringLiteral("Form5")));
        QVERIFY(again);
        QCOMPARE(again->entryMode(), Form5::Nothing);
        QCOMPARE(again->findChild<QTableView*>(QStringLiteral("ListView1"))->model()->rowCount(), 1);
        QVERIFY(!TestScreens::button(again, QStringLiteral("保存"))->isEnabled());
    }
};

QTEST_MAIN(GiftCatalogueTest)
#include "GiftCatalogueTest.moc"
