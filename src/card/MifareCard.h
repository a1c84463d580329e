#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kelm {

// The memory of a MIFARE Classic 1K card and the rules by which the card itself grants access to it.
//
// 16 sectors of 4 blocks of 16 bytes. Block 0 is the manufacturer block: the four serial bytes, their
// check byte (BCC) and fixed manufacturer bytes; it can never be written. The last block of every sector
// is its trailer: key A (bytes 0-5), the access bytes (6-9: three bytes of access bits and a free user
// byte) and key B (10-15). The access bits give every block of the sector a 3-bit access value C1C2C3
// (C1 is bit 2), stored once plainly and once inverted; when the two copies disagree the sector is
// unusable for good, as on a real card.
//
// The card knows nothing of a reader. Authentication is judged here but remembered by whoever talks
// to the card (a reader, a test), which hands it back with every read and write.
class MifareCard
{
public:
    static constexpr int SectorCount = 16;
    static constexpr int BlocksPerSector = 4;
    static constexpr int BlockCount = SectorCount * BlocksPerSector;
    static constexpr int BlockSize = 16;
    static constexpr int KeySize = 6;
    // Where the parts of a trailer lie.
    static constexpr int KeyAOffset = 0;
    static constexpr int AccessOffset = 6;
    static constexpr int AccessSize = 4;
    static constexpr int KeyBOffset = 10;

    using Block = std::array<std::uint8_t, BlockSize>;
    using Key = std::array<std::uint8_t, KeySize>;
    // The access values of data blocks 0, 1, 2 and of the trailer, each C1C2C3 in bits 2..0.
    using AccessValues = std::array<std::uint8_t, BlocksPerSector>;

    // Every sector of a new card but one opens with the transport key.
    static constexpr Key TransportKey { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };
    // The sector the membership data lives in is delivered with the factory key as key A and key B.
    static constexpr Key FactoryKey { 0x3C, 0x9A, 0x51, 0xE0, 0x7B, 0x2D };
    static constexpr int FactoryKeyedSector = 5;
    // Data blocks freely readable and writable with key A, trailer writable with key A, user byte 69.
    static constexpr std::array<std::uint8_t, 4> TransportAccessBytes { 0xFF, 0x07, 0x80, 0x69 };

    enum class KeyType : std::uint8_t { A, B };

    enum class Outcome : std::uint8_t {
        Ok,
        AuthenticationFailed, // the key does not match, or the sector's access bits are broken
        AccessDenied, // another sector than the authenticated one, or the access conditions forbid it
        OutOfRange, // no such block or sector
    };

    // A successful authentication, as the party talking to the card remembers it.
    struct Authentication
    {
        int sector = 0;
        KeyType keyType = KeyType::A;
    };

    // A card as delivered: see FactoryKey and TransportKey; all data blocks zero.
    static MifareCard blank(std::uint32_t serial);

    // The card's memory as text, one line per block; fromText() reads it back.
    QString toText() const;
    static std::optional<MifareCard> fromText(const QString& text, QString* error = nullptr);

    // The serial number; its most significant byte is the first byte of block 0.
    std::uint32_t serial() const;

    // A key written as 12 hexadecimal digits and a terminator; nothing for any other text. Reads no
    // further than the 13th character.
    static std::optional<Key> keyFromHex(const char* text);
    // The sector trailer a trailer change writes: key A, the access bits of the four blocks'
    // values (0 to 7 each), the user byte 0x69 and key B. Nothing when a key is missing, a value is
    // out of range or bk is not 0, 1 or 2.
    static std::optional<Block> trailerFor(const std::uint8_t* keyA, const AccessValues& values, std::uint8_t bk,
                                           const std::uint8_t* keyB);

    static int sectorOf(int block) { return block / BlocksPerSector; }
    static int trailerOf(int sector) { return sector * BlocksPerSector + BlocksPerSector - 1; }
    static bool isTrailer(int block) { return block % BlocksPerSector == BlocksPerSector - 1; }

    // The stored bytes themselves, keys included, bypassing every access rule: for files and the
    // administrator's view, never for what a reader would see.
    const Block& rawBlock(int block) const { return m_blocks.at(static_cast<std::size_t>(block)); }
    Key keyA(int sector) const;
    Key keyB(int sector) const;
    std::array<std::uint8_t, 4> accessBytes(int sector) const;
    // The sector's access values; empty when its access bits are inconsistent.
    std::optional<AccessValues> accessValues(int sector) const;

    // The three access bytes for the given access values (each 0..7).
    static std::array<std::uint8_t, 3> encodeAccess(const AccessValues& values);
    // Empty when the inverted copies do not match the plain ones.
    static std::optional<AccessValues> decodeAccess(std::span<const std::uint8_t, 3> bytes);

    Outcome authenticate(int sector, KeyType keyType, const Key& key) const;
    // A trailer reads with key A as zeros, and key B as zeros unless the access conditions let it be read.
    Outcome read(const Authentication& authentication, int block, Block& data) const;
    // A trailer write changes only the parts (key A, access bytes with the user byte, key B) the access
    // conditions let this key write; it is refused when none of them may be written.
    Outcome write(const Authentication& authentication, int block, const Block& data);

private:
    MifareCard() = default;

    std::array<Block, BlockCount> m_blocks {};
};

} // namespace kelm
