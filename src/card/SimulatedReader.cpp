#include "card/SimulatedReader.h"


#include <algorithm>
#include <limits>

namespace kelm {

namespace {


} // namespace

SimulatedReader::SimulatedReader(const QString& cardsFolder)
    : m_folder(cardsFolder)
{
}

std::int32_t SimulatedReader::rf_init(std::int16_t port, std::int32_t baud)
{
    if (port < 0 || baud <= 0) {
        return -BadArgument;
    }
    close();
    if (!m_folder.create()) {
        return -StorageFailed;
    }
    m_lastHandle = m_lastHandle >= std::numeric_limits<std::int16_t>::max() ? 1 : m_lastHandle + 1;
    m_handle = m_lastHandle;
    return m_handle;
}

std::int16_t SimulatedReader::rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (mode > 1 || !tagType) {
        return BadArgument;
    }
    if (!followCard()) {
        return NoCard;
    }
    if (m_state == CardState::Halted) {
        if (mode == 0) {
            return NoCard;
        }
        if (!m_folder.setHalted(false)) {
            return StorageFailed;
        }
        m_card->halted = false;
        m_wokenFromHalt = true;
    } else if (m_state == CardState::Idle) {
        m_wokenFromHalt = false;
    }
    m_state = CardState::Ready;
    m_authentication.reset();
    *tagType = TagType;
    return Ok;
}

std::int16_t SimulatedReader::rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (bcnt != 0 || !serial) {
        return BadArgument;
    }
    if (!followCard() || m_state != CardState::Ready) {
        return NoCard;
    }
    *serial = m_card->serial;
    return Ok;
}

std::int16_t SimulatedReader::rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (!size) {
        return BadArgument;
    }
    if (!followCard() || m_state != CardState::Ready || serial != m_card->serial) {
        return NoCard;
    }
    m_state = CardState::Active;
    *size = SelectSize;
    return Ok;
}

std::int16_t SimulatedReader::rf_load_key(
    std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const std::uint8_t* key6)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (!m_keys.store(mode, sector, key6)) {
        return BadArgument;
    }
    return Ok;
}

std::int16_t SimulatedReader::rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    const std::optional<MifareCard::Key> key = m_keys.find(mode, sector);
    if (!key) {
        return BadArgument;
    }
    if (!followCard() || m_state != CardState::Active) {
        return NoCard;
    }
    const std::optional<MifareCard> card = m_folder.load(m_card->serial);
    if (!card) {
        return StorageFailed;
    }
    const MifareCard::KeyType keyType = ReaderKeys::typeOf(mode);
    if (card->authenticate(sector, keyType, *key) != MifareCard::Outcome::Ok) {
        cardRefused();
        return AuthenticationFailed;
    }
    m_authentication = MifareCard::Authentication { sector, keyType };
    return Ok;
}

std::int16_t SimulatedReader::rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (block >= MifareCard::BlockCount || !data) {
        return BadArgument;
    }
    if (const std::int16_t status = reachAuthenticatedCard(); status != Ok) {
        return status;
    }
    const std::optional<MifareCard> card = m_folder.load(m_card->serial);
    if (!card) {
        return StorageFailed;
    }
    MifareCard::Block contents {};
    if (card->read(*m_authentication, block, contents) != MifareCard::Outcome::Ok) {
        cardRefused();
        return AccessDenied;
    }
    std::copy(contents.begin(), contents.end(), data);
    return Ok;
}

std::int16_t SimulatedReader::rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (block >= MifareCard::BlockCount || !data) {
        return BadArgument;
    }
    MifareCard::Block contents {};
    std::copy_n(data, MifareCard::BlockSize, contents.begin());
    return writeBlock(block, contents);
}

std::int16_t SimulatedReader::rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA,
    std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk, const std::uint8_t* keyB)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    const std::optional<MifareCard::Block> trailer = MifareCard::trailerFor(keyA, { b0, b1, b2, b3 }, bk, keyB);
    if (sector >= MifareCard::SectorCount || !trailer) {
        return BadArgument;
    }
    return writeBlock(MifareCard::trailerOf(sector), *trailer);
}

std::int16_t SimulatedReader::rf_beep(std::int32_t icdev, std::uint16_t /*milliseconds*/)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (!followCard()) {
        return NoCard;
    }
    ++m_beeps;
    return Ok;
}

// The card gives no answer to a halt, so the reader reports success whatever state the card was in;
// only an active card actually halts.
std::int16_t SimulatedReader::rf_halt(std::int32_t icdev)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (!followCard()) {
        return NoCard;
    }
    if (m_state == CardState::Active) {
        if (!m_folder.setHalted(true)) {
            return StorageFailed;
        }
        m_card->halted = true;
        m_state = CardState::Halted;
        m_wokenFromHalt = false;
        m_authentication.reset();
    } else if (m_state == CardState::Ready) {
        cardRefused();
    }
    return Ok;
}

std::int16_t SimulatedReader::rf_reset(std::int32_t icdev, std::uint16_t /*milliseconds*/)
{
    return rf_exit(icdev);
}

std::int16_t SimulatedReader::rf_exit(std::int32_t icdev)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    close();
    return Ok;
}

bool SimulatedReader::followCard()
{
    const std::optional<CardFolder::Placement> now = m_folder.onReader();
    if (!now || !m_card || now->number != m_card->number || now->serial != m_card->serial) {
        // Taken off, or laid on anew: whatever the card was doing is over.
        m_state = CardState::Idle;
        m_wokenFromHalt = false;
        m_authentication.reset();
    }
    m_card = now;
    if (!m_card) {
        return false;
    }
    if (m_card->halted) {
        m_state = CardState::Halted;
        m_wokenFromHalt = false;
        m_authentication.reset();
    } else if (m_state == CardState::Halted) {
        // Woken by another process; for this reader it has not answered yet.
        m_state = CardState::Idle;
    }
    return true;
}

void SimulatedReader::cardRefused()
{
    m_authentication.reset();
    if (m_wokenFromHalt && m_folder.setHalted(true)) {
        m_card->halted = true;
        m_state = CardState::Halted;
    } else {
        m_state = CardState::Idle;
    }
    m_wokenFromHalt = false;
}

std::int16_t SimulatedReader::reachAuthenticatedCard()
{
    if (!followCard() || m_state != CardState::Active) {
        return NoCard;
    }
    if (!m_authentication) {
        cardRefused();
        return AccessDenied;
    }
    return Ok;
}

std::int16_t SimulatedReader::writeBlock(int block, const MifareCard::Block& data)
{
    if (const std::int16_t status = reachAuthenticatedCard(); status != Ok) {
        return status;
    }
    std::optional<MifareCard> card = m_folder.load(m_card->serial);
    if (!card) {
        return StorageFailed;
    }
    if (card->write(*m_authentication, block, data) != MifareCard::Outcome::Ok) {
        cardRefused();
        return AccessDenied;
    }
    return m_folder.save(*card) ? Ok : StorageFailed;
}

void SimulatedReader::close()
{
    m_handle = -1;
    m_keys.clear();
    m_card.reset();
    m_state = CardState::Idle;
    m_wokenFromHalt = false;
    m_authentication.reset();
}

} // namespace kelm
