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

// A MIFARE Classic 1K card on an ACS contactless reader, as a PC/SC program sees the pair: it answers
// the storage-card pseudo-APDUs (get UID, load key, general authenticate, read and update binary) and
// the buzzer command with the status words such a reader gives (90 00, or 63 00 when the card did not
// do it). The card's memory is the card file in a CardFolder, read before and written after every
// command, so the simulated reader and this card are one and the same card.
//
// Like a real card, one that refuses an authentication, read or write drops its authentication and
// stays silent until the reader activates it again. A warm reset does not: the reader's driver powers
// the field on without powering it off first, so only a power cycle (off, then on) wakes the card.
// The key slots are the reader's memory and outlast the cards laid on it.
class TestCard
{
public:
    // The reader's key memory. An ACR122U (and ACR1252U) has two volatile slots, 00 and 01, loaded with
    // key structure 00. An ACR1281U (and ACR128, ACR1283L) has 32 non-volatile slots, 00 to 1F, loaded
    // with key structure 20h, and one volatile slot, 20h, loaded with key structure 00; it refuses a
    // load whose structure does not fit the slot.
    enum class Reader : std::uint8_t { Acr122u, Acr1281u };
    // What lies on the reader: the member card; a MIFARE Classic 4K, whose first sectors answer like the
    // member card's (same card file) though the card is of another kind; or a contact chip card, as in a
    // reader's SAM slot or a security key, which is always there and takes no storage-card command.
    enum class Kind : std::uint8_t { Classic1k, Classic4k, Contact };

    explicit TestCard(const QString& folder, Reader reader = Reader::Acr122u, Kind kind = Kind::Classic1k);

    // The answer to reset the reader gives for this card.
    const std::vector<std::uint8_t>& atr() const;

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

    // The slot a key load with this key structure may go to on this reader.
    bool slotFits(std::uint8_t structure, std::uint8_t slot) const;

    CardFolder m_folder;
    Reader m_reader;
    Kind m_kind;
    std::uint32_t m_serial = 0;
    bool m_powered = false;
    bool m_silent = false;
    std::optional<MifareCard::Authentication> m_authentication;
    std::array<std::optional<MifareCard::Key>, 0x21> m_keySlots {};
    int m_beeps = 0;
};

} // namespace kelm
