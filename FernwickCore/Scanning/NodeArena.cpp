#include "FernwickCore/Scanning/NodeArena.h"

#include <new>
#include <sys/mman.h>

namespace fernwick::detail {
namespace {

// The first chunks are small, so that a small scan wastes little; a large scan then takes
// chunks of one huge page each, because touching fresh memory page by page (a fault per 4 KiB)
// costs a large tree more than building its nodes does.
constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::size_t kSmallChunks = 4;
constexpr std::size_t kHugeChunkSize = 2 * 1024 * 1024;

// A kHugeChunkSize block aligned to its size, marked for transparent huge pages; nullptr when
// the mapping fails.
char* mapHugeChunk() {
    const std::size_t span = 2 * kHugeChunkSize;
    void* mapped =
        ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    char* start = static_cast<char*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    char* aligned = start + ((kHugeChunkSize - address % kHugeChunkSize) % kHugeChunkSize);
    if (aligned > start) {
        ::munmap(start, static_cast<std::size_t>(aligned - start));
    }
    char* end = aligned + kHugeChunkSize;
    if (end < start + span) {
        ::munmap(end, static_cast<std::size_t>(start + span - end));
    }
    // madvise(2): MADV_HUGEPAGE; without transparent huge pages the chunk is ordinary memory.
    ::madvise(aligned, kHugeChunkSize, MADV_HUGEPAGE);
    return aligned;
}

} // namespace

void* NodeArena::allocate(std::size_t bytes, std::size_t alignment) {
    auto aligned = [&](char* at) {
        const auto address = reinterpret_cast<std::uintptr_t>(at);
        return at + ((alignment - address % alignment) % alignment);
    };
    char* start = m_cursor == nullptr ? nullptr : aligned(m_cursor);
    if (start == nullptr || start + bytes > m_end) {
        Chunk chunk{nullptr, 0, false};
        if (m_chunks.size() >= kSmallChunks && bytes + alignment <= kHugeChunkSize) {
            chunk = {mapHugeChunk(), kHugeChunkSize, true};
        }
        if (chunk.memory == nullptr) {
            chunk.size = bytes + alignment > kChunkSize ? bytes + alignment : kChunkSize;
            chunk = {static_cast<char*>(::operator new(chunk.size)), chunk.size, false};
        }
        m_chunks.push_back(chunk);
        m_end = chunk.memory + chunk.size;
        start = aligned(chunk.memory);
    }
    m_cursor = start + bytes;
    return start;
}

NodeArena::~NodeArena() {
    for (const Chunk& chunk : m_chunks) {
        if (chunk.mapped) {
            ::munmap(chunk.memory, chunk.size);
        } else {
            ::operator delete(chunk.memory);
        }
    }
}

} // namespace fernwick::detail
