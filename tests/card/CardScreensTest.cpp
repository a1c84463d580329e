// The member screen's card commands on the card lying on the reader config.ini chooses: the
// simulated reader, or the PC/SC reader with kelm-testcard behind vpcd.
#include "ReaderBench.h"
#include "Till.h"

#include <kelm/Class1.h>

#include <QLineEdit>

#include <QTest>

using namespace kelm;

namespace {

const QString Member = QStringLiteral("2026120512345");

enum class Held { No, Exclusively, InATransaction };

// The reader this run was registered for, with a blank card on it.
struct Bench
{
    ReaderBench bench;
    std::uint32_t blank = bench.layNewCard();
    std::unique_ptr<ReaderLibrary> reader;

    explicit Bench(const QString& readerName)
        : reader(bench.readerFromConfig(readerName))
    {
    }
};

// The member screen with one member in its list, over that reader.
struct Desk : Bench, Till
{
    // On PC/SC, another reader than the test card's when given.
    explicit Desk(const QString& readerName = {})
        : Bench(readerName)
        , Till(Bench::reader.get())
    {
        database.addMember(Member, QStringLiteral("张三"));
        open("kelm");
    }

    const std::uint32_t& serial = blank;
    static void press(const char* key) { Till::press("Form1", key); }
    static void selectMember() { clickRow("Form1", 0); }
    QString lastMessage() const { return messages.texts().value(messages.texts().size() - 1); }
    MifareCard card() { return *bench.folder().load(blank); }
    QByteArray block20()
    {
        const MifareCard::Block block = card().rawBlock(20);
        return QByteArray(reinterpret_cast<const char*>(block.data()), 16);
    }
};

} // namespace

class CardScreensTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString reason = ReaderBench::unavailable();
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
    }
    void cleanup() { Till::settle(); }

    // 发卡 writes what the card number box holds, blanks and all, onto an initialised card and the card
    // itself guards against a second issue; a card missing or not initialised is written nothing.
    void initialiseThenIssueMakesTheCardAMemberCard()
    {
        Desk d;
        d.selectMember();
        d.press("发卡");
        QCOMPARE(d.block20(), QByteArray(16, '\0'));
        QVERIFY(d.bench.takeOff());
        d.press("初始化");
        d.press("发卡");
        // Laid back on the reader, the same screen carries on. A card that refused the card key falls silent;
        // lying there still, it is woken for the next command.
        QVERIFY(d.bench.lay(d.serial));
        d.press("发卡");
        d.press("初始化");
        QCOMPARE(d.messages.texts(), QStringList({ "发卡失败！", "初始化失败！", "发卡失败！", "发卡失败！", "初始化成功！" }));
        const MifareCard::Key key { 0xA7, 0, 0, 0, 0, 0 };
        QCOMPARE(d.card().keyA(5), key);
        QCOMPARE(d.card().keyB(5), key);
        QCOMPARE(d.card().accessBytes(5), (std::array<std::uint8_t, 4> { 0xFF, 0x07, 0x80, 0x69 }));
        QCOMPARE(d.block20(), QByteArray(16, '\0'));

        Till::box("Form1", "Text5")->setText(QStringLiteral(" 12 "));
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("发卡成功！"));
        QCOMPARE(d.block20(), QByteArray("000 12          "));
        // Issued once: the card refuses a second number, also when it was taken away after its last read,
        // and the factory key no longer opens it.
        Till::box("Form1", "Text5")->setText(Member);
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("此卡已经发行，不能重复发卡！"));
        QVERIFY(d.bench.takeOff());
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("此卡已经发行，不能重复发卡！"));
        QVERIFY(d.bench.lay(d.serial));
        d.press("初始化");
        QCOMPARE(d.lastMessage(), QStringLiteral("初始化失败！"));
        QCOMPARE(d.block20(), QByteArray("000 12          "));

        // Closing the screen closes the reader; the card keeps what was written to it.
        QVERIFY(d.module().readerPort().handle() > 0);
        d.press("退出");
        Till::settle();
        QCOMPARE(d.module().readerPort().handle(), -1);
        QCOMPARE(d.card().keyA(5), key);
    }

    void aCardOfAnotherKindOrAReaderHeldElsewhereIsToldAndNothingIsWritten_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<int>("holder");
        QTest::addColumn<QString>("message");
        const QString held = QStringLiteral("读卡器正被其他程序占用，初始化失败！");
        QTest::newRow("a Classic 4K card")
            << ReaderBench::Classic4kReader << int(Held::No)
            << QStringLiteral("此卡不是会员卡（会员卡是 MIFARE Classic 1K 卡），初始化失败！");
        QTest::newRow("held exclusively") << QString() << int(Held::Exclusively) << held;
        QTest::newRow("held in a transaction") << QString() << int(Held::InATransaction) << held;
    }

    void aCardOfAnotherKindOrAReaderHeldElsewhereIsToldAndNothingIsWritten()
    {
        if (!ReaderBench::onPcsc()) {
            QSKIP("the simulated reader has one kind of card and no other program");
        }
        QFETCH(QString, reader);
        QFETCH(int, holder);
        QFETCH(QString, message);
        Desk d(reader);
        const MifareCard::Block trailer = d.card().rawBlock(23);
        std::unique_ptr<QProcess> other;
        if (holder != int(Held::No)) {
            other = ReaderBench::holdReader(holder == int(Held::Exclusively));
            QVERIFY(other);
        }
        d.press("初始化");
        QCOMPARE(d.lastMessage(), message);
        QCOMPARE(d.card().rawBlock(23), trailer);
        if (other) {
            // Once the other program lets go, the same screen carries on.
            other.reset();
            d.press("初始化");
            QCOMPARE(d.lastMessage(), QStringLiteral("初始化成功！"));
        }
    }

    void theIssuedCardIsToppedUpAndRedeemedOnTheOtherScreens_data()
    {
        QTest::addColumn<QString>("member");
        QTest::newRow("added in the afternoon") << Member;
        // Added before ten o'clock: the card text carries a blank after the 12-character number.
        QTest::newRow("added at 09:59:55") << QStringLiteral("202612609595");
    }

    void theIssuedCardIsToppedUpAndRedeemedOnTheOtherScreens()
    {
        QFETCH(QString, member);
        const QString cardText = (QStringLiteral("000") + member).leftJustified(16);
        Desk d;
        d.database.exec(QStringLiteral("UPDATE kelm SET 积分 = 300, 卡号 = '%1'").arg(member));
        d.database.addGift(QStringLiteral("保温杯"), QStringLiteral("5"), QStringLiteral("120"));
        d.press("初始化");
        d.selectMember();
        Till::box("Form1", "Text5")->setText(member);
        d.press("发卡");
        QCOMPARE(d.messages.texts(), QStringList({ "初始化成功！", "发卡成功！" }));

        // The member still has the default password: the recharge dialog opens at once.
        d.press("充值");
        QWidget* recharge = Till::window("Form2");
        QVERIFY(recharge);
        QCOMPARE(Till::text("Form2", "Text5"), cardText);
        Till::enter("Form2", "Text7", QStringLiteral("50"));
        QCOMPARE(d.lastMessage(), QStringLiteral("充值成功！"));
        QCOMPARE(d.database.scalar(QStringLiteral("SELECT 余额 FROM kelm")), QStringLiteral("50"));
        recharge->close();
        Till::settle();

        Class1().jfgl(true);
        QWidget* points = Till::window("Form4");
        QVERIFY(points);
        Till::press("Form4", "读卡");
        QCOMPARE(Till::texts("Form4", { "Text5", "Text4" }), QStringList({ cardText, "300" }));
        Till::clickRow("Form4", 0);
        Till::press("Form4", "积分兑换");
        QCOMPARE(d.lastMessage(), QStringLiteral("兑换成功"));
        QCOMPARE(d.database.scalar(QStringLiteral("SELECT 积分 FROM kelm")), QStringLiteral("180"));
        QCOMPARE(d.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl")), QStringLiteral("4"));
        QCOMPARE(d.database.count(QStringLiteral("lpdhjr")), 1);
        points->close();
    }
};

QTEST_MAIN(CardScreensTest)
#include "CardScreensTest.moc"
