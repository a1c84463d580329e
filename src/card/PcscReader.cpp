#include "card/PcscReader.h"


#include <winscard.h>

#include <algorithm>
#include <limits>
#include <string>

namespace kelm {

namespace {

constexpr std::uint16_t success = 0x9000;

// Storage-card pseudo-APDUs; the reader, not the card, takes class FF.
constexpr std::uint8_t pseudoClass = 0xFF;
constexpr std::uint8_t getData = 0xCA;
constexpr std::uint8_t loadKeys = 0x82;
constexpr std::uint8_t generalAuthenticate = 0x86;
constexpr std::uint8_t readBinary = 0xB0;
constexpr std::uint8_t updateBinary = 0xD6;
constexpr std::uint8_t volatileKeySlot = 0x00;
constexpr std::uint8_t keyTypeA = 0x60;
constexpr std::uint8_t keyTypeB = 0x61;

// Calls that fail because the card is gone or is no longer the card we connected to.
bool cardLost(LONG rc)
{
    return rc == SCARD_W_REMOVED_CARD || rc == SCARD_E_NO_SMARTCARD || rc == SCARD_W_RESET_CARD
        || rc == SCARD_W_UNPOWERED_CARD || rc == SCARD_W_UNRESPONSIVE_CARD || rc == SCARD_E_READER_UNAVAILABLE;
}

std::vector<std::string> listReaders(SCARDCONTEXT context, LONG& rc)
{
    DWORD length = 0;
    rc = SCardListReaders(context, nullptr, nullptr, &length);
    if (rc != SCARD_S_SUCCESS) {
        return {};
    }
    std::vector<char> names(length);
    rc = SCardListReaders(context, nullptr, names.data(), &length);
    if (rc != SCARD_S_SUCCESS) {
        return {};
    }
    std::vector<std::string> readers;
    for (auto name = names.begin(); name != names.end() && *name != '\0';) {
        const auto end = std::find(name, names.end(), '\0');
        readers.emplace_back(name, end);
        name = end == names.end() ? end : end + 1;
    }
    return readers;
}

std::string firstReaderWithCard(SCARDCONTEXT context, const std::vector<std::string>& readers)
{
    std::vector<SCARD_READERSTATE> states(readers.size());
    for (std::size_t i = 0; i < readers.size(); ++i) {
        states[i].szReader = readers[i].c_str();
        states[i].dwCurrentState = SCARD_STATE_UNAWARE;
    }
    if (states.empty()
        || SCardGetStatusChange(context, 0, states.data(), static_cast<DWORD>(states.size())) != SCARD_S_SUCCESS) {
        return {};
    }
    for (std::size_t i = 0; i < readers.size(); ++i) {
        if ((states[i].dwEventState & SCARD_STATE_PRESENT) && !(states[i].dwEventState & SCARD_STATE_MUTE)) {
            return readers[i];
        }
    }
    return {};
}

// What a card-type byte pair in the ATR a PC/SC reader builds for a storage card stands for, as the
// answers to request (ATQA) and select (SAK) of that card type.
struct CardType
{
    std::uint16_t tagType = 0;
    std::uint8_t selectSize = 0;
};

CardType cardTypeOf(const std::vector<std::uint8_t>& atr)
{
    // 3B 8F 80 01, then the historical bytes 80 4F 0C A0 00 00 03 06, the standard, the card name (2 bytes).
    static constexpr std::array<std::uint8_t, 8> storageCard { 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06 };
    if (atr.size() < 15 || !std::equal(storageCard.begin(), storageCard.end(), atr.begin() + 4)) {
        return {};
    }
    switch (atr[13] << 8 | atr[14]) {
    case 0x0001: // MIFARE Classic 1K
        return { 0x0004, 0x08 };
    case 0x0002: // MIFARE Classic 4K
        return { 0x0002, 0x18 };
    case 0x0026: // MIFARE Mini
        return { 0x0004, 0x09 };
    default:
        return {};
    }
}

} // namespace

struct PcscReader::Connection
{
    SCARDCONTEXT context = 0;
    bool hasContext = false;
    SCARDHANDLE card = 0;
    bool connected = false;
    DWORD protocol = 0;
    // With a configured name the reader chosen by rf_init, otherwise the one the card was last found on.
    std::string reader;
    std::vector<std::uint8_t> atr;

