// The member screen as the cashier sees it after a load: fields, list, and a click on a row.
#include "TestScreens.h"

#include "common/ToolbarSkin.h"
#include "members/Form1.h"

#include <kelm/Class1.h>

#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <QToolBar>

using namespace kelm;

class MemberListTest : public QObject
{
    Q_OBJECT

    QWidget* open(TestScreens&)
    {
        Class1().kelm(true);
        return TestScreens::visibleWindow(QStringLiteral("Form1"));
    }
    static QTableView* list(QWidget* screen) { return screen->findChild<QTableView*>(QStringLiteral("ListView1")); }
    static QString cell(QWidget* screen, int row, int column)
    {
        return list(screen)->model()->index(row, column).data().toString();
    }
    static void click(QWidget* screen, int row)
    {
        QTableView* view = list(screen);
        const QModelIndex index = view->model()->index(row, 1);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }

private slots:
    void cleanup() { TestScreens::settle(); }

    void anEmptyTableGivesTheNineHeadersAndTheInitialFields()
    {
        TestScreens t;
        QWidget* screen = open(t);
        QTableView* view = list(screen);
        QStringList headers;
        for (int i = 0; i < view->model()->columnCount(); ++i)
            headers << view->model()->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"序号", "日期", "姓名", "会员卡号", "身份证号码", "联系地址", "联系电话", "卡内余额", "会员积分"}));
        QCOMPARE(view->model()->rowCount(), 0);
        // Widths: a twentieth of the list, then tenths.
        const int width = view->width();
        QCOMPARE(view->columnWidth(0), width / 20);
        QCOMPARE(view->columnWidth(8), width / 10);
        QCOMPARE(view->model()->headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

        struct Initial { const char* name; const char* text; bool enabled; };
        for (const Initial& box : {Initial{"Text5", "", true}, Initial{"Text1", "Vip", false}, Initial{"Text3", "", false},
                                   Initial{"Text4", "462", false}, Initial{"Text2", "", false}, Initial{"Text6", "", false}}) {
            QLineEdit* edit = TestScreens::box(screen, QString::fromLatin1(box.name));
            QVERIFY2(edit, box.name);
            QCOMPARE(edit->text(), QString::fromUtf8(box.text));
            QCOMPARE(edit->isEnabled(), box.enabled);
        }
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text4"))->echoMode(), QLineEdit::Password);

        // The toolbar shows the tiled picture behind its buttons.
        auto* toolbar = screen->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        const QImage shown = toolbar->grab().toImage();
        const QImage picture = ToolbarSkin::picture().toImage();
        const int x = toolbar->width() - 3;
        QCOMPARE(shown.pixelColor(x, 5), picture.pixelColor(x % 160, 5));
        QCOMPARE(shown.pixelColor(x, 17), picture.pixelColor(x % 160, 17 % 12));
        QStringList buttons;
        for (const QString& key : Form1::Commands)
            buttons << key + (TestScreens::button(screen, key)->isEnabled() ? "+" : "-");
        QCOMPARE(buttons, QStringList({"增加+", "修改-", "删除-", "保存-", "发卡-", "挂失-", "初始化+", "充值+", "退出+"}));
        screen->close();
    }

    void rowsShowRunningNumbersAndEveryValueAsText()
    {
        TestScreens t;
        t.database.addMember(QStringLiteral("9000000000003"), QStringLiteral("王芳"), QStringLiteral("150.5"), QStringLiteral("12"));
        t.database.addMember(QStringLiteral("1000000000001"), QStringLiteral("O'Brien"));
        t.database.addMember(QStringLiteral("5000000000002"), QStringLiteral("  张'三  "), QStringLiteral("0"), QStringLiteral("7"));
        QWidget* screen = open(t);
        QCOMPARE(list(screen)->model()->rowCount(), 3);
        QCOMPARE(cell(screen, 0, 0), QStringLiteral("1"));
        QCOMPARE(cell(screen, 2, 0), QStringLiteral("3"));
        QStringList first;
        for (int c = 1; c < 9; ++c)
            first << cell(screen, 0, c);
        QCOMPARE(first, QStringList({"2026-12-01", "王芳", "9000000000003", "ID9000000000003", "地址王芳", "13800000003",
                                     "150.5", "12"}));
        QCOMPARE(cell(screen, 1, 7), QStringLiteral("0"));
        QCOMPARE(cell(screen, 1, 8), QStringLiteral("0"));
        QCOMPARE(cell(screen, 2, 2), QStringLiteral("  张'三  "));
        screen->close();
    }

    void clickingARowFillsFiveFieldsAndEnablesTheRowCommands()
    {
        TestScreens t;
        t.database.addMember(QStringLiteral("1000000000001"), QStringLiteral("张三"));
        t.database.addMember(QStringLiteral("2000000000002"), QStringLiteral("李四"), QStringLiteral("5"), QStringLiteral("9"), QStringLiteral("8866"));
        QWidget* screen = open(t);
        click(screen, 1);
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text1"))->text(), QStringLiteral("李四"));
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text5"))->text(), QStringLiteral("2000000000002"));
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text6"))->text(), QStringLiteral("ID2000000000002"));
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text2"))->text(), QStringLiteral("地址李四"));
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text3"))->text(), QStringLiteral("13800000002"));
        // The password box is not filled from the list.
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text4"))->text(), QStringLiteral("462"));
        for (const char* key : {"修改", "删除", "发卡", "挂失"})
            QVERIFY2(TestScreens::button(screen, QString::fromUtf8(key))->isEnabled(), key);
        QVERIFY(!TestScreens::button(screen, QStringLiteral("保存"))->isEnabled());
        QCOMPARE(static_cast<Form1*>(screen)->selectedRow(), 2);
        // Nothing is read from the database: a change made elsewhere shows only after a reload.
        t.database.exec(QStringLiteral("UPDATE kelm SET 姓名='改' WHERE 卡号='1000000000001'"));
        click(screen, 0);
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text1"))->text(), QStringLiteral("张三"));
        screen->close();
    }

    void aRowBeyond32767IsFoundByItsOwnPosition()
    {
        TestScreens t;
        t.database.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
            "INSERT INTO kelm (日期, 卡号, 姓名, 联系地址, 联系电话, 密码, 身份证号) "
            "SELECT '2026-12-05', '2026' || substr(cast(1000000000 + i as text), 2), '会员' || i, '地址' || i, '电话' || i, '462', 'ID' || i FROM n"));
        QWidget* screen = open(t);
        QCOMPARE(list(screen)->model()->rowCount(), 40000);
        click(screen, 39999);
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text1"))->text(), QStringLiteral("会员40000"));
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text5"))->text(), QStringLiteral("2026000040000"));
        QCOMPARE(static_cast<Form1*>(screen)->selectedRow(), 40000);
        screen->close();
    }

    void anEditAfterClickingARowBeyond32767ChangesThatMember()
    {
        TestScreens t;
        t.database.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
            "INSERT INTO kelm (日期, 卡号, 姓名, 联系地址, 联系电话, 密码, 身份证号) "
            "SELECT '2026-12-05', '2026' || substr(cast(1000000000 + i as text), 2), '会员' || i, '地址' || i, "
            "'电话' || i, '462', 'ID' || i FROM n"));
        QWidget* screen = open(t);
        // 40000 lies beyond a 16-bit row number; 7232 and 32767 are where such a number would
        // wrap or stop.
        click(screen, 39999);
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text5"))->text(), QStringLiteral("2026000040000"));
        TestScreens::button(screen, QStringLiteral("修改"))->trigger();
        QLineEdit* name = TestScreens::box(screen, QStringLiteral("Text1"));
        QVERIFY(name->isEnabled());
        name->clear();
        TestScreens::type(name, QStringLiteral("改名会员"));
        TestScreens::button(screen, QStringLiteral("保存"))->trigger();

        QCOMPARE(t.messages.texts(), QStringList({"修改成功"}));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 姓名 FROM kelm WHERE 卡号='2026000040000'")),
                 QStringLiteral("改名会员"));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 联系地址 FROM kelm WHERE 卡号='2026000040000'")),
                 QStringLiteral("地址40000"));
        // Every other member keeps the name that goes with the card number.
        const QString renamed = QStringLiteral(
            "SELECT count(*) FROM kelm WHERE 姓名 <> '会员' || cast(cast(substr(卡号, 5) as integer) as text)");
        QCOMPARE(t.database.scalar(renamed), QStringLiteral("1"));
        for (const char* card : {"2026000007232", "2026000032767", "2026000032768"}) {
            const QString sql = QStringLiteral("SELECT 姓名 FROM kelm WHERE 卡号='%1'").arg(QLatin1String(card));
            const int member = QString::fromLatin1(card).right(5).toInt();
            QCOMPARE(t.database.scalar(sql), QStringLiteral("会员") + QString::number(member));
        }
        // The reloaded list shows the change in the same row.
        QCOMPARE(list(screen)->model()->rowCount(), 40000);
        QCOMPARE(cell(screen, 39999, 2), QStringLiteral("改名会员"));
        QCOMPARE(cell(screen, 39999, 0), QStringLiteral("40000"));
        screen->close();
    }

    void nullColumnsShowEmptyInsteadOfBreakingTheList()
    {
        TestScreens t;
        t.database.exec(QStringLiteral("INSERT INTO kelm (卡号, 姓名) VALUES ('1', NULL)"));
        t.database.addMember(QStringLiteral("2"), QStringLiteral("李四"));
        QWidget* screen = open(t);
        QCOMPARE(list(screen)->model()->rowCount(), 2);
        QCOMPARE(cell(screen, 0, 2), QString());
        QCOMPARE(cell(screen, 1, 2), QStringLiteral("李四"));
        screen->close();
    }
};

QTEST_MAIN(MemberListTest)
#include "MemberListTest.moc"
