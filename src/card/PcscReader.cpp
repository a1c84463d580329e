#include "card/PcscReader.h"

#include <winscard.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

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
// Key structure 00: the key goes to the reader's volatile memory.
constexpr std::uint8_t volatileKey = 0x00;
constexpr std::uint8_t keyTypeA = 0x60;
constexpr std::uint8_t keyTypeB = 0x61;

// What rf_request and rf_select report for the one kind of card a member card is.
constexpr std::uint16_t classic1kTagType = 0x0004;
constexpr std::uint8_t classic1kSelectSize = 0x08;

// The longest any PC/SC call may keep the cashier waiting. pcscd makes a connection wait without limit
// while another program holds the reader inside a transaction, and its client library repeats a call the
// reader refused for sharing until it goes through.
constexpr std::chrono::milliseconds callLimit { 3000 };
// How much longer a card not seen is looked for: readers poll for cards (the ACR122U every 250 ms) and
// pcscd, polling its readers too, reports what it saw last, so a card laid down just before the click
// shows a little later.
constexpr std::chrono::milliseconds lookAgainFor { 600 };

// Calls that fail because the card is gone or is no longer the card we connected to.
bool cardLost(LONG rc)
{
    return rc == SCARD_W_REMOVED_CARD || rc == SCARD_E_NO_SMARTCARD || rc == SCARD_W_RESET_CARD
        || rc == SCARD_W_UNPOWERED_CARD || rc == SCARD_W_UNRESPONSIVE_CARD || rc == SCARD_E_READER_UNAVAILABLE;
}

// Calls that fail because the context no longer reaches a running pcscd: it was stopped, restarted
// (systemctl restart pcscd) or crashed, and forgot our context and handles.
bool serviceLost(LONG rc)
{
    return rc == SCARD_E_NO_SERVICE || rc == SCARD_E_SERVICE_STOPPED || rc == SCARD_E_INVALID_HANDLE
        || rc == SCARD_F_COMM_ERROR;
}

// PC/SC's answer to reset for a contactless storage card: 3B 8F 80 01, then the historical bytes 80 4F 0C,
// the registered application provider A0 00 00 03 06, the standard, the card name (2 bytes), four zero
// bytes, and the check byte.
bool isStorageCard(const std::vector<std::uint8_t>& atr)
{
    static constexpr std::array<std::uint8_t, 8> storageCard { 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06 };
    return atr.size() >= 15 && std::equal(storageCard.begin(), storageCard.end(), atr.begin() + 4);
}

// Standard 03 (ISO 14443 A up to anticollision), card name 00 01 (MIFARE Classic 1K).
bool isClassic1k(const std::vector<std::uint8_t>& atr)
{
    return isStorageCard(atr) && atr[12] == 0x03 && atr[13] == 0x00 && atr[14] == 0x01;
}

// The volatile key slot of the ACS reader families, by a piece of the reader's name: the ACR122U and ACR1252U
// keep session keys in slots 00 and 01; the ACR128, ACR1281U and ACR1283L keep 32 keys in non-volatile slots
// 00 to 1F and the session key in slot 20h. Any other reader is taken for one of the first kind.
std::uint8_t volatileSlotOf(const std::string& reader)
{
    static constexpr std::array<std::pair<std::string_view, std::uint8_t>, 3> families { {
        { "ACR122", 0x00 },
        { "ACR1252", 0x00 },
        { "ACR128", 0x20 },
    } };
    for (const auto& [family, slot] : families) {
        if (reader.find(family) != std::string::npos) {
            return slot;
        }
    }
    return 0x00;
}

// A reader pcscd knows and what it holds.
struct Seen
{
    std::string name;
    DWORD state = SCARD_STATE_UNAWARE;
    std::vector<std::uint8_t> atr;

    bool holdsCard() const { return (state & SCARD_STATE_PRESENT) && !(state & SCARD_STATE_MUTE); }
};

