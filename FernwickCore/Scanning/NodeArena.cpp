#include "FernwickCore/Scanning/NodeArena.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace fernwick::detail {
namespace {

// Blocks are aligned to their size and begin with their arena's address. Arenas take their
// blocks from huge-page chunks shared by all of them: touching fresh memory page by page (a
// fault per 4 KiB) costs a large tree more than building its nodes does, and a chunk of its
// own per worker would leave up to a whole chunk unused per worker at the end of a scan.
constexpr std::size_t kBlockSize = std::size_t{256} * 1024;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kChunkSize = std::size_t{2} * 1024 * 1024;

// `size` bytes aligned to `size` (a power of two), marked for transparent huge pages; nullptr
// when the mapping fails.
char* mapAligned(std::size_t size) {
    const std::size_t span = 2 * size;
    void* mapped =
        ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    char* start = static_cast<char*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    char* aligned = start + ((size - address % size) % size);
    if (aligned > start) {
        ::munmap(start, static_cast<std::size_t>(aligned - start));
    }
    char* end = aligned + size;
    if (end < start + span) {
        ::munmap(end, static_cast<std::size_t>(start + span - end));
    }
    // madvise(2): MADV_HUGEPAGE; without transparent huge pages the chunk stays ordinary.
    ::madvise(aligned, size, MADV_HUGEPAGE);
    return aligned;
}

// The blocks of a chunk still held, counted in the spare half of its first block's header; the
// chunk is unmapped with the last.
std::atomic<std::uint64_t>& holdsOf(char* chunk) {
    return *std::launder(reinterpret_cast<std::atomic<std::uint64_t>*>(chunk + sizeof(void*)));
}

void releaseHold(char* chunk) {
    if (holdsOf(chunk).fetch_sub(1, std::memory_order_acq_rel) == 1) {
        ::munmap(chunk, kChunkSize);
    }
}

// Hands out the blocks of one chunk after another; holds the current chunk itself until it is
// used up.
class BlockSource {
public:
    static BlockSource& instance() {
        static auto* source = new BlockSource(); // never destroyed: arenas may outlive statics
        return *source;
    }
    char* take() {
        const std::lock_guard lock(m_mutex);
        if (m_chunk == nullptr) {
            m_chunk = mapAligned(kChunkSize);
            if (m_chunk == nullptr) {
                throw std::bad_alloc();
            }
            new (m_chunk + sizeof(void*)) std::atomic<std::uint64_t>(1);
            m_next = 0;
        }
        char* block = m_chunk + m_next;
        holdsOf(m_chunk).fetch_add(1, std::memory_order_relaxed);
        m_next += kBlockSize;
        if (m_next == kChunkSize) {
            releaseHold(std::exchange(m_chunk, nullptr));
        }
        return block;
    }
    static void give(char* block) {
        releaseHold(block - reinterpret_cast<std::uintptr_t>(block) % kChunkSize);
    }

private:
    std::mutex m_mutex;
    char* m_chunk = nullptr;
    std::size_t m_next = 0;
};

char* alignUp(char* at, std::size_t alignment) {
    const auto address = reinterpret_cast<std::uintptr_t>(at);
    return at + ((alignment - address % alignment) % alignment);
}

} // namespace

NodeArena*& currentNodeArena() {
    thread_local NodeArena* current = nullptr;
    return current;
}

NodeArena* NodeArena::owner(const void* memory) {
    // The block's first word names its arena; step back to the block start by pointer arithmetic.
    const auto offset = reinterpret_cast<std::uintptr_t>(memory) % kBlockSize;
    return *reinterpret_cast<NodeArena* const*>(static_cast<const char*>(memory) - offset);
}

void* NodeArena::allocate(std::size_t bytes, std::size_t alignment) {
    if (bytes + alignment + kHeaderSize > kBlockSize / 2) {
        throw std::bad_alloc();
    }
    char* start = m_cursor == nullptr ? nullptr : alignUp(m_cursor, alignment);
    if (start == nullptr || start + bytes > m_end) {
        char* block = BlockSource::instance().take();
        *reinterpret_cast<NodeArena**>(block) = this;
        m_blocks.push_back(block);
        m_end = block + kBlockSize;
        start = alignUp(block + kHeaderSize, alignment);
    }
    m_cursor = start + bytes;
    return start;
}

NodeArena::~NodeArena() {
    for (char* block : m_blocks) {
        BlockSource::give(block);
    }
}

} // namespace fernwick::detail
