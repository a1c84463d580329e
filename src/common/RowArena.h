#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelm {

// The memory a list keeps its rows in: large byte blocks that rows are written into one after the
// other and never moved, each row found again by a 32-bit position. The blocks keep their space when
// the list is filled again, so a reload touches no fresh memory.
class RowArena
{
public:
    RowArena() = default;
    ~RowArena();
    RowArena(const RowArena&) = delete;
    RowArena& operator=(const RowArena&) = delete;

    // The next row goes to the start of the first block again.
    void reset();
    // Room for size bytes of one row; returns where to write them and the row's position.
    char* append(std::size_t size, std::uint32_t& position);
    const char* at(std::uint32_t position) const;
    std::size_t bytesReserved() const;

private:
    struct Block
    {
        char* data = nullptr;
        std::size_t size = 0;
    };

    std::vector<Block> m_blocks;
    std::size_t m_block = 0; // the block being written
    std::size_t m_used = 0;  // bytes written in it
};

} // namespace kelm
