#pragma once

#include "card/CardFolder.h"
#include "card/MifareCard.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kelm {

// A MIFARE Classic 1K card on an ACR122U-class reader, as a PC/SC program sees the pair: it answers
// the storage-card pseudo-APDUs (get UID, load key, general authenticate, read and update binary) and
// the buzzer command with the status words such a reader gives (90 00, or 63 00 when the card did not
// do it). The card's memory is the card file in a CardFolder, read before and written after every
// command, so the simulated reader and this card are one and the same card.
//
// Like a real card, one that refuses an authentication, read or write drops its authentication and
// stays silent until the reader activates it again (a reset or power cycle), whatever it is sent.
// The key slots are the reader's memory and outlast the cards laid on it.
class TestCard
{
public:
    explicit TestCard(const QString& folder);

    // The answer to reset of a MIFARE Classic 1K card behind a PC/SC contactless reader.
    static const std::vector<std::uint8_t>& atr();

    // A card is laid on the reader: the card of that serial, not powered yet.
    void lay(std::uint32_t serial);
    void powerOn();
    void powerOff();
    void reset();

    // The answer to one command APDU: data and status word.
    std::vector<std::uint8_t> answer(std::span<const std::uint8_t> apdu);

    int beeps() const { return m_beeps; }

private:
    using Answer = std::vector<std::uint8_t>;

    Answer getUid(std::span<const std::uint8_t> apdu) const;
    Answer loadKey(std::span<const std::uint8_t> apdu);
    Answer authenticate(std::span<const std::uint8_t> apdu);
    Answer readBlock(std::span<const std::uint8_t> apdu);
    Answer updateBlock(std::span<const std::uint8_t> apdu);
    Answer buzzer(std::span<const std::uint8_t> apdu);
    // The card refused: what a reader reports for a card that did not answer as hoped.
    Answer refused();

    CardFolder m_folder;
    std::uint32_t m_serial = 0;
    bool m_powered = false;
    bool m_silent = false;
    std::optional<MifareCard::Authentication> m_authentication;
    std::array<std::optional<MifareCard::Key>, 2> m_keySlots {};
    int m_beeps = 0;
};

} // namespace kelm
