#include "common/RowArena.h"

#include <kelm/Error.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace kelm {

namespace {

// A row's position: the block number above BlockShift bits of offset. Rows start in the first
// 4 MiB of a block, so 1024 blocks address 4 GiB of cells.
constexpr int BlockShift = 22;
constexpr std::size_t BlockSize = std::size_t(1) << BlockShift;
constexpr std::size_t MaxBlocks = std::size_t(1) << (32 - BlockShift);
// A short list never needs more than its first, small block.
constexpr std::size_t FirstBlockSize = 64 * 1024;
constexpr std::size_t HugePage = 2 * 1024 * 1024;

// Blocks come straight from the system, on huge-page boundaries, marked for huge pages and mapped
// in one call: a million members fill some 130 MB, and touching that much fresh memory one 4 KiB
// page fault at a time costs as much as reading the rows from SQLite, most of all on virtual
// machines. Huge pages cut that to a fifth or less; where they are off, mapping a block in one call
// still saves two fifths. (An older kernel refuses the second advice, and then faults as before.)
#if defined(__linux__) && defined(MADV_HUGEPAGE)
// Large blocks a list gave back, kept a while for the next list: fresh memory costs the system the
// zeroing of every page it hands out, at a million members a third of the time the list takes to
// fill, while memory used before costs nothing. A cashier who closes the member screen and opens it
// again within a few minutes is served from here; after that the memory goes back to the system.
// Lists live on the application's thread; a block freed on any other goes back at once.
class SpareBlocks
{
public:
    static constexpr std::chrono::minutes KeepFor{3};

    static SpareBlocks& instance()
    {
        static SpareBlocks spare;
        return spare;
    }
    ~SpareBlocks()
    {
        for (const Spare& block : m_blocks)
            munmap(block.data, block.size);
    }

    char* take(std::size_t size)
    {
        if (!onApplicationThread())
            return nullptr;
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it) {
            if (it->size == size) {
                char* data = it->data;
                m_blocks.erase(it);
                return data;
            }
        }
        return nullptr;
    }

    bool keep(char* data, std::size_t size)
    {
        if (!onApplicationThread())
            return false;
        m_blocks.push_back({data, size, Clock::now() + KeepFor});
        if (!m_releaseScheduled) {
            m_releaseScheduled = true;
            QTimer::singleShot(KeepFor, QCoreApplication::instance(), [this] { releaseExpired(); });
        }
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Spare
    {
        char* data;
        std::size_t size;
        Clock::time_point until;
    };

    static bool onApplicationThread()
    {
        const QCoreApplication* app = QCoreApplication::instance();
        return app && app->thread() == QThread::currentThread();
    }

    void releaseExpired()
    {
        m_releaseScheduled = false;
        const Clock::time_point now = Clock::now();
        std::erase_if(m_blocks, [now](const Spare& block) {
            if (block.until > now)
                return false;
            munmap(block.data, block.size);
            return true;
        });
        if (!m_blocks.empty()) {
            m_releaseScheduled = true;
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_blocks.front().until - now);
            QTimer::singleShot(wait, QCoreApplication::instance(), [this] { releaseExpired(); });
        }
    }

    std::vector<Spare> m_blocks; // oldest first
    bool m_releaseScheduled = false;
};
#endif

char* allocateBlock(std::size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (size >= HugePage) {
        if (char* spare = SpareBlocks::instance().take(size))
            return spare;
        void* mapped = mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = (start + HugePage - 1) & ~std::uintptr_t(HugePage - 1);
        if (aligned > start)
            munmap(mapped, aligned - start);
        if (start + HugePage > aligned)
            munmap(reinterpret_cast<void*>(aligned + size), start + HugePage - aligned);
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
        madvise(reinterpret_cast<void*>(aligned), size, MADV_POPULATE_WRITE);
#endif
        return reinterpret_cast<char*>(aligned);
    }
#endif
    return static_cast<char*>(::operator new(size));
}

void freeBlock(char* data, std::size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (size >= HugePage) {
        if (!SpareBlocks::instance().keep(data, size))
            munmap(data, size);
        return;
    }
#endif
    ::operator delete(data, size);
}

} // namespace

RowArena::~RowArena()
{
    for (const Block& block : m_blocks)
        freeBlock(block.data, block.size);
}

void RowArena::reset()
{
    m_block = 0;
    m_used = 0;
}

char* RowArena::append(std::size_t size, std::uint32_t& position)
{
    if (m_blocks.empty() || m_used + size > m_blocks[m_block].size) {
        const std::size_t next = m_blocks.empty() ? 0 : m_block + 1;
        std::size_t needed = std::max(next == 0 ? FirstBlockSize : BlockSize, size);
        if (needed >= HugePage) // whole huge pages, which the system maps and unmaps as a piece
            needed = (needed + HugePage - 1) / HugePage * HugePage;
        if (next == m_blocks.size()) {
            if (next >= MaxBlocks)
                throw Error("列表过大，无法显示。");
            m_blocks.push_back({allocateBlock(needed), needed});
        } else if (m_blocks[next].size < needed) {
            // A block kept from an earlier fill that is too small for this one row. It is emptied
            // first, so that a failed allocation leaves nothing to be freed twice.
            freeBlock(m_blocks[next].data, m_blocks[next].size);
            m_blocks[next] = {nullptr, 0};
            m_blocks[next] = {allocateBlock(needed), needed};
        }
        m_block = next;
        m_used = 0;
    }
    char* out = m_blocks[m_block].data + m_used;
    position = static_cast<std::uint32_t>((m_block << BlockShift) | m_used);
    m_used += size;
    // A row beyond a block's first 4 MiB would not fit its position; the next row starts afresh.
    if (m_used >= BlockSize)
        m_used = m_blocks[m_block].size;
    return out;
}

const char* RowArena::at(std::uint32_t position) const
{
    return m_blocks[position >> BlockShift].data + (position & (BlockSize - 1));
}

std::size_t RowArena::bytesReserved() const
{
    std::size_t bytes = 0;
    for (const Block& block : m_blocks)
        bytes += block.size;
    return bytes;
}

} // namespace kelm
