// The card as a reader library shows it, on whichever reader this run was registered for: the simulated
// reader, or a PC/SC reader through pcscd, vpcd and kelm-testcard. Both readers see the same card file
// and must give the same answers, so these cases assert the same statuses on both; what only one of
// them has (the simulated reader's folder, PC/SC's names, slots and service) is checked on that one.
#include "ReaderBench.h"

#include "card/MifareCard.h"
#include "card/PcscReader.h"
#include "card/SimulatedReader.h"

#include <QFile>
#include <QTest>

#include <array>

#include <sys/stat.h>

using namespace kelm;

namespace {

constexpr std::int16_t NoCard = PcscReader::NoCard;
constexpr std::int16_t AuthenticationFailed = PcscReader::AuthenticationFailed;
constexpr std::int16_t AccessDenied = PcscReader::AccessDenied;
constexpr std::int16_t BadArgument = PcscReader::BadArgument;
constexpr std::int16_t NotOpen = PcscReader::NotOpen;

const char* const factoryKeyHex = "3C9A51E07B2D";
constexpr std::array<std::uint8_t, 6> cardKey { 0xA7, 0, 0, 0, 0, 0 };

MifareCard::Block text(const char* sixteen)
{
    MifareCard::Block block {};
    std::copy_n(sixteen, block.size(), block.begin());
    return block;
}

// A reader from config.ini, opened as the screens open it, over a bench with one card laid on it.
struct Desk
{
    ReaderBench bench;
    std::uint32_t serial = bench.layNewCard();
    std::unique_ptr<ReaderLibrary> reader;
    std::int32_t h = reader->rf_init(0, 115200);

    // On PC/SC, another reader than the test card's and a key slot when given.
    explicit Desk(const QString& readerName = {}, const QString& keySlot = {})
        : reader(bench.readerFromConfig(readerName, keySlot))
    {
    }

    // Request in this mode (1 wakes a halted card too), anticollision, select: the first status that is not 0.
    std::int16_t select(std::uint8_t mode = 1)
    {
        std::uint16_t tagType = 0;
        std::uint32_t found = 0;
        std::uint8_t size = 0;
        if (const auto status = reader->rf_request(h, mode, &tagType); status != 0) {
            return status;
        }
        if (const auto status = reader->rf_anticoll(h, 0, &found); status != 0) {
            return status;
        }
        return reader->rf_select(static_cast<std::int16_t>(h), found, &size);
    }
    std::int16_t enter(const char* hexKey, std::uint8_t sector = 5)
    {
        if (const auto status = reader->rf_load_key_hex(h, 0, sector, hexKey); status != 0) {
            return status;
        }
        return reader->rf_authentication(h, 0, sector);
    }
    std::int16_t read(std::uint8_t block, MifareCard::Block& data) { return reader->rf_read(h, block, data.data()); }
    MifareCard card() { return *bench.folder().load(serial); }
};

} // namespace

class ReaderScenariosTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString reason = ReaderBench::unavailable();
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
    }

    void selectionFindsTheCardLyingOnTheReader()
    {
        Desk d;
        QVERIFY2(d.h > 0 && d.h <= 32767, qPrintable(QString::number(d.h)));
        std::uint16_t tagType = 0;
        std::uint32_t serial = 0;
        std::uint8_t size = 0;
        QCOMPARE(d.reader->rf_request(d.h, 1, &tagType), 0);
        QCOMPARE(tagType, std::uint16_t { 0x0004 });
        QCOMPARE(d.reader->rf_anticoll(d.h, 0, &serial), 0);
        QCOMPARE(serial, d.serial);
        QCOMPARE(d.reader->rf_select(static_cast<std::int16_t>(d.h), serial ^ 0x01000000U, &size), NoCard);
        QCOMPARE(d.reader->rf_select(static_cast<std::int16_t>(d.h), serial, &size), 0);
        QCOMPARE(size, std::uint8_t { 0x08 });
        QCOMPARE(d.reader->rf_beep(d.h, 20), 0);

        // Another card in its place is found by the same open reader.
        const std::uint32_t other = d.bench.layNewCard();
        QCOMPARE(d.reader->rf_request(d.h, 1, &tagType), 0);
        QCOMPARE(d.reader->rf_anticoll(d.h, 0, &serial), 0);
        QCOMPARE(serial, other);
    }

    void theCardRefusesWrongKeysForeignBlocksAndReadsWithoutKey()
    {
        Desk d;
        MifareCard::Block data {};
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.read(20, data), AccessDenied);

        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter("FFFFFFFFFFFF"), AuthenticationFailed);
        // A card that refused is idle until requested and selected again, even for the right key.
        QCOMPARE(d.enter(factoryKeyHex), NoCard);
        QCOMPARE(d.read(20, data), NoCard);

        for (std::uint8_t foreign : { std::uint8_t { 24 }, std::uint8_t { 19 }, std::uint8_t { 4 } }) {
            QCOMPARE(d.select(), 0);
            QCOMPARE(d.enter(factoryKeyHex), 0);
            QCOMPARE(d.read(foreign, data), AccessDenied);
        }
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        QCOMPARE(d.reader->rf_write(d.h, 24, data.data()), AccessDenied);
        QCOMPARE(d.card().rawBlock(24), MifareCard::Block {});

        // The trailer reads with key A as zeros around the access bytes, never the keys.
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        QCOMPARE(d.read(23, data), 0);
        QCOMPARE(
            data, (MifareCard::Block { 0, 0, 0, 0, 0, 0, 0xFF, 0x07, 0x80, 0x69, 0x3C, 0x9A, 0x51, 0xE0, 0x7B, 0x2D }));
    }

    // Block 20 keeps what was written, for a reader opened afterwards too; a card taken off or halted
    // mid-sequence fails the next call and must be found and authenticated again.
    void blockTwentyKeepsWhatWasWrittenAndALostCardMustBeFoundAgain()
    {
        Desk d;
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        const MifareCard::Block written = text("0002026120512345");
        QCOMPARE(d.reader->rf_write(d.h, 20, written.data()), 0);
        MifareCard::Block data {};
        QCOMPARE(d.read(20, data), 0);
        QCOMPARE(data, written);
        QCOMPARE(d.card().rawBlock(20), written);
        QCOMPARE(d.reader->rf_reset(d.h, 10), 0);
        d.h = d.reader->rf_init(0, 115200);
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        data.fill(0);
        QCOMPARE(d.read(20, data), 0);
        QCOMPARE(data, written);

        QVERIFY(d.bench.takeOff());
        QCOMPARE(d.read(20, data), NoCard);
        const MifareCard::Block rewritten = text("never written...");
        QCOMPARE(d.reader->rf_write(d.h, 20, rewritten.data()), NoCard);
        // Back on the reader it kept nothing of the sequence.
        QVERIFY(d.bench.lay(d.serial));
        QCOMPARE(d.reader->rf_write(d.h, 20, rewritten.data()), NoCard);
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.read(20, data), AccessDenied);
        QCOMPARE(d.card().rawBlock(20), written);

        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        QCOMPARE(d.reader->rf_halt(d.h), 0);
        QCOMPARE(d.read(20, data), NoCard);
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.read(20, data), AccessDenied);
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        QCOMPARE(d.reader->rf_write(d.h, 20, rewritten.data()), 0);
        QCOMPARE(d.card().rawBlock(20), rewritten);
    }

    void changeb3PutsTheCardKeyInTheTrailer()
    {
        Desk d;
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        const MifareCard::Block before = d.card().rawBlock(23);
        constexpr std::array<std::uint8_t, 6> keyB { 1, 2, 3, 4, 5, 6 };
        QCOMPARE(d.reader->rf_changeb3(d.h, 5, cardKey.data(), 0, 0, 8, 1, 0, keyB.data()), BadArgument);
        QCOMPARE(d.card().rawBlock(23), before);

        QCOMPARE(d.reader->rf_changeb3(d.h, 5, cardKey.data(), 0, 0, 0, 1, 0, keyB.data()), 0);
        QCOMPARE(d.card().rawBlock(23),
            (MifareCard::Block { 0xA7, 0, 0, 0, 0, 0, 0xFF, 0x07, 0x80, 0x69, 1, 2, 3, 4, 5, 6 }));
        QCOMPARE(d.card().keyA(4), MifareCard::TransportKey);
        QCOMPARE(d.card().keyA(6), MifareCard::TransportKey);

        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), AuthenticationFailed);
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.reader->rf_load_key(d.h, 0, 5, cardKey.data()), 0);
        QCOMPARE(d.reader->rf_authentication(d.h, 0, 5), 0);
        MifareCard::Block data {};
        QCOMPARE(d.read(20, data), 0);
    }

    void withNoCardOnTheReaderEveryCardCallFails()
    {
        Desk d;
        QVERIFY(d.bench.takeOff());
        QCOMPARE(d.reader->rf_reset(d.h, 10), 0);
        d.h = d.reader->rf_init(0, 115200);
        QVERIFY(d.h > 0);
        std::uint16_t tagType = 0;
        std::uint32_t serial = 0;
        std::uint8_t size = 0;
        MifareCard::Block data = text("left from before");
        QCOMPARE(d.reader->rf_request(d.h, 1, &tagType), NoCard);
        QCOMPARE(d.reader->rf_request(d.h, 0, &tagType), NoCard);
        QCOMPARE(d.reader->rf_anticoll(d.h, 0, &serial), NoCard);
        QCOMPARE(d.reader->rf_select(static_cast<std::int16_t>(d.h), d.serial, &size), NoCard);
        // PC/SC reaches the reader only through a card, so there even loading a key fails; the simulated
        // reader keeps it.
        QCOMPARE(d.reader->rf_load_key(d.h, 0, 5, cardKey.data()), ReaderBench::onPcsc() ? NoCard : 0);
        QCOMPARE(d.reader->rf_authentication(d.h, 0, 5), NoCard);
        QCOMPARE(d.read(20, data), NoCard);
        // The screens rely on a failed read leaving their buffer as it was.
        QCOMPARE(data, text("left from before"));
        QCOMPARE(d.reader->rf_write(d.h, 20, data.data()), NoCard);
        QCOMPARE(d.reader->rf_changeb3(d.h, 5, cardKey.data(), 0, 0, 0, 1, 0, cardKey.data()), NoCard);
        QCOMPARE(d.reader->rf_beep(d.h, 20), NoCard);
        QCOMPARE(d.reader->rf_halt(d.h), NoCard);
        QCOMPARE(d.card().rawBlock(20), MifareCard::Block {});

        // The card laid on the reader later is found through the same handle, also when the reader shows
        // it only after the request: on PC/SC a few hundred milliseconds, as kelm-testcard and pcscd poll.
        QVERIFY(d.bench.folder().place(d.serial));
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
    }

    void onlyTheOpenHandleIsServed()
    {
        Desk d;
        std::uint16_t tagType = 0;
        MifareCard::Block data {};
        QCOMPARE(d.reader->rf_request(d.h + 1, 1, &tagType), NotOpen);
        QCOMPARE(d.reader->rf_read(d.h + 1, 20, data.data()), NotOpen);
        QCOMPARE(d.reader->rf_exit(d.h + 1), NotOpen);
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.reader->rf_reset(d.h, 10), 0);
        QCOMPARE(d.reader->rf_exit(d.h), NotOpen);
        QCOMPARE(d.reader->rf_request(d.h, 1, &tagType), NotOpen);

        const std::int32_t again = d.reader->rf_init(0, 115200);
        QVERIFY(again > 0 && again != d.h);
        d.h = again;
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.reader->rf_exit(d.h), 0);
        QCOMPARE(d.reader->rf_halt(d.h), NotOpen);
    }

    // The simulated reader makes its folder at rf_init, checks each key it is given, keeps a halted card
    // halted for the next process, and answers at once where a pipe lies in place of a card file.
    void theSimulatedReaderKeepsItsCardsInItsFolder()
    {
        if (ReaderBench::onPcsc()) {
            QSKIP("the PC/SC reader has no card folder");
        }
        Desk d;
        QVERIFY(dynamic_cast<SimulatedReader*>(d.reader.get()));
        SimulatedReader fresh(d.bench.folder().path() + QStringLiteral("/new/cards"));
        QVERIFY(fresh.rf_reset(-1, 10) != 0 && fresh.rf_exit(-1) != 0);
        QVERIFY(fresh.rf_init(0, 115200) > 0);
        const QString cardFile = d.bench.folder().cardFile(d.serial);
        QVERIFY(SimulatedReader(cardFile + QStringLiteral("/cards")).rf_init(0, 115200) < 0);

        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter("ffffffffffff", 1), 0);
        QCOMPARE(d.enter("FFFFFFFFFFFF", 15), 0);
        QCOMPARE(d.reader->rf_load_key_hex(d.h, 0, 5, "3C9A51E07B2"), BadArgument);
        QCOMPARE(d.reader->rf_load_key_hex(d.h, 0, 5, "3C9A51E07B2D0"), BadArgument);
        QCOMPARE(d.reader->rf_authentication(d.h, 0, 9), BadArgument); // no key loaded for sector 9
        QCOMPARE(d.enter(factoryKeyHex), 0);
        QCOMPARE(d.reader->rf_changeb3(d.h, 6, cardKey.data(), 0, 0, 0, 1, 0, cardKey.data()), AccessDenied);

        std::uint16_t tagType = 0;
        MifareCard::Block data {};
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.reader->rf_halt(d.h), 0);
        QCOMPARE(d.reader->rf_request(d.h, 0, &tagType), NoCard);
        QCOMPARE(d.select(1), 0);
        QCOMPARE(d.read(20, data), AccessDenied);
        // Woken from halt, a refusal sends it back to sleep; the next process finds it halted too.
        QCOMPARE(d.reader->rf_request(d.h, 0, &tagType), NoCard);
        QCOMPARE(d.select(1), 0);
        QCOMPARE(d.reader->rf_halt(d.h), 0);
        QCOMPARE(d.reader->rf_reset(d.h, 10), 0);
        d.reader = d.bench.readerFromConfig();
        d.h = d.reader->rf_init(0, 115200);
        QCOMPARE(d.reader->rf_request(d.h, 0, &tagType), NoCard);
        QVERIFY(d.bench.folder().place(d.serial));
        QCOMPARE(d.select(0), 0);

        QVERIFY(QFile::remove(cardFile));
        QCOMPARE(::mkfifo(QFile::encodeName(cardFile).constData(), 0600), 0);
        QCOMPARE(d.enter(factoryKeyHex), SimulatedReader::StorageFailed);
    }

    void aPcscReaderIsChosenByTheBeginningOfItsNameAndByTheCardItHolds()
    {
        if (!ReaderBench::onPcsc()) {
            QSKIP("the simulated reader has no name to go by");
        }
        Desk d;
        auto* pcsc = dynamic_cast<PcscReader*>(d.reader.get());
        QVERIFY(pcsc);
        QCOMPARE(d.select(), 0);
        QVERIFY2(pcsc->readerInUse().startsWith(ReaderBench::pcscReaderName()), qPrintable(pcsc->readerInUse()));

        PcscReader elsewhere(QStringLiteral("No Such Reader"));
        QCOMPARE(elsewhere.rf_init(0, 115200), -PcscReader::NoReader);
        // Without a name, the first reader with a member card: pcscd lists a contact card in a SAM slot and
        // a Classic 4K card before it.
        PcscReader anyReader;
        const std::int32_t h = anyReader.rf_init(0, 115200);
        QVERIFY(h > 0);
        std::uint16_t tagType = 0;
        std::uint32_t serial = 0;
        QCOMPARE(anyReader.rf_request(h, 1, &tagType), 0);
        QCOMPARE(anyReader.rf_anticoll(h, 0, &serial), 0);
        QCOMPARE(serial, d.serial);
        QVERIFY2(
            anyReader.readerInUse().startsWith(ReaderBench::pcscReaderName()), qPrintable(anyReader.readerInUse()));
        QCOMPARE(anyReader.rf_exit(h), 0);
    }

    void keysGoToTheSlotTheReaderKeepsSessionKeysIn_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("kept");
        QTest::newRow("ACR122U") << QString() << QString() << 0x00 << 0x00;
        QTest::newRow("ACR1281U by its name") << ReaderBench::Acr1281uReader << QString() << 0x20 << 0x20;
        // A slot the reader refuses is followed by the other one.
        QTest::newRow("ACR1281U set to 00") << ReaderBench::Acr1281uReader << QStringLiteral("00") << 0x00 << 0x20;
        QTest::newRow("ACR122U set to 20") << QString() << QStringLiteral("20") << 0x20 << 0x00;
    }

    void keysGoToTheSlotTheReaderKeepsSessionKeysIn()
    {
        if (!ReaderBench::onPcsc()) {
            QSKIP("the simulated reader has no key slots");
        }
        QFETCH(QString, reader);
        QFETCH(QString, setting);
        QFETCH(int, first);
        QFETCH(int, kept);
        Desk d(reader, setting);
        auto* pcsc = dynamic_cast<PcscReader*>(d.reader.get());
        QCOMPARE(d.select(), 0);
        QCOMPARE(int { pcsc->keySlot() }, first);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        MifareCard::Block data {};
        QCOMPARE(d.read(20, data), 0);
        QCOMPARE(int { pcsc->keySlot() }, kept);
    }

    void anOpenReaderCarriesOnAfterPcscdRestartsAndTheReaderComesBackRenamed()
    {
        if (!ReaderBench::onPcsc()) {
            QSKIP("the simulated reader has no service");
        }
        Desk d;
        QCOMPARE(d.select(), 0);
        QCOMPARE(d.enter(factoryKeyHex), 0);
        for (const bool replugged : { true, false }) {
            QVERIFY(ReaderBench::restartService(replugged));
            QCOMPARE(d.select(), 0);
            QCOMPARE(d.enter(factoryKeyHex), 0);
            MifareCard::Block data {};
            QCOMPARE(d.read(20, data), 0);
        }
    }
};

QTEST_GUILESS_MAIN(ReaderScenariosTest)
#include "ReaderScenariosTest.moc"
