// What only the simulated reader does: its card folder, its key checks, and a halted card that
// stays halted for the next process. What every reader must do is in ReaderScenariosTest.
#include "card/SimulatedReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

using kelm::CardFolder;
using kelm::MifareCard;
using kelm::SimulatedReader;

namespace {

constexpr std::uint8_t cardKey[6] = { 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6 };
const char* const cardKeyHex = "A1B2C3D4E5F6";
const char* const factoryKeyHex = "3C9A51E07B2D";

// A reader over a fresh folder with one blank card lying on it, opened as the system opens it.
struct Bench
{
    QTemporaryDir dir;
    CardFolder folder { dir.path() };
    std::uint32_t serial = *folder.newCard();
    bool placed = folder.place(serial);
    std::unique_ptr<SimulatedReader> reader;
    std::int32_t handle = -1;

    Bench() { open(); }

    // A reader of its own over the same folder, as the next process would open it.
    void open()
    {
        reader = std::make_unique<SimulatedReader>(dir.path());
        handle = reader->rf_init(0, 115200);
    }
    // Request in this mode, anticollision and select; the status of the first step that failed.
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
    std::int16_t read20()
    {
        MifareCard::Block data {};
        return reader->rf_read(handle, 20, data.data());
    }
};

} // namespace

class SimulatedReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void theFolderIsMadeAtInitAndMustBeAFolder()
    {
        Bench bench;
        SimulatedReader never(bench.dir.filePath(QStringLiteral("new/cards")));
        QVERIFY(never.rf_reset(-1, 10) != 0);
        QVERIFY(never.rf_exit(-1) != 0);
        QVERIFY(never.rf_init(0, 115200) > 0);
        QVERIFY(SimulatedReader(bench.folder.cardFile(bench.serial) + QStringLiteral("/cards")).rf_init(0, 115200) < 0);

        // A pipe in place of the card's file fails the card call at once.
        QCOMPARE(bench.select(), 0);
        QVERIFY(QFile::remove(bench.folder.cardFile(bench.serial)));
        QCOMPARE(::mkfifo(QFile::encodeName(bench.folder.cardFile(bench.serial)).constData(), 0600), 0);
        QCOMPARE(bench.enter(factoryKeyHex), SimulatedReader::StorageFailed);
    }

    void keysAreSixHexBytesAndEachSectorHasItsOwn()
    {
        Bench bench;
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QCOMPARE(bench.enter("ffffffffffff", 1), 0);
        QCOMPARE(bench.enter("FFFFFFFFFFFF", 15), 0);
        QCOMPARE(bench.reader->rf_load_key_hex(bench.handle, 0, 5, "3C9A51E07B2"), SimulatedReader::BadArgument);
        QCOMPARE(bench.reader->rf_load_key_hex(bench.handle, 0, 5, "3C9A51E07B2D0"), SimulatedReader::BadArgument);
        // No key was loaded for sector 9.
        QCOMPARE(bench.reader->rf_authentication(bench.handle, 0, 9), SimulatedReader::BadArgument);
        // A wrong key ends the authentication that was there.
        QCOMPARE(bench.enter(cardKeyHex), SimulatedReader::AuthenticationFailed);
        QVERIFY(bench.read20() != 0);
    }

    void changeb3WritesTheWholeTrailerOfTheAuthenticatedSectorOnly()
    {
        Bench bench;
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        const std::uint8_t keyB[6] = { 1, 2, 3, 4, 5, 6 };
        QCOMPARE(
            bench.reader->rf_changeb3(bench.handle, 6, cardKey, 0, 0, 0, 1, 0, keyB), SimulatedReader::AccessDenied);
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QCOMPARE(bench.reader->rf_changeb3(bench.handle, 5, cardKey, 0, 0, 0, 1, 0, keyB), 0);
        const MifareCard::Block expected { 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xFF, 0x07, 0x80, 0x69, 1, 2, 3, 4, 5,
            6 };
        QCOMPARE(bench.folder.load(bench.serial)->rawBlock(23), expected);
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.enter(cardKeyHex), 0);
        QCOMPARE(bench.read20(), 0);
    }

    void aHaltedCardAnswersOnlyAWakeUpRequestUntilLaidAnew()
    {
        Bench bench;
        std::uint16_t tagType = 0;
        QCOMPARE(bench.select(), 0);
        QCOMPARE(bench.reader->rf_halt(bench.handle), 0);
        QCOMPARE(bench.reader->rf_request(bench.handle, 0, &tagType), SimulatedReader::NoCard);
        QCOMPARE(bench.select(1), 0);
        QCOMPARE(bench.read20(), SimulatedReader::AccessDenied);
        // Woken from halt, a refusal sends it back to sleep.
        QCOMPARE(bench.reader->rf_request(bench.handle, 0, &tagType), SimulatedReader::NoCard);

        // The next process finds it halted too.
        QCOMPARE(bench.select(1), 0);
        QCOMPARE(bench.reader->rf_halt(bench.handle), 0);
        QCOMPARE(bench.reader->rf_reset(bench.handle, 10), 0);
        bench.open();
        QCOMPARE(bench.reader->rf_request(bench.handle, 0, &tagType), SimulatedReader::NoCard);
        QVERIFY(bench.folder.place(bench.serial));
        QCOMPARE(bench.select(0), 0);

        // Taken off and put back between two calls, as a person at the counter may do.
        QCOMPARE(bench.enter(factoryKeyHex), 0);
        QVERIFY(bench.folder.remove());
        QVERIFY(bench.folder.place(bench.serial));
        QCOMPARE(bench.read20(), SimulatedReader::NoCard);
    }
};

QTEST_GUILESS_MAIN(SimulatedReaderTest)
#include "SimulatedReaderTest.moc"