    void disconnect(DWORD disposition)
    {
        if (connected) {
            SCardDisconnect(card, disposition);
        }
        connected = false;
        atr.clear();
    }

    // Ok, NoCard, NoReader or ServiceFailed.
    std::int16_t connect(bool anyReader)
    {
        disconnect(SCARD_LEAVE_CARD);
        if (anyReader) {
            // The card may lie on another reader than last time.
            LONG rc = SCARD_S_SUCCESS;
            const std::vector<std::string> readers = listReaders(context, rc);
            if (rc != SCARD_S_SUCCESS && rc != SCARD_E_NO_READERS_AVAILABLE) {
                return ServiceFailed;
            }
            const std::string found = firstReaderWithCard(context, readers);
            if (found.empty()) {
                return readers.empty() ? NoReader : NoCard;
            }
            reader = found;
        }
        const LONG rc = SCardConnect(
            context, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
        if (rc != SCARD_S_SUCCESS) {
            return cardLost(rc) ? NoCard : rc == SCARD_E_UNKNOWN_READER ? NoReader : ServiceFailed;
        }
        connected = true;
        readAtr();
        return Ok;
    }

    // Puts the connected card back to the state of a card just laid on the reader; Ok or NoCard.
    std::int16_t reset()
    {
        const LONG rc = SCardReconnect(
            card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, SCARD_RESET_CARD, &protocol);
        if (rc != SCARD_S_SUCCESS) {
            disconnect(SCARD_LEAVE_CARD);
            return NoCard;
        }
        readAtr();
        return Ok;
    }

    void readAtr()
    {
        std::array<BYTE, MAX_ATR_SIZE> bytes {};
        DWORD length = bytes.size();
        DWORD nameLength = 0;
        DWORD state = 0;
        DWORD activeProtocol = 0;
        if (SCardStatus(card, nullptr, &nameLength, &state, &activeProtocol, bytes.data(), &length)
            == SCARD_S_SUCCESS) {
            atr.assign(bytes.begin(), bytes.begin() + std::min<DWORD>(length, bytes.size()));
        } else {
            atr.clear();
        }
    }

    void releaseContext()
    {
        disconnect(SCARD_LEAVE_CARD);
        if (hasContext) {
            SCardReleaseContext(context);
        }
        hasContext = false;
        reader.clear();
    }
};

PcscReader::PcscReader(QString readerName)
    : m_pcsc(std::make_unique<Connection>())
    , m_readerName(std::move(readerName))
{
}

PcscReader::~PcscReader()
{
    close(false);
}

QString PcscReader::readerInUse() const
{
    return QString::fromStdString(m_pcsc->reader);
}

// Chooses the reader but does not connect to a card yet: the card may be laid on the reader only
// when the cashier starts a card command, and rf_request is where the card is looked for.
std::int32_t PcscReader::rf_init(std::int16_t port, std::int32_t baud)
{
    if (port < 0 || baud <= 0) {
        return -BadArgument;
    }
    close(false);
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &m_pcsc->context) != SCARD_S_SUCCESS) {
        return -ServiceFailed;
    }
    m_pcsc->hasContext = true;

    LONG rc = SCARD_S_SUCCESS;
    const std::vector<std::string> readers = listReaders(m_pcsc->context, rc);
    if (rc != SCARD_S_SUCCESS || readers.empty()) {
        close(false);
        return rc == SCARD_S_SUCCESS || rc == SCARD_E_NO_READERS_AVAILABLE ? -NoReader : -ServiceFailed;
    }
    if (m_readerName.isEmpty()) {
        m_pcsc->reader = firstReaderWithCard(m_pcsc->context, readers);
    } else {
        const std::string wanted = m_readerName.toStdString();
        auto found = std::find(readers.begin(), readers.end(), wanted);
        if (found == readers.end()) {
            found = std::find_if(readers.begin(), readers.end(),
                [&wanted](const std::string& name) { return name.starts_with(wanted); });
        }
        if (found == readers.end()) {
            close(false);
            return -NoReader;
        }
        m_pcsc->reader = *found;
    }
    m_lastHandle = m_lastHandle >= std::numeric_limits<std::int16_t>::max() ? 1 : m_lastHandle + 1;
    m_handle = m_lastHandle;
    return m_handle;
}

