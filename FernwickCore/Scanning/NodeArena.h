#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fernwick::detail {

/// Bump allocation for the nodes one scan worker builds: no allocator header per node, no heap
/// growth on the hot path. Allocation belongs to the one worker that made the arena; release may
/// come from any thread. The arena lives until its owner and every node in it have let go, so a
/// node kept after its tree was dropped keeps its arena's memory (not other arenas') alive.
class NodeArena {
public:
    /// A new arena, held once by its creator.
    static NodeArena* create() { return new NodeArena(); }

    /// Owner thread only.
    void* allocate(std::size_t bytes, std::size_t alignment);
    void retain() { m_references.fetch_add(1, std::memory_order_relaxed); }
    /// Any thread; frees the arena with its last reference.
    void release() {
        if (m_references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }

    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;

private:
    NodeArena() = default;
    ~NodeArena();

    struct Chunk {
        char* memory;
        std::size_t size;
        bool mapped;
    };
    std::vector<Chunk> m_chunks;
    char* m_cursor = nullptr;
    char* m_end = nullptr;
    std::atomic<std::int64_t> m_references{1};
};

/// The allocator std::allocate_shared keeps in each node's control block.
template <typename T> struct ArenaAllocator {
    using value_type = T;

    explicit ArenaAllocator(NodeArena* owner) : arena(owner) {}
    template <typename U> ArenaAllocator(const ArenaAllocator<U>& other) : arena(other.arena) {}

    T* allocate(std::size_t count) {
        void* memory = arena->allocate(count * sizeof(T), alignof(T));
        arena->retain();
        return static_cast<T*>(memory);
    }
    void deallocate(T*, std::size_t) { arena->release(); }

    template <typename U> bool operator==(const ArenaAllocator<U>& other) const {
        return arena == other.arena;
    }

    NodeArena* arena;
};

} // namespace fernwick::detail
