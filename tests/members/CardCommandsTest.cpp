// The member screen's card commands on a simulated card: initialise a blank card, issue it, and
// the refusals a cashier meets.
#include "TestScreens.h"

#include "card/CardFolder.h"
#include "card/SimulatedReader.h"
#include "members/Form1.h"

#include <kelm/Class1.h>

#include <QPointer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace kelm;

namespace {

const QString Member = QStringLiteral("2026120512345");

// A member screen over a card folder with one blank card lying on the simulated reader.
struct CardDesk
{
    QTemporaryDir cards;
    CardFolder folder{cards.path()};
    std::uint32_t serial = *folder.newCard();
    SimulatedReader reader{cards.path()};
    TestScreens t{&reader};
    QPointer<Form1> screen;

    explicit CardDesk(const QString& keyByte = QStringLiteral("A7"))
    {
        t.database.exec(QStringLiteral("DELETE FROM bz"));
        if (!keyByte.isNull())
            t.database.exec(QStringLiteral("INSERT INTO bz VALUES ('%1')").arg(keyByte));
        t.database.addMember(Member, QStringLiteral("张三"));
        folder.place(serial);
        Class1().kelm(true);
        screen = static_cast<Form1*>(TestScreens::visibleWindow(QStringLiteral("Form1")));
    }
    ~CardDesk()
    {
        if (screen && screen->isVisible())
            screen->close();
        TestScreens::settle();
    }
    void press(const char* key) { TestScreens::button(screen, QString::fromUtf8(key))->trigger(); }
    void selectMember()
    {
        auto* list = screen->findChild<QTableView*>(QStringLiteral("ListView1"));
        const QModelIndex index = list->model()->index(0, 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }
    MifareCard card() { return *folder.load(serial); }
    QByteArray block20()
    {
        const MifareCard stored = card();
        const auto& block = stored.rawBlock(20);
        return QByteArray(reinterpret_cast<const char*>(block.data()), 16);
    }
    bool halted() { return folder.onReader() && folder.onReader()->halted; }
};

} // namespace

class CardCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initialiseThenIssueWritesTheCard()
    {
        CardDesk d;
        d.press("初始化");
        QCOMPARE(d.t.messages.texts(), QStringList({"初始化成功！"}));
        QCOMPARE(d.t.messages.messages()[0].icon, Message::Icon::Information);
        QVERIFY(d.halted());
        const MifareCard::Key key{0xA7, 0, 0, 0, 0, 0};
        QCOMPARE(d.card().keyA(5), key);
        QCOMPARE(d.card().keyB(5), key);
        QCOMPARE(d.card().accessBytes(5)[0], std::uint8_t(0xFF));
        QCOMPARE(d.card().accessBytes(5)[1], std::uint8_t(0x07));
        QCOMPARE(d.card().accessBytes(5)[2], std::uint8_t(0x80));
        QCOMPARE(d.block20(), QByteArray(16, '\0'));

        d.selectMember();
        d.press("发卡");
        QCOMPARE(d.t.messages.texts(), QStringList({"初始化成功！", "发卡成功！"}));
        QCOMPARE(d.block20(), QByteArray("000") + Member.toLatin1());
        QVERIFY(d.halted());

        // The same card again, even for another number.
        TestScreens::box(d.screen, QStringLiteral("Text5"))->setText(QStringLiteral("2026120500000"));
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("此卡已经发行，不能重复发卡！"));
        QCOMPARE(d.block20(), QByteArray("000") + Member.toLatin1());

        // Initialised already: the factory key no longer opens the sector.
        d.press("初始化");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("初始化失败！"));
        QCOMPARE(d.card().keyA(5), key);
    }

    void aBlankCardIsIssuedWithWhateverTheCardNumberBoxHolds()
    {
        CardDesk d;
        d.press("初始化");
        d.selectMember();
        TestScreens::box(d.screen, QStringLiteral("Text5"))->setText(QStringLiteral(" 12 "));
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("发卡成功！"));
        QCOMPARE(d.block20(), QByteArray("000 12          "));
    }

    void withoutACardIssueFailsUnlessTheLastReadFoundACard()
    {
        CardDesk d;
        d.press("初始化");
        d.selectMember();
        d.folder.remove();
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("发卡失败！"));

        // An issued card read once, then taken away: the buffer still holds its text.
        d.folder.place(d.serial);
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("发卡成功！"));
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("此卡已经发行，不能重复发卡！"));
        d.folder.remove();
        d.press("发卡");
        QCOMPARE(d.t.messages.texts().last(), QStringLiteral("此卡已经发行，不能重复发卡！"));
    }

    void anIssueOnAnUninitialisedCardFails()
    {
        CardDesk d;
        d.selectMember();
        d.press("发卡");
        QCOMPARE(d.t.messages.texts(), QStringList({"发卡失败！"}));
        QCOMPARE(d.block20(), QByteArray(16, '\0'));
    }

    void aMissingOrBadKeyByteEndsTheCommandSilentlyWithoutHalting()
    {
        for (const QString& keyByte : {QString(), QStringLiteral("GG"), QStringLiteral("100")}) {
            CardDesk d(keyByte);
            d.selectMember();
            d.press("初始化");
            d.press("发卡");
            QVERIFY2(d.t.messages.messages().isEmpty(), qPrintable(keyByte));
            QVERIFY(!d.halted());
            QCOMPARE(d.card().keyA(5), MifareCard::FactoryKey);
            // The screen goes on working.
            QVERIFY(d.screen->isVisible());
        }
    }

    void theReaderIsClosedWhenTheScreenCloses()
    {
        CardDesk d;
        d.press("初始化");
        QVERIFY(d.t.module().readerHandle > 0);
        d.press("退出");
        TestScreens::settle();
        QCOMPARE(d.t.module().readerHandle, -1);
        // The card keeps what was written to it.
        QCOMPARE(d.card().keyA(5), (MifareCard::Key{0xA7, 0, 0, 0, 0, 0}));
    }
};

QTEST_MAIN(CardCommandsTest)
#include "CardCommandsTest.moc"
