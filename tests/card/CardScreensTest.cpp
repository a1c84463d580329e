// The member screen's card commands on the card lying on the reader config.ini chooses: the
// simulated reader, or the PC/SC reader with kelm-testcard behind vpcd.
#include "ReaderBench.h"
#include "TestScreens.h"

#include "members/Form1.h"

#include <kelm/Class1.h>

#include <QPointer>
#include <QTableView>
#include <QTest>

using namespace kelm;

namespace {

const QString Member = QStringLiteral("2026120512345");

// The member screen with one member in the list and a blank card on the reader.
struct CardDesk
{
    ReaderBench bench;
    std::uint32_t serial = bench.layNewCard();
    std::unique_ptr<ReaderLibrary> reader = bench.readerFromConfig();
    TestScreens t { reader.get() };
    // The screen deletes itself when the cashier closes it.
    QPointer<Form1> screen;

    CardDesk()
    {
        t.database.exec(QStringLiteral("DELETE FROM bz; INSERT INTO bz VALUES ('A7')"));
        t.database.addMember(Member, QStringLiteral("张三"));
        Class1().kelm(true);
        screen = static_cast<Form1*>(TestScreens::visibleWindow(QStringLiteral("Form1")));
    }
    ~CardDesk()
    {
        if (screen && screen->isVisible()) {
            screen->close();
        }
        TestScreens::settle();
    }
    void press(const char* key) { TestScreens::button(screen, QString::fromUtf8(key))->trigger(); }
    void selectMember()
    {
        auto* list = screen->findChild<QTableView*>(QStringLiteral("ListView1"));
        const QModelIndex index = list->model()->index(0, 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }
    MifareCard card() { return *bench.folder().load(serial); }
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
    void cleanup() { TestScreens::settle(); }

    void initialiseThenIssueMakesTheCardAMemberCard()
    {
        CardDesk d;
        d.press("初始化");
        QCOMPARE(d.t.messages.texts(), QStringList({ "初始化成功！" }));
        const MifareCard::Key key { 0xA7, 0, 0, 0, 0, 0 };
        QCOMPARE(d.card().keyA(5), key);
        QCOMPARE(d.card().keyB(5), key);
        QCOMPARE(d.card().accessBytes(5), (std::array<std::uint8_t, 4> { 0xFF, 0x07, 0x80, 0x69 }));
        QCOMPARE(d.block20(), QByteArray(16, '\0'));

        d.selectMember();
        d.press("发卡");
        QCOMPARE(d.t.messages.texts(), QStringList({ "初始化成功！", "发卡成功！" }));
        QCOMPARE(d.block20(), QByteArray("000") + Member.toLatin1());

        // Issued once: the card refuses a second number, and the factory key no longer opens it.
        TestScreens::box(d.screen, QStringLiteral("Text5"))->setText(QStringLiteral("2026120500000"));
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("此卡已经发行，不能重复发卡！"));
        d.press("初始化");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("初始化失败！"));
        QCOMPARE(d.block20(), QByteArray("000") + Member.toLatin1());
        QCOMPARE(d.card().keyA(5), key);
    }

    void withoutInitialisingOrWithoutACardNothingIsWritten()
    {
        CardDesk d;
        d.selectMember();
        d.press("发卡");
        QCOMPARE(d.t.messages.texts(), QStringList({ "发卡失败！" }));
        QCOMPARE(d.block20(), QByteArray(16, '\0'));

        QVERIFY(d.bench.takeOff());
        d.press("初始化");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("初始化失败！"));
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("发卡失败！"));

        // Laid back on the reader, the same screen carries on.
        QVERIFY(d.bench.lay(d.serial));
        d.press("初始化");
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().mid(3), QStringList({ "初始化成功！", "发卡成功！" }));
        QCOMPARE(d.block20(), QByteArray("000") + Member.toLatin1());
    }

    void theIssuedCardIsToppedUpAndRedeemedOnTheOtherScreens()
    {
        CardDesk d;
        d.t.database.exec(QStringLiteral("UPDATE kelm SET 积分 = 300"));
        d.t.database.addGift(QStringLiteral("保温杯"), QStringLiteral("5"), QStringLiteral("120"));
        d.press("初始化");
        d.selectMember();
        d.press("发卡");
        QCOMPARE(d.t.messages.texts(), QStringList({ "初始化成功！", "发卡成功！" }));

        // The member still has the default password: the recharge dialog opens at once.
        d.press("充值");
        QWidget* recharge = TestScreens::visibleWindow(QStringLiteral("Form2"));
        QVERIFY(recharge);
        QCOMPARE(TestScreens::box(recharge, QStringLiteral("Text5"))->text(), QStringLiteral("000") + Member);
        QLineEdit* amount = TestScreens::box(recharge, QStringLiteral("Text7"));
        TestScreens::type(amount, QStringLiteral("50"));
        QTest::keyClick(amount, Qt::Key_Return);
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("充值成功！"));
        QCOMPARE(d.t.database.scalar(QStringLiteral("SELECT 余额 FROM kelm")), QStringLiteral("50"));
        recharge->close();
        TestScreens::settle();

        Class1().jfgl(true);
        QWidget* points = TestScreens::visibleWindow(QStringLiteral("Form4"));
        QVERIFY(points);
        TestScreens::button(points, QStringLiteral("读卡"))->trigger();
        QCOMPARE(TestScreens::box(points, QStringLiteral("Text5"))->text(), QStringLiteral("000") + Member);
        QCOMPARE(TestScreens::box(points, QStringLiteral("Text4"))->text(), QStringLiteral("300"));
        auto* gifts = points->findChild<QTableView*>(QStringLiteral("ListView1"));
        const QModelIndex gift = gifts->model()->index(0, 1);
        QTest::mouseClick(gifts->viewport(), Qt::LeftButton, {}, gifts->visualRect(gift).center());
        TestScreens::button(points, QStringLiteral("积分兑换"))->trigger();
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("兑换成功"));
        QCOMPARE(d.t.database.scalar(QStringLiteral("SELECT 积分 FROM kelm")), QStringLiteral("180"));
        QCOMPARE(d.t.database.scalar(QStringLiteral("SELECT 数量 FROM lpgl")), QStringLiteral("4"));
        QCOMPARE(d.t.database.count(QStringLiteral("lpdhjr")), 1);
        points->close();
    }

    void closingTheScreenClosesTheReader()
    {
        CardDesk d;
        d.press("初始化");
        QVERIFY(d.t.module().readerHandle > 0);
        d.press("退出");
        TestScreens::settle();
        QCOMPARE(d.t.module().readerHandle, -1);
        QCOMPARE(d.card().keyA(5), (MifareCard::Key { 0xA7, 0, 0, 0, 0, 0 }));
    }
};

QTEST_MAIN(CardScreensTest)
#include "CardScreensTest.moc"
