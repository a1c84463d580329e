// How the host's calls show, reload and close the screens, and what closing does to the reader and
// the connection.
#include "Till.h"

#include <kelm/Class1.h>

#include <QApplication>
#include <QFile>
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
        QCOMPARE(Till::window("Form1")->windowTitle(), QStringLiteral("会员管理"));
        QCOMPARE(till.module().operatorName(), QStringLiteral("收银员甲"));
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

    void aFailedLoadReachesTheHostAndShowsNothing()
    {
        Till till;
        till.database.writeConfig(QStringLiteral("[config]\n数据库名称=missing.db\n"));
        Class1 host;
        try {
            host.kelm(true);
            QFAIL("the load did not fail");
        } catch (const Error& failure) {
            QVERIFY(QString::fromUtf8(failure.what()).contains(QStringLiteral("missing.db")));
        }
        Till::settle();
        QVERIFY(!Till::loaded("Form1"));
        QVERIFY(!QFile::exists(till.database.folder() + QStringLiteral("/missing.db")));
        // Mended settings take effect at the next call; a missing table fails the points screen's load.
        till.database.writeConfig(till.database.configLines());
        till.database.exec(QStringLiteral("DROP TABLE lpgl"));
        host.kelm(true);
        QVERIFY(Till::window("Form1"));
        QVERIFY_THROWS_EXCEPTION(Error, host.jfgl(true));
        Till::settle();
        QVERIFY(!Till::loaded("Form4"));
        QVERIFY(till.module().sharedConnection().isOpen());
        Till::window("Form1")->close();
    }

    void bothScreensShareTheConnectionAndClosingOneKeepsTheOtherWorking()
    {
        Till till;
        till.database.addGift(QStringLiteral("雨伞"), QStringLiteral("3"), QStringLiteral("50"));
        Class1 host;
        host.kelm(true);
        host.jfgl(true);
        QCOMPARE(Till::window("Form4")->windowTitle(), QStringLiteral("积分管理"));
        Till::window("Form1")->close();
        QVERIFY(till.module().sharedConnection().isOpen());
        QCOMPARE(Till::rows("Form4"), 1);
        Till::window("Form4")->close();
        QVERIFY(!till.module().sharedConnection().isOpen());
    }
};

QTEST_MAIN(LifecycleTest)
#include "LifecycleTest.moc"
