// The points screen's load: its member boxes and the gift list.
#include "TestScreens.h"

#include "points/Form4.h"

#include <kelm/Class1.h>

#include <QTableView>
#include <QTest>

using namespace kelm;

class PointsScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestScreens::settle(); }

    void loadListsTheGiftsWithTheirPointsAndStock()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("20"), QStringLiteral("80"));
        t.database.addGift(QStringLiteral("雨'伞"), QStringLiteral("0"), QStringLiteral("2.5"));
        t.database.exec(QStringLiteral("INSERT INTO lpgl (名称, 数量, 积分) VALUES (NULL, NULL, NULL)"));
        Class1().jfgl(true);
        QWidget* screen = TestScreens::visibleWindow(QStringLiteral("Form4"));
        QVERIFY(screen);
        auto* view = screen->findChild<QTableView*>(QStringLiteral("ListView1"));
        QAbstractItemModel* model = view->model();
        QStringList headers;
        for (int i = 0; i < model->columnCount(); ++i)
            headers << model->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"序号", "名称", "积分", "数量"}));
        QCOMPARE(view->columnWidth(1), static_cast<int>(static_cast<float>(view->width()) / 5.0f));
        QCOMPARE(model->rowCount(), 3);
        auto row = [&](int r) {
            QStringList cells;
            for (int c = 0; c < 4; ++c)
                cells << model->index(r, c).data().toString();
            return cells;
        };
        QCOMPARE(row(0), QStringList({"1", "保温杯", "80", "20"}));
        QCOMPARE(row(1), QStringList({"2", "雨'伞", "2.5", "0"}));
        // A gift with empty values is shown, not dropped.
        QCOMPARE(row(2), QStringList({"3", "", "", ""}));

        for (const char* name : {"Text5", "Text1", "Text3", "Text6", "Text2", "Text4"})
            QVERIFY2(!TestScreens::box(screen, QString::fromLatin1(name))->isEnabled(), name);
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text1"))->text(), QStringLiteral("Vip"));
        QStringList keys;
        for (const QString& key : Form4::Commands)
            keys << TestScreens::button(screen, key)->text();
        QCOMPARE(keys, QStringList({"读卡", "积分兑换", "积分修改", "礼品管理", "保存", "退出"}));
        TestScreens::button(screen, QStringLiteral("退出"))->trigger();
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form4")), nullptr);
        QVERIFY(!t.module().sharedConnection().isOpen());
    }
};

QTEST_MAIN(PointsScreenTest)
#include "PointsScreenTest.moc"
