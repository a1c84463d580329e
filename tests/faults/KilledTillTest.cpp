// A till killed outright (power cut, kill -9) in the middle of its top-ups or redemptions never leaves
// money or points without their record: after every kill the balance is the first balance plus the
// recorded top-ups, and the points and the gift's stock are what they were less the recorded
// redemptions. The till is a process of its own (kelm_busy_till) killed at spread moments.
#include "Till.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>

using namespace kelm;

namespace {

const QString Member = QStringLiteral("2026120609595");
constexpr int Rounds = 15;

} // namespace

class KilledTillTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Till::settle(); }

    void moneyAndPointsAlwaysMatchTheirRecords_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::newRow("top-up") << "topup";
        QTest::newRow("redemption") << "redeem";
    }

    void moneyAndPointsAlwaysMatchTheirRecords()
    {
        QFETCH(QString, gesture);
        Till till;
        till.database.addMember(Member, QStringLiteral("张三"), QStringLiteral("100"), QStringLiteral("30000"));
        till.database.addGift(QStringLiteral("伞"), QStringLiteral("100000"), QStringLiteral("1"));
        Till::open("kelm");
        QVERIFY(till.layCard(Member));
        Till::window("Form1")->close();
        Till::settle();

        TestDatabase& db = till.database;
        for (int round = 0; round < Rounds; ++round) {
            QProcess busy;
            busy.setProgram(QStringLiteral(BUSY_TILL));
            busy.setArguments({db.configPath(), till.cardDir.path(), gesture});
            busy.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            busy.start();
            QVERIFY(busy.waitForReadyRead(30000));
            QCOMPARE(busy.readLine().trimmed(), QByteArray("ready"));
            // From at once to a few dozen gestures in: the kills fall all over the command.
            QTest::qSleep(static_cast<int>(QRandomGenerator::global()->bounded(60)));
            ::kill(static_cast<pid_t>(busy.processId()), SIGKILL);
            QVERIFY(busy.waitForFinished(30000));

            const QByteArray where = "after kill " + QByteArray::number(round + 1);
            for (const char* unrecorded : {"SELECT 余额 - 100 - (SELECT coalesce(sum(金额), 0) FROM qzjl) FROM kelm",
                                           "SELECT 30000 - 积分 - (SELECT coalesce(sum(积分), 0) FROM lpdhjr) FROM kelm",
                                           "SELECT 100000 - 数量 - (SELECT count(*) FROM lpdhjr) FROM lpgl"})
                QVERIFY2(db.scalar(QString::fromUtf8(unrecorded)).toDouble() == 0,
                         (where + ": " + unrecorded).constData());
        }
        // The till got to work between the kills.
        QVERIFY(db.count(gesture == QLatin1String("topup") ? QStringLiteral("qzjl") : QStringLiteral("lpdhjr")) > 0);
    }
};

QTEST_MAIN(KilledTillTest)
#include "KilledTillTest.moc"
