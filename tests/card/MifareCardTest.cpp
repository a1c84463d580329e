#include "card/MifareCard.h"

#include <QTest>

using kelm::MifareCard;
using Outcome = MifareCard::Outcome;
using KeyType = MifareCard::KeyType;

namespace {

constexpr MifareCard::Key otherKey { 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6 };
constexpr MifareCard::Key keyOfB { 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B };

MifareCard::Block trailer(
    const MifareCard::Key& keyA, const MifareCard::AccessValues& values, const MifareCard::Key& keyB)
{
    MifareCard::Block block {};
    const auto access = MifareCard::encodeAccess(values);
    std::copy(keyA.begin(), keyA.end(), block.begin());
    std::copy(access.begin(), access.end(), block.begin() + 6);
    block[9] = 0x69;
    std::copy(keyB.begin(), keyB.end(), block.begin() + 10);
    return block;
}

// Sector 1 of a blank card, rekeyed with key A = otherKey, key B = keyOfB and the given access values.
MifareCard cardWithSector1(const MifareCard::AccessValues& values)
{
    MifareCard card = MifareCard::blank(0x11223344);
    const MifareCard::Authentication transport { 1, KeyType::A };
    if (card.write(transport, 7, trailer(otherKey, values, keyOfB)) != Outcome::Ok) {
        qFatal("the transport configuration refused a trailer write");
    }
    return card;
}

} // namespace

class MifareCardTest : public QObject
{
    Q_OBJECT

private slots:
    void blankCardOpensWithTheDeliveredKeysAndKeepsItsManufacturerBlock()
    {
        MifareCard card = MifareCard::blank(0x1A2B3C4D);
        for (int sector = 0; sector < MifareCard::SectorCount; ++sector) {
            const MifareCard::Key& expected
                = sector == MifareCard::FactoryKeyedSector ? MifareCard::FactoryKey : MifareCard::TransportKey;
            const MifareCard::Key& wrong
                = sector == MifareCard::FactoryKeyedSector ? MifareCard::TransportKey : MifareCard::FactoryKey;
            QCOMPARE(card.authenticate(sector, KeyType::A, expected), Outcome::Ok);
            QCOMPARE(card.authenticate(sector, KeyType::B, expected), Outcome::Ok);
            QCOMPARE(card.authenticate(sector, KeyType::A, wrong), Outcome::AuthenticationFailed);
            QCOMPARE(card.authenticate(sector, KeyType::A, otherKey), Outcome::AuthenticationFailed);
            QCOMPARE(card.accessBytes(sector), MifareCard::TransportAccessBytes);
        }
        QCOMPARE(card.serial(), 0x1A2B3C4DU);
        const MifareCard::Block first = card.rawBlock(0);
        QCOMPARE(first[0], 0x1A);
        QCOMPARE(first[4], 0x1A ^ 0x2B ^ 0x3C ^ 0x4D);
        QCOMPARE(card.rawBlock(20), MifareCard::Block {});

        // Blocks of other sectors are refused through the readers (ReaderScenariosTest); these two only here.
        MifareCard::Block data {};
        data.fill(0x5A);
        QCOMPARE(card.read({ 5, KeyType::A }, 64, data), Outcome::OutOfRange);
        // The manufacturer block is read-only whatever the access bits say.
        QCOMPARE(card.write({ 0, KeyType::A }, 0, data), Outcome::AccessDenied);
        QCOMPARE(card.rawBlock(0), first);
    }

    void accessBitsEncodeAsTheDatasheetDoes()
    {
        QCOMPARE(MifareCard::encodeAccess({ 0, 0, 0, 1 }), (std::array<std::uint8_t, 3> { 0xFF, 0x07, 0x80 }));
        QCOMPARE(MifareCard::encodeAccess({ 4, 4, 4, 3 }), (std::array<std::uint8_t, 3> { 0x78, 0x77, 0x88 }));
        for (int packed = 0; packed < 8 * 8 * 8 * 8; ++packed) {
            const MifareCard::AccessValues values { static_cast<std::uint8_t>(packed & 7),
                static_cast<std::uint8_t>(packed >> 3 & 7), static_cast<std::uint8_t>(packed >> 6 & 7),
                static_cast<std::uint8_t>(packed >> 9 & 7) };
            const auto bytes = MifareCard::encodeAccess(values);
            QCOMPARE(MifareCard::decodeAccess(bytes), values);
            for (int bit = 0; bit < 24; ++bit) {
                auto broken = bytes;
                broken[static_cast<std::size_t>(bit / 8)] ^= static_cast<std::uint8_t>(1U << (bit % 8));
                QVERIFY(!MifareCard::decodeAccess(broken));
            }
        }
    }

