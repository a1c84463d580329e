#pragma once

#include "card/CardFolder.h"
#include "card/MifareCard.h"
#include "card/ReaderKeys.h"
#include "card/ReaderLibrary.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace kelm {

// A card reader whose cards are the files of a CardFolder, so the system can be run and tested without
// hardware. The card lying on the reader is the one the folder's record names; its memory is read from
// its file at the start of every card operation and written back after every change, so two processes
// (the cash register and the admin tool) see one and the same card.
//
// The card goes through the states of a real one: idle when laid on the reader, ready after answering a
// request, active once selected, halted by rf_halt. A halted card answers only the wake-up request
// (mode 1), not the idle request (mode 0); the halted state is kept in the folder, so it outlasts the
// process that halted the card, until the card is woken or laid on the reader anew. Like a real card,
// one that refuses a command (wrong key, a block it does not grant) drops its authentication and falls
// back to idle, or to halted when it had been woken from there, and must be requested and selected again.
//
// Key store: rf_load_key modes 0, 1, 2 hold key A and modes 4, 5, 6 key B, one key per mode and sector;
// rf_authentication takes the key stored under the same mode and sector. Loading a key concerns the reader
// alone and works with no card on it.
class SimulatedReader : public ReaderLibrary
{
public:
    // Besides the shared statuses (ReaderLibrary): the card folder or a card file could not be read or written.
    static constexpr std::int16_t StorageFailed = 6;

    // The tag type rf_request reports and the size rf_select reports for a MIFARE Classic 1K card.
    static constexpr std::uint16_t TagType = 0x0004;
    static constexpr std::uint8_t SelectSize = 0x08;

    explicit SimulatedReader(const QString& cardsFolder);

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
    std::int16_t rf_beep(std::int32_t icdev, std::uint16_t milliseconds) override;
    std::int16_t rf_halt(std::int32_t icdev) override;
    // Closes the handle like rf_exit; the card keeps its state, a halted card stays halted.
    std::int16_t rf_reset(std::int32_t icdev, std::uint16_t milliseconds) override;
    std::int16_t rf_exit(std::int32_t icdev) override;

    // How often rf_beep sounded since this reader was made.
    int beepCount() const { return m_beeps; }

private:
    enum class CardState : std::uint8_t { Idle, Ready, Active, Halted };

    bool isOpen(std::int32_t icdev) const { return m_handle > 0 && icdev == m_handle; }
    // Brings what this reader knows of the card up to date with the folder's record; false when no card
    // lies on the reader.
    bool followCard();
    // The card refused a command: it forgets its authentication and falls back.
    void cardRefused();
    // Ok when the card is selected and a sector authenticated; a selected card asked for data without
    // authentication refuses.
    std::int16_t reachAuthenticatedCard();
    std::int16_t writeBlock(int block, const MifareCard::Block& data);
    void close();

    CardFolder m_folder;
    std::int32_t m_handle = -1;
    std::int32_t m_lastHandle = 0;
    ReaderKeys m_keys;

    std::optional<CardFolder::Placement> m_card;
    CardState m_state = CardState::Idle;
    bool m_wokenFromHalt = false;
    std::optional<MifareCard::Authentication> m_authentication;
    int m_beeps = 0;
};

} // namespace kelm
