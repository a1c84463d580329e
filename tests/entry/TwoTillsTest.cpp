// Two tills on one database, each its own process: what one saves the other sees at its next load,
// and a top-up never writes over a balance the other till changed after the recharge dialog read it.
#include "TestDatabase.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A till process (the test program kelm_till) on a config.ini of its own.
class Till
{
public:
    explicit Till(const QString& configPath)
    {
        m_process.setProgram(QStringLiteral(TILL_PROGRAM));
        m_process.setArguments({configPath});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        m_process.waitForStarted(30000);
    }
    ~Till()
    {
        m_process.write("quit\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(30000))
            m_process.kill();
    }
    Till(const Till&) = delete;
    Till& operator=(const Till&) = delete;

    QString ask(const QString& command)
    {
        m_process.write((command + u'\n').toUtf8());
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000))
                return QStringLiteral("<no answer>");
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

private:
    QProcess m_process;
};

} // namespace

class TwoTillsTest : public QObject
{
    Q_OBJECT

    // A till's install folder: config.ini naming the test database, which for SQLite is the same file
    // reached through a link, as tills share a file on a network drive.
    static void install(const TestDatabase& t, const QTemporaryDir& folder)
    {
        QFile config(folder.filePath(QStringLiteral("config.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write((t.configLines() + QStringLiteral("[dqcz]\n操作员=收银员乙\n")).toUtf8());
        if (TestDatabase::engine() == kelm::Engine::Sqlite)
            QVERIFY(QFile::link(t.databasePath(), folder.filePath(QStringLiteral("kelm.db"))));
    }

private slots:
    void aMemberSavedAtOneTillShowsAtTheOthersNextLoad()
    {
        TestDatabase t;
        QTemporaryDir tillA;
        QTemporaryDir tillB;
        install(t, tillA);
        install(t, tillB);
        QVERIFY(QFile::copy(QStringLiteral(C_HOST), tillB.filePath(QStringLiteral("c_host"))));
        const QString library = QStringLiteral(KELM_LIBRARY);
        QVERIFY(QFile::copy(library, tillB.filePath(QFileInfo(library).fileName())));

        Till a(tillA.filePath(QStringLiteral("config.ini")));
        QCOMPARE(a.ask(QStringLiteral("load")), QStringLiteral("open"));
        QCOMPARE(a.ask(QStringLiteral("add 2026120900001 王芳")), QStringLiteral("saved"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900001 150.5 0")), QStringLiteral("changed 1"));

        // Till B is the C host loading the member screen from its own folder.
        QProcess host;
        host.setProgram(tillB.filePath(QStringLiteral("c_host")));
        host.setArguments({QStringLiteral("kelm"), QStringLiteral("1"), QStringLiteral("pump"), QStringLiteral("50"),
                           QStringLiteral("show")});
        host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        host.start();
        QVERIFY(host.waitForFinished(60000));
        const QStringList shown = QString::fromUtf8(host.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(shown.contains(QStringLiteral("rows 1")), qPrintable(shown.join(u'\n')));
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QVERIFY2(shown.contains(QStringLiteral("row 1|%1|王芳|2026120900001||||150.5|0").arg(today)),
                 qPrintable(shown.join(u'\n')));
    }

    void aTopUpNeverWritesOverABalanceTheOtherTillChanged()
    {
        TestDatabase t;
        t.addMember(QStringLiteral("2026120900002"), QStringLiteral("李娜"), QStringLiteral("150.5"));
        QTemporaryDir tillA;
        QTemporaryDir tillB;
        install(t, tillA);
        install(t, tillB);
        Till a(tillA.filePath(QStringLiteral("config.ini")));
        Till b(tillB.filePath(QStringLiteral("config.ini")));
        QCOMPARE(a.ask(QStringLiteral("load")), QStringLiteral("open"));
        QCOMPARE(b.ask(QStringLiteral("load")), QStringLiteral("open"));

        // Both recharge dialogs show 150.5; B tops up 20 first, then A tries to top up 100.
        QCOMPARE(a.ask(QStringLiteral("balance 2026120900002")), QStringLiteral("150.5"));
        QCOMPARE(b.ask(QStringLiteral("balance 2026120900002")), QStringLiteral("150.5"));
        QCOMPARE(b.ask(QStringLiteral("topup 2026120900002 170.5 150.5")), QStringLiteral("changed 1"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900002 250.5 150.5")), QStringLiteral("changed 0"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 余额 FROM kelm WHERE 卡号='2026120900002'")), QStringLiteral("170.5"));

        // A reads again and its top-up goes through on the balance B left.
        QCOMPARE(a.ask(QStringLiteral("balance 2026120900002")), QStringLiteral("170.5"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900002 270.5 170.5")), QStringLiteral("changed 1"));
        QCOMPARE(b.ask(QStringLiteral("balance 2026120900002")), QStringLiteral("270.5"));
        QCOMPARE(t.count(QStringLiteral("kelm")), 1);
    }

    void theLoadedBalanceIsComparedAsANumber()
    {
        TestDatabase t;
        t.addMember(QStringLiteral("2026120900003"), QStringLiteral("刘洋"));
        QTemporaryDir tillA;
        install(t, tillA);
        Till a(tillA.filePath(QStringLiteral("config.ini")));
        QCOMPARE(a.ask(QStringLiteral("load")), QStringLiteral("open"));

        // Another program stored the balance with trailing zeros; the dialog shows it as 58.8.
        t.exec(QStringLiteral("UPDATE kelm SET 余额=58.80 WHERE 卡号='2026120900003'"));
        QCOMPARE(a.ask(QStringLiteral("balance 2026120900003")), QStringLiteral("58.8"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900003 68.8 58.8")), QStringLiteral("changed 1"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900003 78.8 068.80")), QStringLiteral("changed 1"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900003 99 68.8")), QStringLiteral("changed 0"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 余额 FROM kelm WHERE 卡号='2026120900003'")), QStringLiteral("78.8"));

        // A balance nobody ever set is NULL; a dialog that loaded nothing may fill it.
        t.exec(QStringLiteral("UPDATE kelm SET 余额=NULL WHERE 卡号='2026120900003'"));
        QCOMPARE(a.ask(QStringLiteral("balance 2026120900003")), QStringLiteral("null"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900003 10 0")), QStringLiteral("changed 0"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900003 10 -")), QStringLiteral("changed 1"));
        QCOMPARE(a.ask(QStringLiteral("topup 2026120900003 20 -")), QStringLiteral("changed 0"));
        QCOMPARE(t.scalar(QStringLiteral("SELECT 余额 FROM kelm WHERE 卡号='2026120900003'")), QStringLiteral("10"));
        QCOMPARE(a.ask(QStringLiteral("topup nobody 10 10")), QStringLiteral("changed 0"));
    }
};

QTEST_GUILESS_MAIN(TwoTillsTest)
#include "TwoTillsTest.moc"
