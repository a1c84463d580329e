// The member screen's card commands on a simulated card: what the card number box and the card key
// in bz do to 初始化 and 发卡, and that each command halts the card it worked on.
#include "CardDesk.h"

#include "card/SimulatedReader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kelm;

namespace {

// A simulated reader over a folder of its own with one blank card lying on it.
struct SimulatedCard
{
    QTemporaryDir cards;
    CardFolder cardFolder{cards.path()};
    std::uint32_t blank = *cardFolder.newCard();
    bool placed = cardFolder.place(blank);
    SimulatedReader reader{cards.path()};
};

struct Desk : SimulatedCard, CardDesk
{
    Desk()
        : CardDesk(&reader, cardFolder, blank)
    {
    }
    bool halted() { return folder.onReader() && folder.onReader()->halted; }
};

} // namespace

class CardCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void aBlankCardIsIssuedWithWhateverTheCardNumberBoxHoldsAndHalted()
    {
        Desk d;
        d.press("初始化");
        QCOMPARE(d.lastMessage(), QStringLiteral("初始化成功！"));
        QCOMPARE(d.t.messages.messages()[0].icon, Message::Icon::Information);
        QVERIFY(d.halted());
        d.selectMember();
        TestScreens::box(d.screen, QStringLiteral("Text5"))->setText(QStringLiteral(" 12 "));
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("发卡成功！"));
        QCOMPARE(d.block20(), QByteArray("000 12          "));
        QVERIFY(d.halted());
    }

    void withoutACardIssueFailsUnlessTheLastReadFoundACard()
    {
        Desk d;
        d.press("初始化");
        d.selectMember();
        d.folder.remove();
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("发卡失败！"));

        // An issued card read once, then taken away: the buffer still holds its text.
        d.folder.place(d.serial);
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("发卡成功！"));
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("此卡已经发行，不能重复发卡！"));
        d.folder.remove();
        d.press("发卡");
        QCOMPARE(d.lastMessage(), QStringLiteral("此卡已经发行，不能重复发卡！"));
    }
};

QTEST_MAIN(CardCommandsTest)
#include "CardCommandsTest.moc"
