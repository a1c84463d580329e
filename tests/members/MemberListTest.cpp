// The member screen as the cashier sees it after a load: fields, list, and a click on a row.
#include "TestScreens.h"

#include "common/ToolbarSkin.h"
#include "members/Form1.h"

#include <kelm/Class1.h>

#include <QTableView>
#include <QTest>
#include <QToolBar>

using namespace kelm;

class MemberListTest : public QObject
{
    Q_OBJECT

    static Form1* open()
    {
        Class1().kelm(true);
        return static_cast<Form1*>(TestScreens::visibleWindow(QStringLiteral("Form1")));
    }
    static QAbstractItemModel* list(QWidget* screen)
    {
        return screen->findChild<QTableView*>(QStringLiteral("ListView1"))->model();
    }
    static QString cell(QWidget* screen, int row, int column) { return list(screen)->index(row, column).data().toString(); }
    static QStringList row(QWidget* screen, int r)
    {
        QStringList cells;
        for (int c = 0; c < 9; ++c)
            cells << cell(screen, r, c);
        return cells;
    }

private slots:
    void cleanup() { TestScreens::settle(); }

    void anEmptyTableGivesTheNineHeadersAndTheInitialFields()
    {
        TestScreens t;
        Form1* screen = open();
        QStringList headers;
        for (int i = 0; i < list(screen)->columnCount(); ++i)
            headers << list(screen)->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"序号", "日期", "姓名", "会员卡号", "身份证号码", "联系地址", "联系电话", "卡内余额", "会员积分"}));
        QCOMPARE(list(screen)->rowCount(), 0);

        const QStringList boxes = {"Text5", "Text1", "Text3", "Text4", "Text2", "Text6"};
        QCOMPARE(TestScreens::texts(screen, boxes), QStringList({"", "Vip", "", "462", "", ""}));
        for (const QString& name : boxes)
            QVERIFY2(TestScreens::box(screen, name)->isEnabled() == (name == u"Text5"), qPrintable(name));
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text4"))->echoMode(), QLineEdit::Password);

        // The toolbar shows the tiled picture behind its buttons.
        auto* toolbar = screen->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        const QImage shown = toolbar->grab().toImage();
        const QImage picture = ToolbarSkin::picture().toImage();
        const int x = toolbar->width() - 3;
        QCOMPARE(shown.pixelColor(x, 5), picture.pixelColor(x % 160, 5));
        QCOMPARE(shown.pixelColor(x, 17), picture.pixelColor(x % 160, 17 % 12));
        QCOMPARE(TestScreens::buttons(screen), QStringLiteral("增加+ 修改- 删除- 保存- 发卡- 挂失- 初始化+ 充值+ 退出+"));
        screen->close();
    }

    void rowsShowRunningNumbersAndEveryValueAsText()
    {
        TestScreens t;
        t.database.addMember(QStringLiteral("9000000000003"), QStringLiteral("王芳"), QStringLiteral("150.5"), QStringLiteral("12"));
        t.database.addMember(QStringLiteral("1000000000001"), QStringLiteral("O'Brien"));
        t.database.addMember(QStringLiteral("5000000000002"), QStringLiteral("  张'三  "), QStringLiteral("0"), QStringLiteral("7"));
        // Null columns show empty instead of breaking the list.
        t.database.exec(QStringLiteral("INSERT INTO kelm (卡号, 姓名) VALUES ('4', NULL)"));
        Form1* screen = open();
        QCOMPARE(list(screen)->rowCount(), 4);
        QCOMPARE(row(screen, 0), QStringList({"1", "2026-12-01", "王芳", "9000000000003", "ID9000000000003", "地址王芳",
                                              "13800000003", "150.5", "12"}));
        QCOMPARE(cell(screen, 1, 7), QStringLiteral("0"));
        QCOMPARE(cell(screen, 1, 8), QStringLiteral("0"));
        QCOMPARE(cell(screen, 2, 0), QStringLiteral("3"));
        QCOMPARE(cell(screen, 2, 2), QStringLiteral("  张'三  "));
        QCOMPARE(cell(screen, 3, 2), QString());
        QCOMPARE(cell(screen, 3, 3), QStringLiteral("4"));
        screen->close();
    }

    void clickingARowFillsFiveFieldsAndEnablesTheRowCommands()
    {
        TestScreens t;
        t.database.addMember(QStringLiteral("1000000000001"), QStringLiteral("张三"));
        t.database.addMember(QStringLiteral("2000000000002"), QStringLiteral("李四"), QStringLiteral("5"), QStringLiteral("9"), QStringLiteral("8866"));
        Form1* screen = open();
        TestScreens::clickRow(screen, 1);
        // The password box is not filled from the list.
        QCOMPARE(TestScreens::texts(screen, {"Text1", "Text5", "Text6", "Text2", "Text3", "Text4"}),
                 QStringList({"李四", "2000000000002", "ID2000000000002", "地址李四", "13800000002", "462"}));
        QCOMPARE(TestScreens::buttons(screen), QStringLiteral("增加+ 修改+ 删除+ 保存- 发卡+ 挂失+ 初始化+ 充值+ 退出+"));
        QCOMPARE(screen->selectedRow(), 2);
        // Nothing is read from the database: a change made elsewhere shows only after a reload.
        t.database.exec(QStringLiteral("UPDATE kelm SET 姓名='改' WHERE 卡号='1000000000001'"));
        TestScreens::clickRow(screen, 0);
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text1"))->text(), QStringLiteral("张三"));
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
        Form1* screen = open();
        QCOMPARE(list(screen)->rowCount(), 40000);
        // 40000 lies beyond a 16-bit row number; 7232 and 32767 are where such a number would
        // wrap or stop.
        TestScreens::clickRow(screen, 39999);
        QCOMPARE(TestScreens::texts(screen, {"Text1", "Text5"}), QStringList({"会员40000", "2026000040000"}));
        QCOMPARE(screen->selectedRow(), 40000);
        TestScreens::button(screen, QStringLiteral("修改"))->trigger();
        QLineEdit* name = TestScreens::box(screen, QStringLiteral("Text1"));
        QVERIFY(name->isEnabled());
        name->clear();
        TestScreens::type(name, QStringLiteral("改名会员"));
        TestScreens::button(screen, QStringLiteral("保存"))->trigger();

        QCOMPARE(t.messages.texts(), QStringList({"修改成功"}));
        QCOMPARE(t.database.scalar(QStringLiteral("SELECT 姓名||'|'||联系地址 FROM kelm WHERE 卡号='2026000040000'")),
                 QStringLiteral("改名会员|地址40000"));
        // Every other member keeps the name that goes with the card number.
        QCOMPARE(t.database.scalar(QStringLiteral(
                     "SELECT count(*) FROM kelm WHERE 姓名 <> '会员' || cast(cast(substr(卡号, 5) as integer) as text)")),
                 QStringLiteral("1"));
        for (const char* card : {"2026000007232", "2026000032767", "2026000032768"}) {
            const QString sql = QStringLiteral("SELECT 姓名 FROM kelm WHERE 卡号='%1'").arg(QLatin1String(card));
            QCOMPARE(t.database.scalar(sql), QStringLiteral("会员") + QString::number(QString::fromLatin1(card).right(5).toInt()));
        }
        // The reloaded list shows the change in the same row.
        QCOMPARE(list(screen)->rowCount(), 40000);
        QCOMPARE(cell(screen, 39999, 2), QStringLiteral("改名会员"));
        QCOMPARE(cell(screen, 39999, 0), QStringLiteral("40000"));
        screen->close();
    }
};

QTEST_MAIN(MemberListTest)
#include "MemberListTest.moc"
