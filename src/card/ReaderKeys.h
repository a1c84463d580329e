#pragma once

#include "card/MifareCard.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kelm {

// The keys a reader keeps for authentication, one per key mode and sector, as rf_load_key stores
// them. Modes 0-2 hold key A, 4-6 key B; 3 is no key set.
class ReaderKeys
{
public:
    static bool validMode(std::uint8_t mode) { return mode <= 6 && mode != 3; }
    static MifareCard::KeyType typeOf(std::uint8_t mode)
    {
        return mode < 3 ? MifareCard::KeyType::A : MifareCard::KeyType::B;
    }

    // Stores the six bytes of key6; false, storing nothing, for no key or a mode or sector no key
    // can be stored under.
    bool store(std::uint8_t mode, std::uint8_t sector, const std::uint8_t* key6)
    {
        if (!validMode(mode) || sector >= MifareCard::SectorCount || !key6)
            return false;
        MifareCard::Key key{};
        std::copy_n(key6, MifareCard::KeySize, key.begin());
        m_keys[slot(mode, sector)] = key;
        return true;
    }
    // The key stored under the mode and sector; nothing when none is, or none can be.
    std::optional<MifareCard::Key> find(std::uint8_t mode, std::uint8_t sector) const
    {
        if (!validMode(mode) || sector >= MifareCard::SectorCount)
            return std::nullopt;
        return m_keys[slot(mode, sector)];
    }
    void clear() { m_keys.fill(std::nullopt); }

private:
    static constexpr int Modes = 7;
    static std::size_t slot(std::uint8_t mode, std::uint8_t sector)
    {
        return std::size_t{mode} * MifareCard::SectorCount + sector;
    }

    std::array<std::optional<MifareCard::Key>, Modes * MifareCard::SectorCount> m_keys{};
};

} // namespace kelm
