// The member card's text and key rules.
#include "card/CardSequences.h"

#include <kelm/Error.h>

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
};

QTEST_MAIN(CardSequencesTest)
#include "CardSequencesTest.moc"