// The readers and their states into seen. When seen already holds the same readers, waits up to waitMs for
// one of them to change first.
LONG lookAtReaders(SCARDCONTEXT context, std::vector<Seen>& seen, DWORD waitMs)
{
    DWORD length = 0;
    LONG rc = SCardListReaders(context, nullptr, nullptr, &length);
    std::vector<char> names(rc == SCARD_S_SUCCESS ? length : 0);
    if (rc == SCARD_S_SUCCESS) {
        rc = SCardListReaders(context, nullptr, names.data(), &length);
    }
    if (rc == SCARD_E_NO_READERS_AVAILABLE) {
        seen.clear();
        return SCARD_S_SUCCESS;
    }
    if (rc != SCARD_S_SUCCESS) {
        return rc;
    }
    std::vector<Seen> now;
    for (auto name = names.begin(); name != names.end() && *name != '\0';) {
        const auto end = std::find(name, names.end(), '\0');
        now.push_back({ std::string(name, end), SCARD_STATE_UNAWARE, {} });
        name = end == names.end() ? end : end + 1;
    }
    const bool sameReaders = std::equal(now.begin(), now.end(), seen.begin(), seen.end(),
        [](const Seen& a, const Seen& b) { return a.name == b.name; });
    std::vector<SCARD_READERSTATE> states(now.size());
    for (std::size_t i = 0; i < now.size(); ++i) {
        states[i].szReader = now[i].name.c_str();
        states[i].dwCurrentState = sameReaders ? seen[i].state & ~SCARD_STATE_CHANGED : SCARD_STATE_UNAWARE;
    }
    if (!states.empty()) {
        rc = SCardGetStatusChange(context, sameReaders ? waitMs : 0, states.data(), static_cast<DWORD>(states.size()));
        if (rc == SCARD_E_TIMEOUT && sameReaders) {
            return SCARD_S_SUCCESS;
        }
        if (rc != SCARD_S_SUCCESS) {
            return rc;
        }
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        now[i].state = states[i].dwEventState;
        now[i].atr.assign(states[i].rgbAtr, states[i].rgbAtr + std::min<DWORD>(states[i].cbAtr, MAX_ATR_SIZE));
    }
    seen = std::move(now);
    return SCARD_S_SUCCESS;
}

} // namespace

// One context with the PC/SC service and the card connection made through it. A call in progress holds
// it too, so one that overran its time can end on its own and close both behind it.
struct PcscReader::Session
{
    SCARDCONTEXT context = 0;
    bool hasContext = false;
    SCARDHANDLE card = 0;
    bool connected = false;
    DWORD protocol = 0;

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session()
    {
        if (connected) {
            SCardDisconnect(card, SCARD_LEAVE_CARD);
        }
        if (hasContext) {
            SCardReleaseContext(context);
        }
    }
};

namespace {

// Runs call(session) on a thread of its own and waits for it at most callLimit, plus extra for a call that
// is itself asked to wait. Nothing when it did not end in time: the thread goes on, holding the session,
// and the session must not be used again.
template <typename Session, typename Call>
std::optional<LONG> bounded(
    std::shared_ptr<Session> session, Call call, std::chrono::milliseconds extra = std::chrono::milliseconds::zero())
{
    auto result = std::make_shared<std::promise<LONG>>();
    std::future<LONG> answer = result->get_future();
    try {
        std::thread([session = std::move(session), call = std::move(call), result]() mutable {
            const LONG rc = call(*session);
            // Let go first: a caller still waiting then holds the session alone, and one that gave up
            // leaves its closing to this thread.
            session.reset();
            result->set_value(rc);
        }).detach();
    } catch (const std::system_error&) {
        return SCARD_E_NO_MEMORY;
    }
    if (answer.wait_for(callLimit + extra) != std::future_status::ready) {
        return std::nullopt;
    }
    return answer.get();
}

} // namespace

PcscReader::PcscReader(QString readerName, std::optional<std::uint8_t> keySlot)
    : m_readerName(std::move(readerName))
    , m_keySlotSetting(keySlot)
    , m_keySlot(keySlot.value_or(0x00))
{
}

PcscReader::~PcscReader()
{
    close(false);
}

QString PcscReader::readerInUse() const
{
    return QString::fromStdString(m_reader);
}

QString PcscReader::failureReason(std::int16_t status) const
{
    switch (status) {
    case ReaderBusy:
        return QStringLiteral("读卡器正被其他程序占用，");
    case NotMemberCard:
        return QStringLiteral("此卡不是会员卡（会员卡是 MIFARE Classic 1K 卡），");
    default:
        return {};
    }
}

