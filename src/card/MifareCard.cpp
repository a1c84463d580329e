#include "card/MifareCard.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cctype>

namespace kelm {

namespace {

// Who may do something, as the access condition tables put it.
enum class Who : std::uint8_t { Never, KeyA, KeyB, KeyAOrB };

struct DataRule
{
    Who read;
    Who write;
};

struct TrailerRule
{
    Who keyAWrite;
    Who accessRead;
    Who accessWrite;
    Who keyBRead;
    Who keyBWrite;
};

// Indexed by the access value C1C2C3. Increment, decrement and the value-block operations are not
// offered by any reader this system drives, so only read and write are kept.
constexpr std::array<DataRule, 8> dataRules { {
    { Who::KeyAOrB, Who::KeyAOrB }, // 000
    { Who::KeyAOrB, Who::Never }, // 001
    { Who::KeyAOrB, Who::Never }, // 010
    { Who::KeyB, Who::KeyB }, // 011
    { Who::KeyAOrB, Who::KeyB }, // 100
    { Who::KeyB, Who::Never }, // 101
    { Who::KeyAOrB, Who::KeyB }, // 110
    { Who::Never, Who::Never }, // 111
} };

// Key A itself is never readable in any configuration.
constexpr std::array<TrailerRule, 8> trailerRules { {
    { Who::KeyA, Who::KeyA, Who::Never, Who::KeyA, Who::KeyA }, // 000
    { Who::KeyA, Who::KeyA, Who::KeyA, Who::KeyA, Who::KeyA }, // 001, transport configuration
    { Who::Never, Who::KeyA, Who::Never, Who::KeyA, Who::Never }, // 010
    { Who::KeyB, Who::KeyAOrB, Who::KeyB, Who::Never, Who::KeyB }, // 011
    { Who::KeyB, Who::KeyAOrB, Who::Never, Who::Never, Who::KeyB }, // 100
    { Who::Never, Who::KeyAOrB, Who::KeyB, Who::Never, Who::Never }, // 101
    { Who::Never, Who::KeyAOrB, Who::Never, Who::Never, Who::Never }, // 110
    { Who::Never, Who::KeyAOrB, Who::Never, Who::Never, Who::Never }, // 111
} };

bool grants(Who who, MifareCard::KeyType keyType)
{
    switch (who) {
    case Who::Never:
        return false;
    case Who::KeyA:
        return keyType == MifareCard::KeyType::A;
    case Who::KeyB:
        return keyType == MifareCard::KeyType::B;
    case Who::KeyAOrB:
        return true;
    }
    return false;
}

// Manufacturer bytes after serial and BCC: SAK 08 and ATQA 0004 of a 1K card, then a mark that tells
// a simulated card from a real one in a dump.
constexpr std::array<std::uint8_t, 11> manufacturerBytes { 0x08, 0x04, 0x00, 'K', 'E', 'L', 'M', 'S', 'I', 'M', '1' };

const QString textHeader = QStringLiteral("kelm-mifare-1k 1");

bool validSector(int sector)
{
    return sector >= 0 && sector < MifareCard::SectorCount;
}

bool validBlock(int block)
{
    return block >= 0 && block < MifareCard::BlockCount;
}

} // namespace

MifareCard MifareCard::blank(std::uint32_t serial)
{
    MifareCard card;
    Block& first = card.m_blocks[0];
    for (int i = 0; i < 4; ++i) {
        first[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(serial >> (24 - 8 * i));
    }
    first[4] = static_cast<std::uint8_t>(first[0] ^ first[1] ^ first[2] ^ first[3]);
    std::copy(manufacturerBytes.begin(), manufacturerBytes.end(), first.begin() + 5);

    for (int sector = 0; sector < SectorCount; ++sector) {
        Block& trailer = card.m_blocks[static_cast<std::size_t>(trailerOf(sector))];
        const Key& key = sector == FactoryKeyedSector ? FactoryKey : TransportKey;
        std::copy(key.begin(), key.end(), trailer.begin() + KeyAOffset);
        std::copy(TransportAccessBytes.begin(), TransportAccessBytes.end(), trailer.begin() + AccessOffset);
        std::copy(key.begin(), key.end(), trailer.begin() + KeyBOffset);
    }
    return card;
}

QString MifareCard::toText() const
{
    QString text = textHeader + QLatin1Char('\n');
    text += QStringLiteral("# Simulated MIFARE Classic 1K card %1. One line per block: number, then 16 bytes in hex.\n"
                           "# The last block of each sector is its trailer: key A, access bytes, key B.\n")
                .arg(QStringLiteral("%1").arg(serial(), 8, 16, QLatin1Char('0')).toUpper());
    for (int block = 0; block < BlockCount; ++block) {
        if (block % BlocksPerSector == 0) {
            text += QStringLiteral("# sector %1\n").arg(sectorOf(block));
        }
        text += QStringLiteral("%1:").arg(block, 2, 10, QLatin1Char('0'));
        for (std::uint8_t byte : m_blocks[static_cast<std::size_t>(block)]) {
            text += QStringLiteral(" %1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        }
        text += QLatin1Char('\n');
    }
    return text;
}

std::optional<MifareCard> MifareCard::fromText(const QString& text, QString* error)
{
    auto fail = [error](const QString& message) -> std::optional<MifareCard> {
        if (error) {
            *error = message;
        }
        return std::nullopt;
    };

    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.isEmpty() || lines.first().trimmed() != textHeader) {
        return fail(QStringLiteral("not a card file: the first line is not \"%1\"").arg(textHeader));
    }

    static const QRegularExpression blockLine(QStringLiteral("^(\\d{1,2}):((?:\\s*[0-9A-Fa-f]{2}){16})\\s*$"));
    MifareCard card;
    std::array<bool, BlockCount> seen {};
    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const QRegularExpressionMatch match = blockLine.match(line);
        const int block = match.hasMatch() ? match.captured(1).toInt() : -1;
        if (!validBlock(block)) {
            return fail(QStringLiteral("line %1: expected a block number from 0 to 63, a colon and 16 hex bytes")
                            .arg(index + 1));
        }
        if (seen[static_cast<std::size_t>(block)]) {
            return fail(QStringLiteral("line %1: block %2 appears twice").arg(index + 1).arg(block));
        }
        seen[static_cast<std::size_t>(block)] = true;
        const QByteArray bytes = QByteArray::fromHex(match.captured(2).toLatin1());
        std::copy(bytes.begin(), bytes.end(), card.m_blocks[static_cast<std::size_t>(block)].begin());
    }
    const auto missing = std::find(seen.begin(), seen.end(), false);
    if (missing != seen.end()) {
        return fail(QStringLiteral("block %1 is missing").arg(missing - seen.begin()));
    }
    return card;
}

std::uint32_t MifareCard::serial() const
{
    const Block& first = m_blocks[0];
    return std::uint32_t { first[0] } << 24 | std::uint32_t { first[1] } << 16 | std::uint32_t { first[2] } << 8
        | first[3];
}

MifareCard::Key MifareCard::keyA(int sector) const
{
    Key key {};
    const Block& trailer = rawBlock(trailerOf(sector));
    std::copy_n(trailer.begin() + KeyAOffset, KeySize, key.begin());
    return key;
}

MifareCard::Key MifareCard::keyB(int sector) const
{
    Key key {};
    const Block& trailer = rawBlock(trailerOf(sector));
    std::copy_n(trailer.begin() + KeyBOffset, KeySize, key.begin());
    return key;
}

std::array<std::uint8_t, 4> MifareCard::accessBytes(int sector) const
{
    std::array<std::uint8_t, 4> bytes {};
    const Block& trailer = rawBlock(trailerOf(sector));
    std::copy_n(trailer.begin() + AccessOffset, AccessSize, bytes.begin());
    return bytes;
}

std::optional<MifareCard::AccessValues> MifareCard::accessValues(int sector) const
{
    const Block& trailer = rawBlock(trailerOf(sector));
    return decodeAccess(std::span<const std::uint8_t, 3>(trailer.data() + AccessOffset, 3));
}

// Byte 6: inverted C2 (high nibble), inverted C1 (low). Byte 7: C1, inverted C3. Byte 8: C3, C2.
// Bit n of each nibble belongs to block n of the sector.
std::array<std::uint8_t, 3> MifareCard::encodeAccess(const AccessValues& values)
{
    unsigned c1 = 0;
    unsigned c2 = 0;
    unsigned c3 = 0;
    for (unsigned block = 0; block < BlocksPerSector; ++block) {
        const unsigned value = values[block];
        c1 |= ((value >> 2) & 1U) << block;
        c2 |= ((value >> 1) & 1U) << block;
        c3 |= (value & 1U) << block;
    }
    return { static_cast<std::uint8_t>((~c2 & 0xFU) << 4 | (~c1 & 0xFU)),
        static_cast<std::uint8_t>(c1 << 4 | (~c3 & 0xFU)), static_cast<std::uint8_t>(c3 << 4 | c2) };
}

std::optional<MifareCard::AccessValues> MifareCard::decodeAccess(std::span<const std::uint8_t, 3> bytes)
{
    const unsigned c1 = bytes[1] >> 4U;
    const unsigned c2 = bytes[2] & 0xFU;
    const unsigned c3 = bytes[2] >> 4U;
    if ((bytes[0] & 0xFU) != (~c1 & 0xFU) || (bytes[0] >> 4U) != (~c2 & 0xFU) || (bytes[1] & 0xFU) != (~c3 & 0xFU)) {
        return std::nullopt;
    }
    AccessValues values {};
    for (unsigned block = 0; block < BlocksPerSector; ++block) {
        values[block]
            = static_cast<std::uint8_t>(((c1 >> block) & 1U) << 2 | ((c2 >> block) & 1U) << 1 | ((c3 >> block) & 1U));
    }
    return values;
}

MifareCard::Outcome MifareCard::authenticate(int sector, KeyType keyType, const Key& key) const
{
    if (!validSector(sector)) {
        return Outcome::OutOfRange;
    }
    if (!accessValues(sector)) {
        return Outcome::AuthenticationFailed;
    }
    return (keyType == KeyType::A ? keyA(sector) : keyB(sector)) == key ? Outcome::Ok : Outcome::AuthenticationFailed;
}

namespace {

// Where key B may be read it is plain data, and a sector entered with it grants nothing.
bool keyBIsData(std::uint8_t trailerValue)
{
    return trailerRules[trailerValue].keyBRead != Who::Never;
}

} // namespace

MifareCard::Outcome MifareCard::read(const Authentication& authentication, int block, Block& data) const
{
    if (!validBlock(block)) {
        return Outcome::OutOfRange;
    }
    const int sector = sectorOf(block);
    const std::optional<AccessValues> values = accessValues(sector);
    if (sector != authentication.sector || !values
        || (authentication.keyType == KeyType::B && keyBIsData((*values)[3]))) {
        return Outcome::AccessDenied;
    }
    const KeyType keyType = authentication.keyType;
    const Block& stored = rawBlock(block);
    if (!isTrailer(block)) {
        if (!grants(dataRules[(*values)[static_cast<std::size_t>(block % BlocksPerSector)]].read, keyType)) {
            return Outcome::AccessDenied;
        }
        data = stored;
        return Outcome::Ok;
    }
    const TrailerRule& rule = trailerRules[(*values)[3]];
    data.fill(0);
    if (grants(rule.accessRead, keyType)) {
        std::copy_n(stored.begin() + AccessOffset, AccessSize, data.begin() + AccessOffset);
    }
    if (grants(rule.keyBRead, keyType)) {
        std::copy_n(stored.begin() + KeyBOffset, KeySize, data.begin() + KeyBOffset);
    }
    return Outcome::Ok;
}

MifareCard::Outcome MifareCard::write(const Authentication& authentication, int block, const Block& data)
{
    if (!validBlock(block)) {
        return Outcome::OutOfRange;
    }
    const int sector = sectorOf(block);
    const std::optional<AccessValues> values = accessValues(sector);
    if (block == 0 || sector != authentication.sector || !values
        || (authentication.keyType == KeyType::B && keyBIsData((*values)[3]))) {
        return Outcome::AccessDenied;
    }
    const KeyType keyType = authentication.keyType;
    Block& stored = m_blocks[static_cast<std::size_t>(block)];
    if (!isTrailer(block)) {
        if (!grants(dataRules[(*values)[static_cast<std::size_t>(block % BlocksPerSector)]].write, keyType)) {
            return Outcome::AccessDenied;
        }
        stored = data;
        return Outcome::Ok;
    }
    const TrailerRule& rule = trailerRules[(*values)[3]];
    const bool keyAWritable = grants(rule.keyAWrite, keyType);
    const bool accessWritable = grants(rule.accessWrite, keyType);
    const bool keyBWritable = grants(rule.keyBWrite, keyType);
    if (!keyAWritable && !accessWritable && !keyBWritable) {
        return Outcome::AccessDenied;
    }
    if (keyAWritable) {
        std::copy_n(data.begin() + KeyAOffset, KeySize, stored.begin() + KeyAOffset);
    }
    if (accessWritable) {
        std::copy_n(data.begin() + AccessOffset, AccessSize, stored.begin() + AccessOffset);
    }
    if (keyBWritable) {
        std::copy_n(data.begin() + KeyBOffset, KeySize, stored.begin() + KeyBOffset);
    }
    return Outcome::Ok;
}

std::optional<MifareCard::Key> MifareCard::keyFromHex(const char* text)
{
    if (!text)
        return std::nullopt;
    constexpr int digits = 2 * KeySize;
    QByteArray hex;
    for (int i = 0; i <= digits && text[i] != '\0'; ++i)
        hex.append(text[i]);
    const bool allHex = std::all_of(hex.begin(), hex.end(),
                                    [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
    if (hex.size() != digits || !allHex)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(hex);
    Key key{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.constData()), KeySize, key.begin());
    return key;
}

std::optional<MifareCard::Block> MifareCard::trailerFor(const std::uint8_t* keyA, const AccessValues& values,
                                                        std::uint8_t bk, const std::uint8_t* keyB)
{
    const bool valuesValid = std::all_of(values.begin(), values.end(), [](std::uint8_t value) { return value <= 7; });
    if (!keyA || !keyB || !valuesValid || bk > 2)
        return std::nullopt;
    // The access bytes end in a free user byte; readers write the one cards are delivered with.
    constexpr std::uint8_t userByte = 0x69;
    Block trailer{};
    const std::array<std::uint8_t, 3> access = encodeAccess(values);
    std::copy_n(keyA, KeySize, trailer.begin() + KeyAOffset);
    std::copy(access.begin(), access.end(), trailer.begin() + AccessOffset);
    trailer[AccessOffset + access.size()] = userByte;
    std::copy_n(keyB, KeySize, trailer.begin() + KeyBOffset);
    return trailer;
}

} // namespace kelm
