#include "FernwickCore/Scanning/NodeArena.h"

#include <new>
#include <sys/mman.h>

namespace fernwick::detail {
namespace {

// Blocks are aligned to their size and begin with their arena's address. The first chunk of an
// arena is one block, so that a small scan wastes little; later chunks are one huge page each,
// because touching fresh memory page by page (a fault per 4 KiB) costs a large tree more than
// building its nodes does.
constexpr std::size_t kBlockSize = std::size_t{256} * 1024;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kSmallChunks = 4;
constexpr std::size_t kHugeChunkSize = std::size_t{2} * 1024 * 1024;

// `size` bytes aligned to `size` (a power of two), marked for transparent huge pages when
// `huge`; nullptr when the mapping fails.
char* mapAligned(std::size_t size, bool huge) {
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
    if (huge) {
        // madvise(2): MADV_HUGEPAGE; without transparent huge pages the chunk stays ordinary.
        ::madvise(aligned, size, MADV_HUGEPAGE);
    }
    return aligned;
}

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
    if (start != nullptr) {
        // Never across a block's end: step over the next block's header instead.
        const auto offset = reinterpret_cast<std::uintptr_t>(start) % kBlockSize;
        if (offset + bytes > kBlockSize) {
            start = alignUp(start + (kBlockSize - offset) + kHeaderSize, alignment);
        }
    }
    if (start == nullptr || start + bytes > m_end) {
        const bool huge = m_chunks.size() >= kSmallChunks;
        const std::size_t size = huge ? kHugeChunkSize : kBlockSize;
        char* memory = mapAligned(size, huge);
        if (memory == nullptr) {
            throw std::bad_alloc();
        }
        for (std::size_t block = 0; block < size; block += kBlockSize) {
            *reinterpret_cast<NodeArena**>(memory + block) = this;
        }
        m_chunks.push_back({memory, size});
        m_end = memory + size;
        start = alignUp(memory + kHeaderSize, alignment);
    }
    m_cursor = start + bytes;
    return start;
}

NodeArena::~NodeArena() {
    for (const Chunk& chunk : m_chunks) {
        ::munmap(chunk.memory, chunk.size);
    }
}

} // namespace fernwick::detail
