#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fernwick::detail {

/// Bump allocation for the nodes one scan worker builds: no allocator header per node, no heap
/// growth on the hot path, and nothing stored per node to find the arena again (every 256 KiB
/// block of an arena begins with a pointer to it). The blocks come from huge-page chunks that
/// all arenas share. Allocation belongs to the one worker that
/// made the arena; release may come from any thread. The arena lives until its owner and every
/// node in it have let go, so a node kept after its tree was dropped keeps its arena's memory
/// (not other arenas') alive.
class NodeArena {
public:
    /// A new arena, held once by its creator.
    static NodeArena* create() { return new NodeArena(); }
    /// The arena a block of allocate() came from.
    static NodeArena* owner(const void* memory);

    /// Owner thread only. `bytes` plus `alignment` must stay below 128 KiB; throws
    /// std::bad_alloc when no memory can be mapped.
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

    std::vector<char*> m_blocks;
    char* m_cursor = nullptr;
    char* m_end = nullptr;
    std::atomic<std::int64_t> m_references{1};
};

/// The arena the calling thread allocates nodes from; set by a scan worker for its lifetime.
NodeArena*& currentNodeArena();

/// The allocator std::allocate_shared keeps in each node's control block. It is empty, so it
/// takes no room there: allocation uses the thread's current arena, release finds the owner by
/// address.
template <typename T> struct ArenaAllocator {
    using value_type = T;

    ArenaAllocator() = default;
    template <typename U> ArenaAllocator(const ArenaAllocator<U>&) {}

    T* allocate(std::size_t count) {
        NodeArena* arena = currentNodeArena();
        void* memory = arena->allocate(count * sizeof(T), alignof(T));
        arena->retain();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t) { NodeArena::owner(memory)->release(); }

    template <typename U> bool operator==(const ArenaAllocator<U>&) const { return true; }
};

} // namespace fernwick::detail
