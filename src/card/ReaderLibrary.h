#pragma once

#include "card/MifareCard.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace kelm {

// The card reader library: the rf_* operations with the arguments the card sequences pass.
// Every operation but rf_init returns a 16-bit status, 0 for success. rf_init returns the handle
// that the other operations take (negative when no reader could be opened).
class ReaderLibrary
{
public:
    // The statuses every reader library of this system shares; each adds its own from 6 on.
    // rf_init returns the negative status when it fails.
    static constexpr std::int16_t Ok = 0;
    // No card on the reader, or the card does not answer in its present state (halted, not yet
    // requested or selected, another serial, refused a command before).
    static constexpr std::int16_t NoCard = 1;
    // The key does not match the sector's trailer, or the sector's access bits are broken.
    static constexpr std::int16_t AuthenticationFailed = 2;
    // The block lies outside the authenticated sector, no sector is authenticated, or the access
    // conditions forbid the read or write.
    static constexpr std::int16_t AccessDenied = 3;
    // Refused before talking to the card: block, sector, mode or access value out of range, a null
    // pointer, a key that is not 12 hex digits, no key loaded for that mode and sector.
    static constexpr std::int16_t BadArgument = 4;
    // The handle is not the one rf_init returned, or it was closed by rf_reset or rf_exit.
    static constexpr std::int16_t NotOpen = 5;

    virtual ~ReaderLibrary() = default;

    virtual std::int32_t rf_init(std::int16_t port, std::int32_t baud) = 0;
    virtual std::int16_t rf_request(std::int32_t icdev, std::uint8_t mode, std::uint16_t* tagType) = 0;
    virtual std::int16_t rf_anticoll(std::int32_t icdev, std::uint8_t bcnt, std::uint32_t* serial) = 0;
    virtual std::int16_t rf_select(std::int16_t icdev, std::uint32_t serial, std::uint8_t* size) = 0;
    virtual std::int16_t rf_load_key(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector,
                                     const std::uint8_t* key6) = 0;
    // hexKey: 12 hexadecimal characters, zero-terminated. Loads the key as rf_load_key does; a
    // text that is no key is refused as a missing key is, after the reader's own port check.
    virtual std::int16_t rf_load_key_hex(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector,
                                         const char* hexKey)
    {
        const std::optional<MifareCard::Key> key = MifareCard::keyFromHex(hexKey);
        return rf_load_key(icdev, mode, sector, key ? key->data() : nullptr);
    }
    virtual std::int16_t rf_authentication(std::int32_t icdev, std::uint8_t mode, std::uint8_t sector) = 0;
    // data: 16 bytes.
    virtual std::int16_t rf_read(std::int32_t icdev, std::uint8_t block, std::uint8_t* data) = 0;
    virtual std::int16_t rf_write(std::int32_t icdev, std::uint8_t block, const std::uint8_t* data) = 0;
    // Writes the sector trailer: key A, the access bits for the access values of blocks 0 to 2
    // and of the trailer (b3), and key B. bk selects the key set and is 0 here.
    virtual std::int16_t rf_changeb3(std::int32_t icdev, std::uint8_t sector, const std::uint8_t* keyA,
                                     std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                                     std::uint8_t bk, const std::uint8_t* keyB) = 0;
    virtual std::int16_t rf_beep(std::int32_t icdev, std::uint16_t milliseconds) = 0;
    virtual std::int16_t rf_halt(std::int32_t icdev) = 0;
    virtual std::int16_t rf_reset(std::int32_t icdev, std::uint16_t milliseconds) = 0;
    virtual std::int16_t rf_exit(std::int32_t icdev) = 0;

    // What the cashier is told about a status of this reader library that says more than the card
    // command failing (another program holds the reader, a card of another kind): a clause to put
    // before the command's own failure message. Empty for the shared statuses.
    virtual QString failureReason(std::int16_t /*status*/) const { return {}; }
};

} // namespace kelm