std::int16_t PcscReader::rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (mode > 1 || !tagType) {
        return BadArgument;
    }
    m_state = CardState::None;
    m_serial.reset();
    std::int16_t status = m_pcsc->connected ? m_pcsc->reset() : NoCard;
    if (status != Ok) {
        status = m_pcsc->connect(m_readerName.isEmpty());
    }
    if (status != Ok) {
        return status;
    }
    m_state = CardState::Requested;
    *tagType = cardTypeOf(m_pcsc->atr).tagType;
    return Ok;
}

std::int16_t PcscReader::rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (bcnt != 0 || !serial) {
        return BadArgument;
    }
    if (m_state != CardState::Requested) {
        return NoCard;
    }
    static constexpr std::array<std::uint8_t, 5> getUid { pseudoClass, getData, 0x00, 0x00, 0x00 };
    Answer answer;
    if (const std::int16_t status = transmit(getUid, answer); status != Ok) {
        return status;
    }
    if (answer.statusWord != success || answer.data.size() < 4) {
        return Refused;
    }
    // The serial's most significant byte is the first UID byte, as in block 0; a 7-byte UID gives its
    // first four bytes.
    const std::vector<std::uint8_t>& uid = answer.data;
    m_serial = std::uint32_t { uid[0] } << 24 | std::uint32_t { uid[1] } << 16 | std::uint32_t { uid[2] } << 8 | uid[3];
    *serial = *m_serial;
    return Ok;
}

std::int16_t PcscReader::rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (!size) {
        return BadArgument;
    }
    if (m_state != CardState::Requested || m_serial != serial) {
        return NoCard;
    }
    m_state = CardState::Selected;
    *size = cardTypeOf(m_pcsc->atr).selectSize;
    return Ok;
}

std::int16_t PcscReader::rf_load_key(
    std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const std::uint8_t* key6)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (!m_keys.store(mode, sector, key6)) {
        return BadArgument;
    }
    // PC/SC reaches the reader only through a card: without one the key stays with us until the
    // authentication sends it.
    if (!m_pcsc->connected) {
        return NoCard;
    }
    return loadKeyIntoReader(*m_keys.find(mode, sector));
}

std::int16_t PcscReader::rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    const std::optional<MifareCard::Key> key = m_keys.find(mode, sector);
    if (!key) {
        return BadArgument;
    }
    if (m_state != CardState::Selected) {
        return NoCard;
    }
    if (const std::int16_t status = loadKeyIntoReader(*key); status != Ok) {
        return status;
    }
    const auto block = static_cast<std::uint8_t>(sector * MifareCard::BlocksPerSector);
    const std::array<std::uint8_t, 10> authenticate { pseudoClass, generalAuthenticate, 0x00, 0x00, 0x05, 0x01, 0x00,
        block, mode < 3 ? keyTypeA : keyTypeB, volatileKeySlot };
    Answer answer;
    if (const std::int16_t status = transmit(authenticate, answer); status != Ok) {
        return status;
    }
    if (answer.statusWord != success) {
        cardRefused();
        return AuthenticationFailed;
    }
    return Ok;
}

std::int16_t PcscReader::rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (block >= MifareCard::BlockCount || !data) {
        return BadArgument;
    }
    if (m_state != CardState::Selected) {
        return NoCard;
    }
    const std::array<std::uint8_t, 5> read { pseudoClass, readBinary, 0x00, block, MifareCard::BlockSize };
    Answer answer;
    if (const std::int16_t status = transmit(read, answer); status != Ok) {
        return status;
    }
    if (answer.statusWord != success || answer.data.size() != MifareCard::BlockSize) {
        cardRefused();
        return AccessDenied;
    }
    std::copy(answer.data.begin(), answer.data.end(), data);
    return Ok;
}

