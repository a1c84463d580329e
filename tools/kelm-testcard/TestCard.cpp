#include "TestCard.h"

#include <algorithm>

namespace kelm {

namespace {

using Answer = std::vector<std::uint8_t>;

Answer status(std::uint16_t word)
{
    return { static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF) };
}

constexpr std::uint16_t ok = 0x9000;
constexpr std::uint16_t cardFailed = 0x6300;
constexpr std::uint16_t memoryFailure = 0x6581;
constexpr std::uint16_t wrongLength = 0x6700;
constexpr std::uint16_t keyTypeUnknown = 0x6986;
constexpr std::uint16_t nonVolatileMemoryMissing = 0x6988;
constexpr std::uint16_t keyNumberInvalid = 0x6989;
constexpr std::uint16_t keyLengthWrong = 0x698A;
constexpr std::uint16_t functionNotSupported = 0x6A81;
constexpr std::uint16_t wrongParameters = 0x6B00;
constexpr std::uint16_t instructionNotSupported = 0x6D00;
constexpr std::uint16_t classNotSupported = 0x6E00;
constexpr std::uint16_t noDiagnosis = 0x6F00;

} // namespace

TestCard::TestCard(const QString& folder, Reader reader, Kind kind)
    : m_folder(folder)
    , m_reader(reader)
    , m_kind(kind)
{
}

const std::vector<std::uint8_t>& TestCard::atr() const
{
    // The ATR PC/SC gives a contactless storage card: RID A0 00 00 03 06, standard 03 (ISO 14443 A up to
    // anticollision), card name 00 01 (Classic 1K) or 00 02 (Classic 4K), and the check byte.
    static const std::vector<std::uint8_t> classic1k { 0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03,
        0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A };
    static const std::vector<std::uint8_t> classic4k { 0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03,
        0x06, 0x03, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x69 };
    // A T=0 contact card: TB1 and TC1 zero, five historical bytes of no meaning.
    static const std::vector<std::uint8_t> contact { 0x3B, 0x65, 0x00, 0x00, 0x4B, 0x45, 0x4C, 0x4D, 0x53 };
    switch (m_kind) {
    case Kind::Classic4k:
        return classic4k;
    case Kind::Contact:
        return contact;
    case Kind::Classic1k:
        break;
    }
    return classic1k;
}

void TestCard::lay(std::uint32_t serial)
{
    m_serial = serial;
    powerOff();
}

void TestCard::powerOn()
{
    m_powered = true;
    m_silent = false;
    m_authentication.reset();
}

void TestCard::powerOff()
{
    m_powered = false;
    m_silent = false;
    m_authentication.reset();
}

// The field stays on: the card forgets its authentication but, once silent, stays silent.
void TestCard::reset()
{
    m_powered = true;
    m_authentication.reset();
}

std::vector<std::uint8_t> TestCard::answer(std::span<const std::uint8_t> apdu)
{
    if (!m_powered) {
        return status(noDiagnosis);
    }
    if (apdu.size() < 5) {
        return status(wrongLength);
    }
    // A contact card gets the reader's storage-card commands as they are and knows no class FF.
    if (apdu[0] != 0xFF || m_kind == Kind::Contact) {
        return status(classNotSupported);
    }
    switch (apdu[1]) {
    case 0xCA:
        return getUid(apdu);
    case 0x82:
        return loadKey(apdu);
    case 0x86:
        return authenticate(apdu);
    case 0xB0:
        return readBlock(apdu);
    case 0xD6:
        return updateBlock(apdu);
    case 0x00:
        return buzzer(apdu);
    default:
        return status(instructionNotSupported);
    }
}

// The reader keeps the UID from activating the card, so a silent card still has one.
TestCard::Answer TestCard::getUid(std::span<const std::uint8_t> apdu) const
{
    if (apdu.size() != 5 || apdu[3] != 0x00) {
        return status(wrongParameters);
    }
    if (apdu[2] != 0x00) {
        // 01 asks for the ATS, which a Classic card has not got.
        return status(functionNotSupported);
    }
    const std::optional<MifareCard> card = m_folder.load(m_serial);
    if (!card) {
        return status(memoryFailure);
    }
    const MifareCard::Block& first = card->rawBlock(0);
    Answer answer(first.begin(), first.begin() + 4);
    const Answer word = status(ok);
    answer.insert(answer.end(), word.begin(), word.end());
    return answer;
}

