// How the host's calls show, reload and close the screens, and what closing does to the reader and
// the connection. What a host outside the process sees (titles, a failed first load) is in
// CInterfaceTest.
#include "Till.h"

#include <kelm/Class1.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace kelm;

class LifecycleTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        Till::settle();
        for (QWidget* window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    }

    void trueShowsOneScreenWhichExitClosesAndTheNextCallLoadsAfresh()
    {
        Till till;
        Class1 host;
        QCOMPARE(host.kelm(), false);
        QCOMPARE(host.jfgl(false), false);
        QVERIFY(!Till::loaded("Form1") && !Till::loaded("Form4"));

        till.database.addMember(QStringLiteral("2026120500001"), QStringLiteral("张三"));
        QCOMPARE(host.kelm(true), false);
        // A second call, from another host object too, leaves one screen and does not reload it.
        till.database.addMember(QStringLiteral("2026120500002"), QStringLiteral("李四"));
        Class1().kelm(true);
        QCOMPARE(Till::rows("Form1"), 1);

        Till::box("Form1", "Text5")->setText(QStringLiteral("typed"));
        till.reader.arm(0);
        Till::press("Form1", "退出");
        Till::settle();
        QVERIFY(!Till::loaded("Form1"));
        // No card command opened the reader: reset and exit still go out, on the closed port.
        QCOMPARE(till.reader.calls(), QStringList({"rf_reset", "rf_exit"}));
        QCOMPARE(till.module().readerPort().handle(), -1);
        QVERIFY(!till.module().sharedConnection().isOpen());
        host.kelm(true);
        QCOMPARE(Till::rows("Form1"), 2);
        QCOMPARE(Till::text("Form1", "Text5"), QString());
        Till::window("Form1")->close();
    }

    void thePointsScreenLoadForgetsTheReaderAndItsCloseBoxClosesIt()
    {
        Till till;
        ReaderPort& port = till.module().readerPort();
        port.openIfClosed();
        QVERIFY(port.handle() > 0);
        Class1().jfgl(true);
        QCOMPARE(port.handle(), -1);
        port.openIfClosed();
        till.reader.arm(0);
        Till::window("Form4")->close();
        QCOMPARE(till.reader.calls(), QStringList({"rf_reset", "rf_exit"}));
        QCOMPARE(port.handle(), -1);
        QVERIFY(!till.module().sharedConnection().isOpen());
    }

    // Closing one screen keeps the connection the other uses; a load that fails leaves it open too, and
    // the last screen to close closes it.
    void bothScreensShareTheConnectionAndClosingOneKeepsTheOtherWorking()
    {
        Till till;
        till.database.addGift(QStringLiteral("雨伞"), QStringLiteral("3"), QStringLiteral("50"));
        Class1 host;
        host.kelm(true);
        host.jfgl(true);
        Till::window("Form1")->close();
        QVERIFY(till.module().sharedConnection().isOpen());
        QCOMPARE(Till::rows("Form4"), 1);
        Till::window("Form4")->close();
        QVERIFY(!till.module().sharedConnection().isOpen());

        host.kelm(true);
        till.database.exec(QStringLiteral("DROP TABLE lpgl"));
        QVERIFY_THROWS_EXCEPTION(Error, host.jfgl(true));
        Till::settle();
        QVERIFY(!Till::loaded("Form4"));
        QVERIFY(till.module().sharedConnection().isOpen());
        Till::window("Form1")->close();
        QVERIFY(!till.module().sharedConnection().isOpen());
    }
};

QTEST_MAIN(LifecycleTest)
#include "LifecycleTest.moc"