std::int16_t PcscReader::rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (block >= MifareCard::BlockCount || !data) {
        return BadArgument;
    }
    if (m_state != CardState::Selected) {
        return NoCard;
    }
    std::array<std::uint8_t, 5 + MifareCard::BlockSize> update { pseudoClass, updateBinary, 0x00, block,
        MifareCard::BlockSize };
    std::copy_n(data, MifareCard::BlockSize, update.begin() + 5);
    Answer answer;
    if (const std::int16_t status = transmit(update, answer); status != Ok) {
        return status;
    }
    if (answer.statusWord != success) {
        cardRefused();
        return AccessDenied;
    }
    return Ok;
}

std::int16_t PcscReader::rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA, std::uint8_t b0,
    std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk, const std::uint8_t* keyB)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    const std::optional<MifareCard::Block> trailer = MifareCard::trailerFor(keyA, { b0, b1, b2, b3 }, bk, keyB);
    if (sector >= MifareCard::SectorCount || !trailer) {
        return BadArgument;
    }
    return rf_write(icdev, static_cast<std::uint8_t>(MifareCard::trailerOf(sector)), trailer->data());
}

std::int16_t PcscReader::rf_beep(std::int32_t icdev, std::uint16_t milliseconds)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    if (!m_pcsc->connected) {
        return NoCard;
    }
    // ACR122U LED and buzzer control: LEDs left as they are, the buzzer on for one period of T1
    // (in 100 ms units).
    const auto periods = static_cast<std::uint8_t>(std::clamp((milliseconds + 99) / 100, 1, 255));
    const std::array<std::uint8_t, 9> beep { pseudoClass, 0x00, 0x40, 0x00, 0x04, periods, 0x00, 0x01, 0x01 };
    Answer answer;
    if (const std::int16_t status = transmit(beep, answer); status != Ok) {
        return status;
    }
    // The second status byte carries the LED state.
    return answer.statusWord >> 8 == success >> 8 ? Ok : Refused;
}

std::int16_t PcscReader::rf_halt(std::int32_t icdev)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    m_state = CardState::None;
    m_serial.reset();
    if (!m_pcsc->connected) {
        return NoCard;
    }
    m_pcsc->disconnect(SCARD_RESET_CARD);
    return Ok;
}

std::int16_t PcscReader::rf_reset(std::int32_t icdev, std::uint16_t /*milliseconds*/)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    close(true);
    return Ok;
}

std::int16_t PcscReader::rf_exit(std::int32_t icdev)
{
    if (!isOpen(icdev)) {
        return NotOpen;
    }
    close(false);
    return Ok;
}

std::int16_t PcscReader::transmit(std::span<const std::uint8_t> apdu, Answer& answer)
{
    if (!m_pcsc->connected) {
        m_state = CardState::None;
        return NoCard;
    }
    std::array<BYTE, 258> received {};
    DWORD length = received.size();
    const SCARD_IO_REQUEST* pci = m_pcsc->protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    const LONG rc = SCardTransmit(
        m_pcsc->card, pci, apdu.data(), static_cast<DWORD>(apdu.size()), nullptr, received.data(), &length);
    if (rc != SCARD_S_SUCCESS || length < 2) {
        // Whatever the card was doing is over; it has to be found again.
        m_state = CardState::None;
        if (cardLost(rc)) {
            m_pcsc->disconnect(SCARD_LEAVE_CARD);
            return NoCard;
        }
        return ServiceFailed;
    }
    answer.data.assign(received.begin(), received.begin() + (length - 2));
    answer.statusWord = static_cast<std::uint16_t>(received[length - 2] << 8 | received[length - 1]);
    return Ok;
}

std::int16_t PcscReader::loadKeyIntoReader(const MifareCard::Key& key)
{
    std::array<std::uint8_t, 5 + MifareCard::KeySize> load { pseudoClass, loadKeys, 0x00, volatileKeySlot,
        MifareCard::KeySize };
    std::copy(key.begin(), key.end(), load.begin() + 5);
    Answer answer;
    if (const std::int16_t status = transmit(load, answer); status != Ok) {
        return status;
    }
    return answer.statusWord == success ? Ok : Refused;
}

void PcscReader::close(bool unpower)
{
    m_pcsc->disconnect(unpower ? SCARD_UNPOWER_CARD : SCARD_LEAVE_CARD);
    m_pcsc->releaseContext();
    m_handle = -1;
    m_keys.clear();
    m_state = CardState::None;
    m_serial.reset();
}

} // namespace kelm