TestCard::Answer TestCard::loadKey(std::span<const std::uint8_t> apdu)
{
    if (m_reader == Reader::Acr122u && apdu[2] != 0x00) {
        return status(nonVolatileMemoryMissing);
    }
    if (!slotFits(apdu[2], apdu[3])) {
        return status(m_reader == Reader::Acr122u ? keyNumberInvalid : cardFailed);
    }
    if (apdu[4] != MifareCard::KeySize || apdu.size() != 5 + MifareCard::KeySize) {
        return status(keyLengthWrong);
    }
    MifareCard::Key key {};
    std::copy_n(apdu.begin() + 5, MifareCard::KeySize, key.begin());
    m_keySlots[apdu[3]] = key;
    return status(ok);
}

TestCard::Answer TestCard::authenticate(std::span<const std::uint8_t> apdu)
{
    if (apdu.size() != 10 || apdu[4] != 0x05 || apdu[5] != 0x01) {
        return status(wrongLength);
    }
    const int block = apdu[7];
    const std::uint8_t keyType = apdu[8];
    const std::uint8_t slot = apdu[9];
    if (keyType != 0x60 && keyType != 0x61) {
        return status(keyTypeUnknown);
    }
    if (slot >= m_keySlots.size() || !m_keySlots[slot]) {
        return status(keyNumberInvalid);
    }
    if (m_silent || block >= MifareCard::BlockCount) {
        return refused();
    }
    const std::optional<MifareCard> card = m_folder.load(m_serial);
    if (!card) {
        return status(memoryFailure);
    }
    const MifareCard::KeyType type = keyType == 0x60 ? MifareCard::KeyType::A : MifareCard::KeyType::B;
    const int sector = MifareCard::sectorOf(block);
    if (card->authenticate(sector, type, *m_keySlots[slot]) != MifareCard::Outcome::Ok) {
        return refused();
    }
    m_authentication = MifareCard::Authentication { sector, type };
    return status(ok);
}

TestCard::Answer TestCard::readBlock(std::span<const std::uint8_t> apdu)
{
    if (apdu.size() != 5 || (apdu[4] != MifareCard::BlockSize && apdu[4] != 0x00)) {
        return status(wrongLength);
    }
    if (m_silent || !m_authentication || apdu[2] != 0x00) {
        return refused();
    }
    const std::optional<MifareCard> card = m_folder.load(m_serial);
    if (!card) {
        return status(memoryFailure);
    }
    MifareCard::Block data {};
    if (card->read(*m_authentication, apdu[3], data) != MifareCard::Outcome::Ok) {
        return refused();
    }
    Answer answer(data.begin(), data.end());
    const Answer word = status(ok);
    answer.insert(answer.end(), word.begin(), word.end());
    return answer;
}

TestCard::Answer TestCard::updateBlock(std::span<const std::uint8_t> apdu)
{
    if (apdu[4] != MifareCard::BlockSize || apdu.size() != 5 + MifareCard::BlockSize) {
        return status(wrongLength);
    }
    if (m_silent || !m_authentication || apdu[2] != 0x00) {
        return refused();
    }
    std::optional<MifareCard> card = m_folder.load(m_serial);
    if (!card) {
        return status(memoryFailure);
    }
    MifareCard::Block data {};
    std::copy_n(apdu.begin() + 5, MifareCard::BlockSize, data.begin());
    if (card->write(*m_authentication, apdu[3], data) != MifareCard::Outcome::Ok) {
        return refused();
    }
    return status(m_folder.save(*card) ? ok : memoryFailure);
}

bool TestCard::slotFits(std::uint8_t structure, std::uint8_t slot) const
{
    if (m_reader == Reader::Acr122u) {
        return structure == 0x00 && slot <= 0x01;
    }
    return structure == 0x00 ? slot == 0x20 : structure == 0x20 && slot < 0x20;
}

// FF 00 40 is the reader's LED and buzzer control; any other FF 00 would go to the reader's chip,
// which this card does not offer.
TestCard::Answer TestCard::buzzer(std::span<const std::uint8_t> apdu)
{
    if (apdu[2] != 0x40) {
        return status(functionNotSupported);
    }
    if (apdu[4] != 0x04 || apdu.size() != 9) {
        return status(wrongLength);
    }
    ++m_beeps;
    // The second status byte is the LED state, all off here.
    return status(ok);
}

TestCard::Answer TestCard::refused()
{
    m_silent = true;
    m_authentication.reset();
    return status(cardFailed);
}

} // namespace kelm