// Checks that there is a reader to use but does not choose one yet: the card may be laid on a reader only
// when the cashier starts a card command, and rf_request is where the card is looked for.
std::int32_t PcscReader::rf_init(std::int16_t port, std::int32_t baud)
{
    if (port < 0 || baud <= 0) {
        return -BadArgument;
    }
    close(false);
    if (const std::int16_t status = openSession(); status != Ok) {
        return -status;
    }
    auto seen = std::make_shared<std::vector<Seen>>();
    const std::optional<LONG> rc
        = bounded(m_session, [seen](Session& session) { return lookAtReaders(session.context, *seen, 0); });
    if (!rc || *rc != SCARD_S_SUCCESS) {
        const std::int16_t status = callFailed(rc);
        close(false);
        return -status;
    }
    const std::string wanted = m_readerName.toStdString();
    if (std::none_of(
            seen->begin(), seen->end(), [&wanted](const Seen& reader) { return reader.name.starts_with(wanted); })) {
        close(false);
        return -NoReader;
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
    m_failure = Ok;
    m_authenticated = false;
    std::int16_t status = requestCard();
    if (status == ServiceFailed && !m_session) {
        // The service was restarted since the last call: once more, with a new context.
        status = requestCard();
    }
    if (status == ReaderBusy || status == NotMemberCard) {
        m_failure = status;
    }
    if (status != Ok) {
        return status;
    }
    m_state = CardState::Requested;
    *tagType = classic1kTagType;
    return Ok;
}

std::int16_t PcscReader::openSession()
{
    auto session = std::make_shared<Session>();
    const std::optional<LONG> rc = bounded(session, [](Session& opened) {
        const LONG established = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &opened.context);
        opened.hasContext = established == SCARD_S_SUCCESS;
        return established;
    });
    if (!rc) {
        return ReaderBusy;
    }
    if (*rc != SCARD_S_SUCCESS) {
        return ServiceFailed;
    }
    m_session = std::move(session);
    return Ok;
}

std::int16_t PcscReader::requestCard()
{
    if (!m_session) {
        if (const std::int16_t status = openSession(); status != Ok) {
            return status;
        }
    }
    if (m_session->connected) {
        // A card that refused something must be powered down and up; a warm reset leaves it silent.
        const DWORD revive = m_cardSilent ? SCARD_UNPOWER_CARD : SCARD_RESET_CARD;
        const std::optional<LONG> rc = bounded(m_session, [revive](Session& session) {
            return SCardReconnect(
                session.card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, revive, &session.protocol);
        });
        if (rc && *rc == SCARD_S_SUCCESS) {
            m_cardSilent = false;
            return Ok;
        }
        if (!rc || !cardLost(*rc)) {
            return callFailed(rc);
        }
        // Taken off, or another card in its place: the card is looked for again, on any reader.
        disconnect(SCARD_LEAVE_CARD);
        if (!m_session) {
            return ReaderBusy;
        }
    }
    return connectToCard();
}

