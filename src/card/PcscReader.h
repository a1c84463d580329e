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
#include <vector>

namespace kelm {

// A real contactless reader reached through the PC/SC service (pcscd), for readers that take the
// storage-card pseudo-APDUs PC/SC defines for contactless cards (ACR122U and its kind): get UID, load
// key, general authenticate, read binary, update binary, and the ACR122U buzzer command.
//
// PC/SC talks to a reader only through a card connection, so the rf_* steps map onto it like this:
// rf_request connects to the card (or, when already connected, resets it, which is what a new request
// does to a real card: it forgets its authentication); rf_anticoll asks the reader for the UID;
// rf_select checks the serial against it. The card judges keys and access conditions itself; this
// class only keeps the same order of steps the simulated reader enforces, so a command out of order
// or after the card refused something fails the same way on both.
//
// Key store: as on the simulated reader, modes 0-2 are key A and 4-6 key B, one key per mode and sector.
// The reader has one volatile key slot; a key is sent to it when loaded and again right before each
// authentication, since another program sharing the reader may have loaded its own in between.
class PcscReader : public ReaderLibrary
{
public:
    // Besides the shared statuses (ReaderLibrary; NoCard also when the card was taken off or reset
    // by another program): the PC/SC service is not running or failed, or a transmission did not go through.
    static constexpr std::int16_t ServiceFailed = 6;
    // No reader of the configured name, or no reader at all.
    static constexpr std::int16_t NoReader = 7;
    // The reader answered a key load, UID request or buzzer command with another status word than
    // success, or with an answer of the wrong length.
    static constexpr std::int16_t Refused = 8;

    // readerName: the reader to use, by its full PC/SC name or the beginning of it (names end in slot
    // numbers that depend on the USB port); empty: the first reader with a card.
    explicit PcscReader(QString readerName = {});
    ~PcscReader() override;
    PcscReader(const PcscReader&) = delete;
    PcscReader& operator=(const PcscReader&) = delete;

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

    // The PC/SC name of the reader in use; empty until one is chosen.
    QString readerInUse() const;

private:
    struct Connection;
    enum class CardState : std::uint8_t { None, Requested, Selected };

    struct Answer
    {
        std::vector<std::uint8_t> data;
        std::uint16_t statusWord = 0;
    };

    bool isOpen(std::int32_t icdev) const { return m_handle > 0 && icdev == m_handle; }
    // Sends one APDU to the connected card; Ok with the answer, NoCard or ServiceFailed.
    std::int16_t transmit(std::span<const std::uint8_t> apdu, Answer& answer);
    std::int16_t loadKeyIntoReader(const MifareCard::Key& key);
    // The card refused: like a real one it has dropped its authentication and fallen back to idle.
    void cardRefused() { m_state = CardState::None; }
    void close(bool unpower);

    std::unique_ptr<Connection> m_pcsc;
    QString m_readerName;
    std::int32_t m_handle = -1;
    std::int32_t m_lastHandle = 0;
    ReaderKeys m_keys;
    CardState m_state = CardState::None;
    std::optional<std::uint32_t> m_serial;
};

} // namespace kelm
