// The member card's text and key rules, and the sequences on a simulated card.
#include "TestScreens.h"

#include "card/CardFolder.h"
#include "card/CardSequences.h"
#include "card/SimulatedReader.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kelm;

class CardSequencesTest : public QObject
{
    Q_OBJECT

private slots:
    void cardTextIsZeroZeroZeroAndTheNumberFittedTo16()
    {
        QCOMPARE(Card::cardText(QStringLiteral("2026120512345")), QByteArray("0002026120512345"));
        QCOMPARE(Card::cardText(QStringLiteral("202612051234")), QByteArray("000202612051234 "));
        QCOMPARE(Card::cardText(QStringLiteral("20261205123456")), QByteArray("0002026120512345"));
        QCOMPARE(Card::cardText(QString()), QByteArray("000             "));
        QCOMPARE(Card::cardText(QStringLiteral(" 12 ")), QByteArray("000 12          "));
        // Read back: the last 13 characters.
        QCOMPARE(Card::cardNumber(QStringLiteral("000202612051234 ")), QStringLiteral("202612051234 "));
        QCOMPARE(Card::cardNumber(QStringLiteral("0002026120512345")), QStringLiteral("2026120512345"));
    }

    void aBlockStartingWithZeroIsBlank()
    {
        std::array<std::uint8_t, 16> block{};
        block[1] = 'X';
        QCOMPARE(Card::upToFirstZero(Card::blockText(block)), QString());
        block[0] = '0';
        block[2] = 0;
        QCOMPARE(Card::upToFirstZero(Card::blockText(block)), QStringLiteral("0X"));
    }

    void theKeyByteIsOneOrTwoHexDigits()
    {
        QCOMPARE(Card::keyByte(QStringLiteral("A7")), std::uint8_t(0xA7));
        QCOMPARE(Card::keyByte(QStringLiteral("a7")), std::uint8_t(0xA7));
        QCOMPARE(Card::keyByte(QStringLiteral("5")), std::uint8_t(5));
        QCOMPARE(Card::keyByte(QStringLiteral("0FF")), std::uint8_t(0xFF));
        for (const char* bad : {"", "GG", "100", " A7", "0x1", "-1", "1.5"})
            QVERIFY_THROWS_EXCEPTION(Error, Card::keyByte(QString::fromLatin1(bad)));
    }

    void initialiseThenIssueLeavesTheCardKeyAndTheCardText()
    {
        QTemporaryDir cards;
        CardFolder folder(cards.path());
        const std::uint32_t serial = *folder.newCard();
        QVERIFY(folder.place(serial));
        SimulatedReader reader(cards.path());
        TestScreens t(&reader);
        t.module().sharedConnection().open(t.database.connection(), this);
        CardSequences card(t.module());
        QCOMPARE(card.initialise(), InitialiseOutcome::Initialised);
        card.halt();
        const MifareCard::Key cardKey{0xA7, 0, 0, 0, 0, 0};
        MifareCard stored = *folder.load(serial);
        QCOMPARE(stored.keyA(5), cardKey);
        QCOMPARE(stored.keyB(5), cardKey);
        QCOMPARE(stored.accessBytes(5), (std::array<std::uint8_t, 4>{0xFF, 0x07, 0x80, 0x69}));
        QCOMPARE(stored.keyA(4), MifareCard::TransportKey);
        // The factory key no longer opens the sector.
        QCOMPARE(card.initialise(), InitialiseOutcome::InitialiseFailed);

        std::array<std::uint8_t, 16> buffer{};
        QCOMPARE(card.issue(QStringLiteral("2026120512345"), buffer), IssueOutcome::Issued);
        stored = *folder.load(serial);
        const auto& block = stored.rawBlock(20);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(block.data()), 16), QByteArray("0002026120512345"));
        card.halt();
        QCOMPARE(card.issue(QStringLiteral("2026120599999"), buffer), IssueOutcome::AlreadyIssued);

        // Reading back gives the card number.
        std::array<std::uint8_t, 16> read{};
        QCOMPARE(card.readCard(read), std::int16_t(0));
        QCOMPARE(Card::cardNumber(Card::blockText(read)), QStringLiteral("2026120512345"));
    }
};

QTEST_MAIN(CardSequencesTest)
#include "CardSequencesTest.moc"