    // Where key B can be read it is data and a sector entered with it grants nothing; otherwise the access
    // bits decide for each block and key, and broken ones lock the sector.
    void accessConditionsFollowTheKeyAndTheTrailer()
    {
        MifareCard card = cardWithSector1({ 0, 0, 0, 1 });
        MifareCard::Block read {};
        QCOMPARE(card.read({ 1, KeyType::A }, 7, read), Outcome::Ok);
        MifareCard::Block expected { 0, 0, 0, 0, 0, 0, 0xFF, 0x07, 0x80, 0x69 };
        std::copy(keyOfB.begin(), keyOfB.end(), expected.begin() + 10);
        QCOMPARE(read, expected);
        QCOMPARE(card.authenticate(1, KeyType::B, keyOfB), Outcome::Ok);
        QCOMPARE(card.read({ 1, KeyType::B }, 4, read), Outcome::AccessDenied);
        QCOMPARE(card.write({ 1, KeyType::B }, 4, read), Outcome::AccessDenied);
        QCOMPARE(card.write({ 1, KeyType::B }, 7, read), Outcome::AccessDenied);

        // Block 4: 011 (key B only), block 5: 010 (read-only), block 6: 111 (closed); trailer 011.
        card = cardWithSector1({ 3, 2, 7, 3 });
        MifareCard::Block data {};
        data.fill(0x33);
        const MifareCard::Authentication byA { 1, KeyType::A };
        const MifareCard::Authentication byB { 1, KeyType::B };
        QCOMPARE(card.read(byA, 4, read), Outcome::AccessDenied);
        QCOMPARE(card.write(byA, 4, data), Outcome::AccessDenied);
        QCOMPARE(card.write(byB, 4, data), Outcome::Ok);
        QCOMPARE(card.read(byB, 4, read), Outcome::Ok);
        QCOMPARE(read, data);
        QCOMPARE(card.read(byA, 5, read), Outcome::Ok);
        QCOMPARE(card.write(byB, 5, data), Outcome::AccessDenied);
        QCOMPARE(card.read(byB, 6, read), Outcome::AccessDenied);
        // Under 011 key B is secret: it reads as zeros, and only key B may rewrite the trailer.
        QCOMPARE(card.read(byB, 7, read), Outcome::Ok);
        QCOMPARE(read[10], 0);
        QCOMPARE(card.write(byA, 7, trailer(keyOfB, { 0, 0, 0, 1 }, keyOfB)), Outcome::AccessDenied);
        QCOMPARE(card.write(byB, 7, trailer(keyOfB, { 0, 0, 0, 1 }, keyOfB)), Outcome::Ok);
        QCOMPARE(card.accessBytes(1), MifareCard::TransportAccessBytes);
        QCOMPARE(card.keyA(1), keyOfB);

        // Trailer 100: key B may change both keys but not the access bits.
        card = cardWithSector1({ 0, 0, 0, 4 });
        const auto before = card.accessBytes(1);
        QCOMPARE(
            card.write(byB, 7, trailer(MifareCard::FactoryKey, { 0, 0, 0, 1 }, MifareCard::FactoryKey)), Outcome::Ok);
        QCOMPARE(card.keyA(1), MifareCard::FactoryKey);
        QCOMPARE(card.keyB(1), MifareCard::FactoryKey);
        QCOMPARE(card.accessBytes(1), before);

        // Broken access bits lock the sector.
        card = MifareCard::blank(7);
        MifareCard::Block bad = trailer(otherKey, { 0, 0, 0, 1 }, otherKey);
        bad[8] ^= 0x01;
        QCOMPARE(card.write({ 5, KeyType::A }, 23, bad), Outcome::Ok);
        QCOMPARE(card.authenticate(5, KeyType::A, otherKey), Outcome::AuthenticationFailed);
        QCOMPARE(card.read({ 5, KeyType::A }, 20, read), Outcome::AccessDenied);
        QVERIFY(!card.accessValues(5));
        QCOMPARE(card.authenticate(6, KeyType::A, MifareCard::TransportKey), Outcome::Ok);
    }

    void textFormRoundTrips()
    {
        MifareCard card = cardWithSector1({ 3, 2, 7, 3 });
        MifareCard::Block data {};
        data.fill(0xC4);
        QCOMPARE(card.write({ 5, KeyType::A }, 21, data), Outcome::Ok);
        const QString text = card.toText();
        QVERIFY(text.contains(QStringLiteral("21: C4 C4")));
        QString error;
        const std::optional<MifareCard> again = MifareCard::fromText(text, &error);
        QVERIFY2(again, qPrintable(error));
        for (int block = 0; block < MifareCard::BlockCount; ++block) {
            QCOMPARE(again->rawBlock(block), card.rawBlock(block));
        }

        QVERIFY(!MifareCard::fromText(QString(text).replace(QStringLiteral("\n21:"), QStringLiteral("\n22:"))));
        QVERIFY(!MifareCard::fromText(QString(text).remove(QStringLiteral("kelm-mifare-1k 1"))));
        QVERIFY(!MifareCard::fromText(QString(text).replace(QStringLiteral("21: C4"), QStringLiteral("21: G4"))));
        QVERIFY(!MifareCard::fromText(text.section(QLatin1Char('\n'), 0, -3), &error));
        QVERIFY(error.contains(QStringLiteral("63")));
    }
};

QTEST_GUILESS_MAIN(MifareCardTest)
#include "MifareCardTest.moc"
