// The member card's text and key rules. The screens put them to work on the card (CardScreensTest,
// CardFaultsTest); the edges no screen meets are here.
#include "card/CardSequences.h"

#include <kelm/Error.h>

#include <QTest>

using namespace kelm;

class CardSequencesTest : public QObject
{
    Q_OBJECT

private slots:
    void theCardTextTheBlankBlockAndTheKeyByte()
    {
        // "000" and the number, fitted to 16 characters.
        QCOMPARE(Card::cardText(QStringLiteral("20261205123456")), QByteArray("0002026120512345"));
        QCOMPARE(Card::cardText(QString()), QByteArray("000             "));
        // In the system code page, cut before a character that would not fit whole.
        QCOMPARE(Card::cardText(QStringLiteral("一二三四五六七")),
                 QByteArray("000\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9 "));

        // A block is blank when its first byte is zero, whatever follows.
        std::array<std::uint8_t, 16> block {};
        block[1] = 'X';
        QCOMPARE(Card::upToFirstZero(Card::blockText(block)), QString());
        block[0] = '0';
        QCOMPARE(Card::upToFirstZero(Card::blockText(block)), QStringLiteral("0X"));

        QCOMPARE(Card::keyByte(QStringLiteral("a7")), std::uint8_t(0xA7));
        QCOMPARE(Card::keyByte(QStringLiteral("5")), std::uint8_t(5));
        QCOMPARE(Card::keyByte(QStringLiteral("0FF")), std::uint8_t(0xFF));
        for (const char* bad : { " A7", "0x1", "-1", "1.5" })
            QVERIFY_THROWS_EXCEPTION(Error, Card::keyByte(QString::fromLatin1(bad)));
    }
};

QTEST_MAIN(CardSequencesTest)
#include "CardSequencesTest.moc"
