#include "card/SimulatedReader.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using kelm::CardFolder;
using kelm::MifareCard;
using kelm::SimulatedReader;

namespace {

// The key an issued card carries in sector 5 instead of the factory key.
constexpr std::uint8_t cardKey[6] = { 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6 };
const char* const cardKeyHex = "A1B2C3D4E5F6";
const char* const factoryKeyHex = "3C9A51E07B2D";

// A reader over a fresh folder with one blank card lying on it, opened as the system opens it.
struct Bench
{
    QTemporaryDir dir;
    CardFolder folder { dir.path() };
    std::uint32_t serial = *folder.newCard();
    std::unique_ptr<SimulatedReader> reader;
    std::int32_t handle = -1;

    Bench()
    {
        folder.place(serial);
        open();
    }

    void open()
    {
        reader = std::make_unique<SimulatedReader>(dir.path());
        handle = reader->rf_init(0, 115200);
    }

    // Wake-up request, anticollision and select; the status of the first step that failed.
    std::int16_t select(std::uint8_t mode = 1)
    {
        std::uint16_t tagType = 0;
        std::uint32_t found = 0;
        std::uint8_t size = 0;
        if (const auto status = reader->rf_request(handle, mode, &tagType); status != 0) {
            return status;
        }
        if (const auto status = reader->rf_anticoll(handle, 0, &found); status != 0) {
            return status;
        }
        return reader->rf_select(static_cast<std::int16_t>(handle), found, &size);
    }

    std::int16_t enter(const char* hexKey, std::uint8_t sector = 5)
    {
        if (const auto status = reader->rf_load_key_hex(handle, 0, sector, hexKey); status != 0) {
            return status;
        }
        return reader->rf_authentication(handle, 0, sector);
    }

    MifareCard::Block block20()
    {
        MifareCard::Block data {};
        reader->rf_read(handle, 20, data.data());
        return data;
    }
};

MifareCard::Block filled(std::uint8_t byte)
{
    MifareCard::Block block {};
    block.fill(byte);
    return block;
}

} // namespace

class SimulatedReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void opensAndClosesLikeAReader()
    {
        Bench bench;
        QVERIFY(bench.handle > 0 && bench.handle <= 32767);
        std::uint16_t tagType = 0;
        QCOMPARE(bench.reader->rf_request(bench.handle + 1, 1, &tagType), SimulatedReader::NotOpen);
        QCOMPARE(bench.reader->rf_reset(bench.handle, 10), SimulatedReader::Ok);
        QCOMPARE(bench.reader->rf_beep(bench.handle, 20), SimulatedReader::NotOpen);
        QCOMPARE(bench.reader->rf_exit(bench.handle), SimulatedReader::NotOpen);

        SimulatedReader never(bench.dir.filePath(QStringLiteral("new/cards")));
        QVERIFY(never.rf_reset(-1, 10) != 0);
        QVERIFY(never.rf_exit(-1) != 0);
        QVERIFY(never.rf_init(0, 115200) > 0);
        QVERIFY(SimulatedReader(bench.folder.cardFile(bench.serial) + QStringLiteral("/cards")).rf_init(0, 115200) < 0);
    }

    void withoutACardEveryCardCallFails()
    {
        Bench bench;
        QVERIFY(bench.folder.remove());
        SimulatedReader& reader = *bench.reader;
        const std::int32_t h = bench.handle;
        std::uint16_t tagType = 0;
        std::uint32_t serial = 0;
        std::uint8_t size = 0;
        MifareCard::Block data {};
        QCOMPARE(reader.rf_load_key_hex(h, 0, 5, factoryKeyHex), SimulatedReader::Ok);
        QCOMPARE(reader.rf_request(h, 0, &tagType), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_request(h, 1, &tagType), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_anticoll(h, 0, &serial), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_select(static_cast<std::int16_t>(h), bench.serial, &size), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_authentication(h, 0, 5), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_read(h, 20, data.data()), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_write(h, 20, data.data()), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_changeb3(h, 5, cardKey, 0, 0, 0, 1, 0, cardKey), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_beep(h, 20), SimulatedReader::NoCard);
        QCOMPARE(reader.rf_halt(h), SimulatedReader::NoCard);
        QCOMPARE(reader.beepCount(), 0);
    }

    void answersAndTakesOnlyTheDeliveredKeys()
    {
        Bench bench;
        std::uint16_t tagType = 0;
        std::uint32_t serial = 0;
        std::uint8_t size = 0;
        const auto handle16 = static_cast<std::int16_t>(bench.handle);
        QCOMPARE(bench.reader->rf_request(bench.handle, 1, &tagType), 0);
        QCOMPARE(tagType, SimulatedReader::TagType);
        QCOMPARE(bench.reader->rf_anticoll(bench.handle, 0, &serial), 0);
        QCOMPARE(serial, bench.serial);
        QCOMPARE(bench.reader->rf_select(handle16, serial ^ 1, &size), SimulatedReader::NoCard);
        QCOMPARE(bench.reader->rf_select(handle16, serial, &size), 0);
        QCOMPARE(size, SimulatedReader::SelectSize);
        QCOMPARE(bench.reader->rf_beep(bench.handle, 20), 0);
        QCOMPARE(bench.reader->beepCount(), 1);

        QCOMPARE(bench.enter(cardKeyHex), SimulatedReader::AuthenticationFailed);
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter("FFFFFFFFFFFF"), SimulatedReader::AuthenticationFailed);
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QCOMPARE(bench.enter("ffffffffffff", 1), 0);
        QCOMPARE(bench.enter("FFFFFFFFFFFF", 15), 0);
        QCOMPARE(bench.reader->rf_load_key_hex(bench.handle, 0, 5, "3C9A51E07B2"), SimulatedReader::BadArgument);
        QCOMPARE(bench.reader->rf_load_key_hex(bench.handle, 0, 5, "3C9A51E07B2D0"), SimulatedReader::BadArgument);
        QCOMPARE(bench.reader->rf_authentication(bench.handle, 0, 9), SimulatedReader::BadArgument);
    }

    void readsAndWritesNeedTheBlocksSector()
    {
        Bench bench;
        MifareCard::Block data {};
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), SimulatedReader::AccessDenied);

        for (std::uint8_t foreign : { std::uint8_t { 24 }, std::uint8_t { 4 } }) {
            QCOMPARE(bench.select(), 0);
            QCOMPARE(bench.enter(factoryKeyHex), 0);
            QCOMPARE(bench.reader->rf_read(bench.handle, foreign, data.data()), SimulatedReader::AccessDenied);
            // A refused command leaves the card idle until selected again.
            QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), SimulatedReader::NoCard);
        }

        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        const MifareCard::Block text = filled(0x4D);
        QCOMPARE(bench.reader->rf_write(bench.handle, 20, text.data()), 0);
        QCOMPARE(bench.block20(), text);
        QCOMPARE(bench.folder.load(bench.serial)->rawBlock(20), text);

        // A wrong key ends the authentication that was there.
        QCOMPARE(bench.enter(cardKeyHex), SimulatedReader::AuthenticationFailed);
        QVERIFY(bench.reader->rf_read(bench.handle, 20, data.data()) != 0);
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), SimulatedReader::AccessDenied);
    }

    void changeb3RekeysTheSector()
    {
        Bench bench;
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        const std::uint8_t keyB[6] = { 1, 2, 3, 4, 5, 6 };
        QCOMPARE(
            bench.reader->rf_changeb3(bench.handle, 5, cardKey, 0, 8, 0, 1, 0, keyB), SimulatedReader::BadArgument);
        QCOMPARE(bench.folder.load(bench.serial)->keyA(5), MifareCard::FactoryKey);

        QCOMPARE(bench.reader->rf_changeb3(bench.handle, 5, cardKey, 0, 0, 0, 1, 0, keyB), 0);
        const MifareCard::Block trailer = bench.folder.load(bench.serial)->rawBlock(23);
        const MifareCard::Block expected { 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xFF, 0x07, 0x80, 0x69, 1, 2, 3, 4, 5,
            6 };
        QCOMPARE(trailer, expected);

        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), SimulatedReader::AuthenticationFailed);
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(cardKeyHex), 0);
        const MifareCard::Block text = filled(0x31);
        QCOMPARE(bench.reader->rf_write(bench.handle, 20, text.data()), 0);
        QCOMPARE(bench.block20(), text);
        // Another sector's trailer is not this authentication's to change.
        QCOMPARE(
            bench.reader->rf_changeb3(bench.handle, 6, cardKey, 0, 0, 0, 1, 0, keyB), SimulatedReader::AccessDenied);
    }

    void haltedCardSleepsUntilWokenOrLaidAnew()
    {
        Bench bench;
        MifareCard::Block data {};
        std::uint16_t tagType = 0;
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QCOMPARE(bench.reader->rf_halt(bench.handle), 0);
        QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), SimulatedReader::NoCard);
        QCOMPARE(bench.reader->rf_request(bench.handle, 0, &tagType), SimulatedReader::NoCard);
        QCOMPARE(bench.select(1), 0);
        QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), SimulatedReader::AccessDenied);
        // Woken from halt, a refusal sends it back to sleep.
        QCOMPARE(bench.reader->rf_request(bench.handle, 0, &tagType), SimulatedReader::NoCard);

        QCOMPARE(bench.select(1), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), 0);
        QCOMPARE(bench.reader->rf_halt(bench.handle), 0);
        QVERIFY(bench.folder.place(bench.serial));
        QCOMPARE(bench.select(0), 0);
    }

    void takingTheCardOffEndsTheSession()
    {
        Bench bench;
        MifareCard::Block data {};
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QVERIFY(bench.folder.remove());
        QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), SimulatedReader::NoCard);
        QVERIFY(bench.folder.place(bench.serial));
        QCOMPARE(bench.select(0), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        // Taken off and put back between two calls, as a person at the counter may do.
        QVERIFY(bench.folder.remove());
        QVERIFY(bench.folder.place(bench.serial));
        QCOMPARE(bench.reader->rf_read(bench.handle, 20, data.data()), SimulatedReader::NoCard);
    }

    void cardOutlivesTheReader()
    {
        Bench bench;
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        const MifareCard::Block text = filled(0x77);
        QCOMPARE(bench.reader->rf_write(bench.handle, 20, text.data()), 0);
        QCOMPARE(bench.reader->rf_halt(bench.handle), 0);
        QCOMPARE(bench.reader->rf_reset(bench.handle, 10), 0);

        // As the next process would: a reader of its own over the same folder.
        bench.open();
        std::uint16_t tagType = 0;
        QCOMPARE(bench.reader->rf_request(bench.handle, 0, &tagType), SimulatedReader::NoCard);
        QCOMPARE(bench.select(1), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QCOMPARE(bench.block20(), text);
    }
};

QTEST_GUILESS_MAIN(SimulatedReaderTest)
#include "SimulatedReaderTest.moc"
