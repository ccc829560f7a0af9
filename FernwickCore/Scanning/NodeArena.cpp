#include "FernwickCore/Scanning/NodeArena.h"

#include <new>

namespace fernwick::detail {
namespace {

// Large enough to be mapped on its own by malloc, small enough that the last, partly used chunk
// of each worker wastes little.
constexpr std::size_t kChunkSize = 256 * 1024;

} // namespace

void* NodeArena::allocate(std::size_t bytes, std::size_t alignment) {
    auto aligned = [&](char* at) {
        const auto address = reinterpret_cast<std::uintptr_t>(at);
        return at + ((alignment - address % alignment) % alignment);
    };
    char* start = m_cursor == nullptr ? nullptr : aligned(m_cursor);
    if (start == nullptr || start + bytes > m_end) {
        const std::size_t size = bytes + alignment > kChunkSize ? bytes + alignment : kChunkSize;
        char* chunk = static_cast<char*>(::operator new(size));
        m_chunks.push_back(chunk);
        m_end = chunk + size;
        start = aligned(chunk);
    }
    m_cursor = start + bytes;
    return start;
}

NodeArena::~NodeArena() {
    for (char* chunk : m_chunks) {
        ::operator delete(chunk);
    }
}

} // namespace fernwick::detail
