// A C host with libkelm.so and config.ini in a folder of its own, as a till installs them.
#include "TestDatabase.h"

#include <kelm/Class1.h>
#include <kelm/kelm.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class CInterfaceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_install;

    // Runs the C host from the install folder; returns what it printed, then its exit code when not 0.
    QStringList run(const QStringList& arguments,
                    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        QProcess host;
        host.setProgram(m_install.filePath(QStringLiteral("c_host")));
        host.setArguments(arguments);
        host.setProcessEnvironment(environment);
        host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        host.start();
        if (!host.waitForFinished(60000))
            return {QStringLiteral("timed out")};
        if (host.exitStatus() != QProcess::NormalExit)
            return {QStringLiteral("host crashed")};
        QStringList out = QString::fromUtf8(host.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        if (host.exitCode() != 0)
            out << QStringLiteral("exit %1").arg(host.exitCode());
        return out;
    }

private slots:
    void initTestCase()
    {
        // The hosts below find config.ini beside the library, or where a case names it.
        qunsetenv("KELM_CONFIG");
        const QString library = QStringLiteral(KELM_LIBRARY);
        QVERIFY(QFile::copy(QStringLiteral(C_HOST), m_install.filePath(QStringLiteral("c_host"))));
        QVERIFY(QFile::copy(library, m_install.filePath(QFileInfo(library).fileName())));
    }

    void showsTheMemberScreenWithEveryMember()
    {
        TestDatabase t;
        t.addMember(QStringLiteral("2026120500001"), QStringLiteral("张三"), QStringLiteral("150.5"), QStringLiteral("7"));
        t.addMember(QStringLiteral("2026120500002"), QStringLiteral("O'Brien"));
        QFile::remove(m_install.filePath(QStringLiteral("config.ini")));
        // On SQLite the till reaches the test's file through a link, as tills share a file on a network
        // drive; on a server it names the same database.
        QFile::remove(m_install.filePath(QStringLiteral("kelm.db")));
        if (TestDatabase::engine() == kelm::Engine::Sqlite)
            QVERIFY(QFile::link(t.databasePath(), m_install.filePath(QStringLiteral("kelm.db"))));
        QFile config(m_install.filePath(QStringLiteral("config.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(t.configLines().toUtf8());
        config.close();

        const QStringList out = run({QStringLiteral("kelm"), QStringLiteral("0"), QStringLiteral("show"),
                                     QStringLiteral("kelm"), QStringLiteral("1"), QStringLiteral("kelm"),
                                     QStringLiteral("1"), QStringLiteral("pump"), QStringLiteral("50"),
                                     QStringLiteral("show")});
        const QStringList expected = {
            QStringLiteral("call rc=0 result=0 error="), // kelm(0): nothing shown
            QStringLiteral("call rc=0 result=0 error="), // kelm(1)
            QStringLiteral("call rc=0 result=0 error="), // kelm(1) again: still one screen
            QStringLiteral("call rc=0 result=-1 error="), // pump
            QStringLiteral("window Form1 \"会员管理\""),
            QStringLiteral("rows 2"),
            QStringLiteral("row 1|2026-12-01|张三|2026120500001|ID2026120500001|地址张三|13800000001|150.5|7"),
            QStringLiteral("row 2|2026-12-01|O'Brien|2026120500002|ID2026120500002|地址O'Brien|13800000002|0|0"),
        };
        QCOMPARE(out, expected);

        // What another till saved shows at the next load.
        t.addMember(QStringLiteral("2026120500003"), QStringLiteral("王芳"));
        QCOMPARE(run({QStringLiteral("kelm"), QStringLiteral("1"), QStringLiteral("show")}).value(2), QStringLiteral("rows 3"));

        // Through the dispatch identifiers: the member screen not asked for, the points screen asked for.
        const QStringList late = run({QStringLiteral("invoke"), QStringLiteral("0x60030000"), QStringLiteral("0"),
                                      QStringLiteral("invoke"), QStringLiteral("0x60030001"), QStringLiteral("1"),
                                      QStringLiteral("invoke"), QStringLiteral("0x60030002"), QStringLiteral("1"),
                                      QStringLiteral("badargs"), QStringLiteral("show")});
        QCOMPARE(late.size(), 6);
        QCOMPARE(late.mid(0, 2), QStringList(2, QStringLiteral("call rc=0 result=0 error=")));
        QVERIFY2(late[2].startsWith(QStringLiteral("call rc=2 result=0 error=未知的调度标识")), qPrintable(late[2]));
        QVERIFY(late[3].startsWith(QStringLiteral("call rc=2")));
        QCOMPARE(late.mid(4), QStringList({QStringLiteral("window Form4 \"积分管理\""), QStringLiteral("rows 0")}));

        // The accounts screen, by its own function and by its dispatch identifier: one screen.
        QCOMPARE(run({QStringLiteral("zmcx"), QStringLiteral("0"), QStringLiteral("show"), QStringLiteral("zmcx"),
                      QStringLiteral("1"), QStringLiteral("invoke"), QStringLiteral("0x60030010"), QStringLiteral("1"),
                      QStringLiteral("show")}),
                 QStringList({QStringLiteral("call rc=0 result=0 error="), QStringLiteral("call rc=0 result=0 error="),
                              QStringLiteral("call rc=0 result=0 error="), QStringLiteral("window Form6 \"会员账目\"")}));
    }

    void failsWithAReasonWhenTheDatabaseCannotBeOpened()
    {
        // No config.ini beside the library (nor, on a test machine, in /etc/kelm): the paths looked at.
        QFile::remove(m_install.filePath(QStringLiteral("config.ini")));
        QStringList out = run({QStringLiteral("kelm"), QStringLiteral("1"), QStringLiteral("show"),
                               QStringLiteral("kelm"), QStringLiteral("0")});
        QCOMPARE(out.size(), 2);
        QVERIFY2(out[0].startsWith(QStringLiteral("call rc=1 result=0 error=找不到 config.ini：“%1”")
                                       .arg(m_install.filePath(QStringLiteral("config.ini")))),
                 qPrintable(out[0]));
        // The host goes on: the next call works (and clears the error).
        QCOMPARE(out[1], QStringLiteral("call rc=0 result=0 error="));

        // A config.ini elsewhere, named by KELM_CONFIG: its database is looked for beside it.
        QTemporaryDir elsewhere;
        QFile config(elsewhere.filePath(QStringLiteral("till.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[config]\n数据库名称=gone.db\n");
        config.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KELM_CONFIG"), config.fileName());
        out = run({QStringLiteral("kelm"), QStringLiteral("1"), QStringLiteral("show")}, environment);
        QCOMPARE(out, QStringList(QStringLiteral("call rc=1 result=0 error=无法打开数据库：数据库文件“%1”不存在。")
                                      .arg(elsewhere.filePath(QStringLiteral("gone.db")))));
        QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("gone.db"))));
    }

    // Where Qt could show no window, or the host's application object is not a QApplication, the host
    // hears why instead of being ended by Qt.
    void failsWithAReasonWhereNoWindowCanBeShown()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
            environment.remove(QString::fromLatin1(name));
        QCOMPARE(run({QStringLiteral("kelm"), QStringLiteral("1")}, environment),
                 QStringList({QStringLiteral("create error=无法显示窗口：没有设置 DISPLAY 环境变量，找不到 X 显示服务器。"),
                              QStringLiteral("exit 3")}));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":7391"));
        QCOMPARE(run({QStringLiteral("kelm"), QStringLiteral("1")}, environment),
                 QStringList({QStringLiteral("create error=无法显示窗口：连接不上 X 显示服务器“:7391”。"),
                              QStringLiteral("exit 3")}));

        // This test's own application object is a QCoreApplication.
        QCOMPARE(kelm_Class1_create(), nullptr);
        QVERIFY2(QString::fromUtf8(kelm_last_error()).contains(QStringLiteral("不是 QApplication")), kelm_last_error());
        try {
            kelm::Class1().jfgl(true);
            QFAIL("no error");
        } catch (const kelm::Error& error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(QStringLiteral("不是 QApplication")), error.what());
        }
    }
};

QTEST_GUILESS_MAIN(CInterfaceTest)
#include "CInterfaceTest.moc"
