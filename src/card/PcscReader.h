#pragma once

#include "card/MifareCard.h"
#include "card/ReaderKeys.h"
#include "card/ReaderLibrary.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelm {

// A real contactless reader reached through the PC/SC service (pcscd), for readers that take the
// storage-card pseudo-APDUs PC/SC defines for contactless cards (the ACS ACR122U and its kind): get UID,
// load key, general authenticate, read binary, update binary, and the ACR122U buzzer command.
//
// PC/SC talks to a reader only through a card connection, so the rf_* steps map onto it like this:
// rf_request chooses the reader and connects to the card (or, when already connected, resets it, which is
// what a new request does to a real card: it forgets its authentication); rf_anticoll asks the reader for
// the UID; rf_select checks the serial against it. The card judges keys and access conditions itself;
// this class only keeps the same order of steps the simulated reader enforces, so a command out of order
// or after the card refused something fails the same way on both.
//
// The reader is chosen anew at every request, by what it holds: the first reader (whose name begins with
// the configured name, when there is one) holding a MIFARE Classic 1K card, as its answer to reset tells.
// A card of another kind is refused before anything is sent to it. A card the reader does not show yet is
// looked for a little longer, since readers poll for cards and pcscd reports what they saw last.
//
// A card that refused an authentication, read or write stays silent until it is activated again, and a
// warm reset through the reader's driver does not do that: such a card is powered down and up before it
// is used again, and whenever it is let go.
//
// No PC/SC call keeps the caller waiting longer than a few seconds: pcscd and its client library wait
// without limit for a reader another program holds in a transaction. A call that overruns ends the card
// command as ReaderBusy and is left to finish on its own with the context it was using; the next command
// gets a new context. So does the next command after the service was stopped or restarted.
//
// Key store: as on the simulated reader, modes 0-2 are key A and 4-6 key B, one key per mode and sector.
// The reader has one volatile key slot; a key is sent to it when loaded and again right before each
// authentication, since another program sharing the reader may have loaded its own in between. Which slot
// is volatile depends on the reader model (slot 00 on the ACR122U and ACR1252U, 20h on the ACR128,
// ACR1281U and ACR1283L); the reader's name tells, config.ini can say, and a slot the reader refuses is
// followed by one try of the other.
class PcscReader : public ReaderLibrary
{
public:
    // Besides the shared statuses (ReaderLibrary; NoCard also when the card was taken off or reset
    // by another program once the command authenticated): the PC/SC service is not running or failed, or a
    // transmission did not go through.
    static constexpr std::int16_t ServiceFailed = 6;
    // No reader of the configured name, or no reader at all.
    static constexpr std::int16_t NoReader = 7;
    // The reader answered a key load, UID request or buzzer command with another status word than
    // success, or with an answer of the wrong length.
    static constexpr std::int16_t Refused = 8;
    // Another program holds the reader, exclusively or inside a transaction. Every card call answers it
    // until the next request.
    static constexpr std::int16_t ReaderBusy = 9;
    // The card on the reader is not a MIFARE Classic 1K card (a 4K card, an Ultralight or NTAG sticker,
    // a phone); nothing was sent to it. Every card call answers it until the next request.
    static constexpr std::int16_t NotMemberCard = 10;

    // readerName: the reader to use, by its full PC/SC name or the beginning of it (names end in slot
    // numbers that depend on the USB port); empty: any reader. keySlot: the reader's volatile key slot,
    // when its name does not tell.
    explicit PcscReader(QString readerName = {}, std::optional<std::uint8_t> keySlot = std::nullopt);
    ~PcscReader() override;
    PcscReader(const PcscReader&) = delete;
    PcscReader& operator=(const PcscReader&) = delete;

    // Opens a context with the PC/SC service and checks that there is a reader (of the configured name);
    // the card's reader is chosen by rf_request.
    std::int32_t rf_init(std::int16_t port, std::int32_t baud) override;
    std::int16_t rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType) override;
    std::int16_t rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial) override;
    std::int16_t rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size) override;
    std::int16_t rf_load_key(
        std::int32_t icdev, std::uint8_t mode, std::uint8_t sector, const std::uint8_t* key6) override;
    std::int16_t rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector) override;
    std::int16_t rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data) override;
    std::int16_t rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data) override;
    std::int16_t rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA, std::uint8_t b0,
        std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t bk, const std::uint8_t* keyB) override;
    // Refused on a reader without the ACR122U buzzer command; nothing depends on it.
    std::int16_t rf_beep(std::int32_t icdev, std::uint16_t milliseconds) override;
    // Resets the card and lets it go: it has to be requested and selected again.
    std::int16_t rf_halt(std::int32_t icdev) override;
    // Turns the card off and closes the handle like rf_exit.
    std::int16_t rf_reset(std::int32_t icdev, std::uint16_t milliseconds) override;
    std::int16_t rf_exit(std::int32_t icdev) override;
    QString failureReason(std::int16_t status) const override;

    // The PC/SC name of the reader the last request chose; empty before.
    QString readerInUse() const;
    // The key slot of that reader that keys are loaded into.
    std::uint8_t keySlot() const { return m_keySlot; }

private:
    struct Session;
    enum class CardState : std::uint8_t { None, Requested, Selected };

    struct Answer
    {
        std::vector<std::uint8_t> data;
        std::uint16_t statusWord = 0;
    };

    bool isOpen(std::int32_t icdev) const { return m_handle > 0 && icdev == m_handle; }
    // What a card call answers when the card is not in the state it needs.
    std::int16_t notReady() const { return m_failure != Ok ? m_failure : NoCard; }
    // A new context with the PC/SC service; Ok, ServiceFailed or ReaderBusy.
    std::int16_t openSession();
    // Revives the connected card or chooses a reader and connects to its card; Ok, NoCard, NoReader,
    // NotMemberCard, ReaderBusy or ServiceFailed.
    std::int16_t requestCard();
    std::int16_t connectToCard();
    // The status for a PC/SC call that failed (rc), or did not end in time (no rc).
    std::int16_t callFailed(std::optional<long> rc);
    // Sends one APDU to the connected card; Ok with the answer, NoCard, ReaderBusy or ServiceFailed.
    std::int16_t transmit(std::span<const std::uint8_t> apdu, Answer& answer);
    std::int16_t loadKeyIntoReader(const MifareCard::Key& key);
    std::int16_t loadKeyInto(std::uint8_t slot, const MifareCard::Key& key, std::uint16_t& statusWord);
    // The card refused: like a real one it has dropped its authentication, fallen back to idle, and
    // stays silent until it is powered down and up.
    void cardRefused();
    // Lets the card go, powered down when it refused something since it was last powered.
    void disconnect(unsigned long disposition);
    // Lets the context go; the calls still running on it close it when they end.
    void dropSession();
    void close(bool unpower);

    std::shared_ptr<Session> m_session;
    QString m_readerName;
    std::optional<std::uint8_t> m_keySlotSetting;
    std::string m_reader;
    std::uint8_t m_keySlot = 0;
    std::int32_t m_handle = -1;
    std::int32_t m_lastHandle = 0;
    ReaderKeys m_keys;
    CardState m_state = CardState::None;
    std::optional<std::uint32_t> m_serial;
    std::int16_t m_failure = Ok;
    bool m_cardSilent = false;
    // An authentication of this request went through: from then on the card's state matters.
    bool m_authenticated = false;
};

} // namespace kelm