// The reader is chosen by what it holds, the reader of the configured name first; a reader another
// program keeps a card in (a SAM slot, a security key, a keyboard's card slot) is passed over.
std::int16_t PcscReader::connectToCard()
{
    const std::string wanted = m_readerName.toStdString();
    auto seen = std::make_shared<std::vector<Seen>>();
    const auto lookUntil = std::chrono::steady_clock::now() + lookAgainFor;
    for (bool lookingAgain = false;; lookingAgain = true) {
        const auto left = std::max(std::chrono::milliseconds::zero(),
            std::chrono::duration_cast<std::chrono::milliseconds>(lookUntil - std::chrono::steady_clock::now()));
        const auto waitMs = static_cast<DWORD>(lookingAgain ? left.count() : 0);
        const std::optional<LONG> looked = bounded(
            m_session, [seen, waitMs](Session& session) { return lookAtReaders(session.context, *seen, waitMs); },
            std::chrono::milliseconds(waitMs));
        if (!looked || *looked != SCARD_S_SUCCESS) {
            return callFailed(looked);
        }
        std::vector<const Seen*> candidates;
        for (const Seen& reader : *seen) {
            if (reader.name.starts_with(wanted)) {
                candidates.push_back(&reader);
            }
        }
        if (candidates.empty()) {
            return NoReader;
        }
        const auto memberCard = std::find_if(candidates.begin(), candidates.end(),
            [](const Seen* reader) { return reader->holdsCard() && isClassic1k(reader->atr); });
        if (memberCard == candidates.end()) {
            // On the reader of the configured name, any other card is refused at once. Without a name, a
            // contactless card of another kind is refused once no member card turned up on any reader;
            // cards in other kinds of readers are none of ours.
            const bool named = !wanted.empty();
            const bool late = std::chrono::steady_clock::now() >= lookUntil;
            const bool otherCard = std::any_of(candidates.begin(), candidates.end(),
                [named](const Seen* reader) { return reader->holdsCard() && (named || isStorageCard(reader->atr)); });
            if (otherCard && (named || late)) {
                return NotMemberCard;
            }
            if (late) {
                return NoCard;
            }
            continue;
        }
        const std::string reader = (*memberCard)->name;
        auto atr = std::make_shared<std::vector<std::uint8_t>>();
        // A program that holds the reader exclusively for a moment is waited for, as one holding it in a
        // transaction is, up to the time a call may take.
        const auto busyUntil = std::chrono::steady_clock::now() + callLimit - std::chrono::milliseconds(250);
        const std::optional<LONG> rc = bounded(m_session, [reader, atr, busyUntil](Session& session) {
            LONG connected = SCARD_E_SHARING_VIOLATION;
            for (bool again = false;
                 connected == SCARD_E_SHARING_VIOLATION && std::chrono::steady_clock::now() < busyUntil; again = true) {
                if (again) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                connected = SCardConnect(session.context, reader.c_str(), SCARD_SHARE_SHARED,
                    SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &session.card, &session.protocol);
            }
            session.connected = connected == SCARD_S_SUCCESS;
            if (session.connected) {
                std::array<BYTE, MAX_ATR_SIZE> bytes {};
                DWORD length = bytes.size();
                DWORD nameLength = 0;
                DWORD state = 0;
                DWORD protocol = 0;
                connected = SCardStatus(session.card, nullptr, &nameLength, &state, &protocol, bytes.data(), &length);
                atr->assign(bytes.begin(), bytes.begin() + std::min<DWORD>(length, bytes.size()));
            }
            return connected;
        });
        if (rc && (cardLost(*rc) || *rc == SCARD_E_UNKNOWN_READER) && std::chrono::steady_clock::now() < lookUntil) {
            // Gone between looking and connecting.
            disconnect(SCARD_LEAVE_CARD);
            continue;
        }
        if (!rc || *rc != SCARD_S_SUCCESS) {
            return callFailed(rc);
        }
        if (reader != m_reader) {
            m_reader = reader;
            m_keySlot = m_keySlotSetting.value_or(volatileSlotOf(reader));
        }
        m_cardSilent = false;
        if (!isClassic1k(*atr)) {
            // Another card laid down in the meantime.
            disconnect(SCARD_LEAVE_CARD);
            return NotMemberCard;
        }
        return Ok;
    }
}

std::int16_t PcscReader::callFailed(std::optional<long> rc)
{
    m_state = CardState::None;
    m_authenticated = false;
    if (!rc) {
        // Still waiting for the reader: the call goes on without us, and its context with it.
        m_session.reset();
        m_failure = ReaderBusy;
        return ReaderBusy;
    }
    if (*rc == SCARD_E_SHARING_VIOLATION) {
        m_failure = ReaderBusy;
        return ReaderBusy;
    }
    if (serviceLost(*rc)) {
        dropSession();
        return ServiceFailed;
    }
    if (cardLost(*rc)) {
        disconnect(SCARD_LEAVE_CARD);
        return NoCard;
    }
    if (*rc == SCARD_E_UNKNOWN_READER) {
        disconnect(SCARD_LEAVE_CARD);
        return NoReader;
    }
    return ServiceFailed;
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
        return notReady();
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
        return notReady();
    }
    m_state = CardState::Selected;
    *size = classic1kSelectSize;
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
    if (!m_session || !m_session->connected) {
        return notReady();
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
        return notReady();
    }
    if (const std::int16_t status = loadKeyIntoReader(*key); status != Ok) {
        return status;
    }
    const auto block = static_cast<std::uint8_t>(sector * MifareCard::BlocksPerSector);
    const std::array<std::uint8_t, 10> authenticate { pseudoClass, generalAuthenticate, 0x00, 0x00, 0x05, 0x01, 0x00,
        block, mode < 3 ? keyTypeA : keyTypeB, m_keySlot };
    Answer answer;
    if (const std::int16_t status = transmit(authenticate, answer); status != Ok) {
        return status;
    }
    if (answer.statusWord != success) {
        cardRefused();
        return AuthenticationFailed;
    }
    m_authenticated = true;
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
        return notReady();
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
        return notReady();
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
    if (!m_session || !m_session->connected) {
        return notReady();
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
    m_failure = Ok;
    if (!m_session || !m_session->connected) {
        return NoCard;
    }
    disconnect(SCARD_RESET_CARD);
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
    if (!m_session || !m_session->connected) {
        m_state = CardState::None;
        return notReady();
    }
    // Both ends of the exchange outlive a call that overran.
    struct Exchange
    {
        std::vector<BYTE> sent;
        std::array<BYTE, 258> received {};
        DWORD length = 258;
    };
    auto exchange = std::make_shared<Exchange>();
    exchange->sent.assign(apdu.begin(), apdu.end());
    const SCARD_IO_REQUEST* pci = m_session->protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    const auto send = [this, exchange, pci] {
        exchange->length = exchange->received.size();
        return bounded(m_session, [exchange, pci](Session& session) {
            return SCardTransmit(session.card, pci, exchange->sent.data(), static_cast<DWORD>(exchange->sent.size()),
                nullptr, exchange->received.data(), &exchange->length);
        });
    };
    std::optional<LONG> rc = send();
    if (rc && *rc == SCARD_W_RESET_CARD && !m_authenticated) {
        // Another program reset the card (pcscd does when a program that held it ends) before anything of
        // this command depended on the card's state: noted, and sent again.
        const std::optional<LONG> noted = bounded(m_session, [](Session& session) {
            return SCardReconnect(session.card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                SCARD_LEAVE_CARD, &session.protocol);
        });
        rc = noted && *noted == SCARD_S_SUCCESS ? send() : noted;
    }
    if (!rc || *rc != SCARD_S_SUCCESS) {
        // Whatever the card was doing is over; it has to be found again.
        return callFailed(rc);
    }
    if (exchange->length < 2) {
        m_state = CardState::None;
        return ServiceFailed;
    }
    const std::size_t length = exchange->length;
    answer.data.assign(exchange->received.begin(), exchange->received.begin() + (length - 2));
    answer.statusWord
        = static_cast<std::uint16_t>(exchange->received[length - 2] << 8 | exchange->received[length - 1]);
    return Ok;
}

