// How the host's calls show, reload and close the screens, and what closing does to the reader
// and the connection.
#include "TestScreens.h"

#include "members/Form1.h"
#include "points/Form4.h"

#include <kelm/Class1.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

using namespace kelm;

namespace {

int listRows(QWidget* screen)
{
    auto* list = screen->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    return list ? list->model()->rowCount() : -1;
}

} // namespace

class LifecycleTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        TestScreens::settle();
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    }

    void falseOrNoArgumentShowsNothingAndTrueShowsOneScreen()
    {
        TestScreens t;
        Class1 host;
        QCOMPARE(host.kelm(), false);
        QCOMPARE(host.kelm(false), false);
        QCOMPARE(host.jfgl(false), false);
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form1")), nullptr);
        QCOMPARE(TestScreens::window(QStringLiteral("Form1")), nullptr);

        t.database.addMember(QStringLiteral("2026120500001"), QStringLiteral("张三"));
        QCOMPARE(host.kelm(true), false);
        QWidget* screen = TestScreens::visibleWindow(QStringLiteral("Form1"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("会员管理"));
        QCOMPARE(t.module().operatorName(), QStringLiteral("收银员甲"));
        QVERIFY(t.module().sharedConnection().isOpen());

        // A second call, from another host object too, leaves one screen and does not reload it.
        t.database.addMember(QStringLiteral("2026120500002"), QStringLiteral("李四"));
        Class1().kelm(true);
        QCOMPARE(TestScreens::visibleWindowCount(QStringLiteral("Form1")), 1);
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form1")), screen);
        QCOMPARE(listRows(screen), 1);
        screen->close();
    }

    void exitClosesReaderAndConnectionAndTheNextCallLoadsAfresh()
    {
        TestScreens t;
        t.database.addMember(QStringLiteral("2026120500001"), QStringLiteral("张三"));
        Class1 host;
        host.kelm(true);
        QWidget* screen = TestScreens::visibleWindow(QStringLiteral("Form1"));
        TestScreens::box(screen, QStringLiteral("Text5"))->setText(QStringLiteral("typed"));
        TestScreens::button(screen, QStringLiteral("退出"))->trigger();
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form1")), nullptr);
        // No card command opened the reader: reset and exit still go out, with -1.
        QCOMPARE(t.fakeReader.calls, QStringList({QStringLiteral("rf_reset(-1,10)"), QStringLiteral("rf_exit(-1)")}));
        QCOMPARE(t.module().readerPort().handle(), -1);
        QVERIFY(!t.module().sharedConnection().isOpen());

        t.database.addMember(QStringLiteral("2026120500002"), QStringLiteral("李四"));
        host.kelm(true);
        screen = TestScreens::visibleWindow(QStringLiteral("Form1"));
        QCOMPARE(listRows(screen), 2);
        QCOMPARE(TestScreens::box(screen, QStringLiteral("Text5"))->text(), QString());
        QVERIFY(t.module().sharedConnection().isOpen());
        screen->close();
    }

    void thePointsScreenLoadResetsTheReaderAndTheCloseBoxRunsTheSameStepsAsExit()
    {
        TestScreens t;
        ReaderPort& port = t.module().readerPort();
        port.openIfClosed();
        QVERIFY(port.handle() > 0);
        Class1 host;
        host.jfgl(true);
        QCOMPARE(port.handle(), -1);
        port.openIfClosed();
        const std::int32_t handle = port.handle();
        t.fakeReader.calls.clear();
        TestScreens::visibleWindow(QStringLiteral("Form4"))->close();
        QCOMPARE(t.fakeReader.calls, QStringList({QStringLiteral("rf_reset(%1,10)").arg(handle),
                                                  QStringLiteral("rf_exit(%1)").arg(handle)}));
        QCOMPARE(t.module().readerPort().handle(), -1);
        QVERIFY(!t.module().sharedConnection().isOpen());
    }

    void aFailedLoadReachesTheHostAndShowsNothing()
    {
        TestScreens t;
        t.database.writeConfig(QStringLiteral("[config]\n数据库名称=missing.db\n"));
        Class1 host;
        try {
            host.kelm(true);
            QFAIL("the load did not fail");
        } catch (const Error& failure) {
            QVERIFY(QString::fromUtf8(failure.what()).contains(QStringLiteral("missing.db")));
        }
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form1")), nullptr);
        QVERIFY(!QFile::exists(t.database.folder() + QStringLiteral("/missing.db")));

        // Mended settings take effect at the next call.
        t.database.writeConfig(t.database.configLines());
        host.kelm(true);
        QVERIFY(TestScreens::visibleWindow(QStringLiteral("Form1")));
        TestScreens::visibleWindow(QStringLiteral("Form1"))->close();
    }

    void aMissingTableFailsTheLoad()
    {
        TestScreens t;
        t.database.exec(QStringLiteral("DROP TABLE lpgl"));
        Class1 host;
        QVERIFY_THROWS_EXCEPTION(Error, host.jfgl(true));
        TestScreens::settle();
        QCOMPARE(TestScreens::visibleWindow(QStringLiteral("Form4")), nullptr);
        QVERIFY(!t.module().sharedConnection().isOpen());
    }

    void bothScreensShareTheConnectionAndClosingOneKeepsTheOtherWorking()
    {
        TestScreens t;
        t.database.addGift(QStringLiteral("雨伞"), QStringLiteral("3"), QStringLiteral("50"));
        Class1 host;
        host.kelm(true);
        host.jfgl(true);
        QWidget* points = TestScreens::visibleWindow(QStringLiteral("Form4"));
        QCOMPARE(points->windowTitle(), QStringLiteral("积分管理"));
        QCOMPARE(listRows(points), 1);
        TestScreens::visibleWindow(QStringLiteral("Form1"))->close();
        QVERIFY(t.module().sharedConnection().isOpen());
        points->close();
        QVERIFY(!t.module().sharedConnection().isOpen());
    }
};

QTEST_MAIN(LifecycleTest)
#include "LifecycleTest.moc"