std::int16_t PcscReader::loadKeyIntoReader(const MifareCard::Key& key)
{
    std::uint16_t statusWord = 0;
    if (const std::int16_t status = loadKeyInto(m_keySlot, key, statusWord); status != Ok || statusWord == success) {
        return status;
    }
    // A reader whose model its name does not tell (or config.ini told wrong) may keep its session key in
    // the other usual slot: that one is tried once, and kept when the reader takes it.
    const std::uint8_t other = m_keySlot == 0x20 ? 0x00 : 0x20;
    if (const std::int16_t status = loadKeyInto(other, key, statusWord); status != Ok) {
        return status;
    }
    if (statusWord != success) {
        return Refused;
    }
    m_keySlot = other;
    return Ok;
}

std::int16_t PcscReader::loadKeyInto(std::uint8_t slot, const MifareCard::Key& key, std::uint16_t& statusWord)
{
    std::array<std::uint8_t, 5 + MifareCard::KeySize> load { pseudoClass, loadKeys, volatileKey, slot,
        MifareCard::KeySize };
    std::copy(key.begin(), key.end(), load.begin() + 5);
    Answer answer;
    if (const std::int16_t status = transmit(load, answer); status != Ok) {
        return status;
    }
    statusWord = answer.statusWord;
    return Ok;
}

void PcscReader::cardRefused()
{
    m_state = CardState::None;
    m_authenticated = false;
    m_cardSilent = true;
}

void PcscReader::disconnect(unsigned long disposition)
{
    if (!m_session || !m_session->connected) {
        return;
    }
    const DWORD letGo = m_cardSilent ? SCARD_UNPOWER_CARD : disposition;
    const std::optional<LONG> rc = bounded(m_session, [letGo](Session& session) {
        session.connected = false;
        return SCardDisconnect(session.card, letGo);
    });
    if (!rc) {
        m_session.reset();
        m_failure = ReaderBusy;
        return;
    }
    if (*rc == SCARD_S_SUCCESS && letGo == SCARD_UNPOWER_CARD) {
        m_cardSilent = false;
    }
}

void PcscReader::dropSession()
{
    m_state = CardState::None;
    if (!m_session) {
        return;
    }
    // Closing talks to pcscd too, so it is not waited for longer than a call either: the thread holds the
    // session last and closes it.
    bounded(std::move(m_session), [](Session&) { return SCARD_S_SUCCESS; });
    m_session.reset();
}

void PcscReader::close(bool unpower)
{
    disconnect(unpower ? SCARD_UNPOWER_CARD : SCARD_LEAVE_CARD);
    dropSession();
    m_handle = -1;
    m_keys.clear();
    m_state = CardState::None;
    m_serial.reset();
    m_failure = Ok;
}

} // namespace kelm
