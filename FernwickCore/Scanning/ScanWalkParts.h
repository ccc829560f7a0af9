#pragma once

// The pieces of one scan's walk that its two source files share. Internal to the scanner.

#include "FernwickCore/Platform/DirectoryReader.h"
#include "FernwickCore/Scanning/NodeArena.h"
#include "FernwickCore/Scanning/ScanWalk.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace fernwick::detail {

/// The least an unopened folder adds to the inaccessible estimate.
constexpr std::int64_t kMinimumInaccessible = 4096;

/// Adds to a shared total, stopping at INT64_MAX.
inline void addSaturating(std::atomic<std::int64_t>& total, std::int64_t value) {
    if (value == 0) {
        return;
    }
    std::int64_t current = total.load(std::memory_order_relaxed);
    while (!total.compare_exchange_weak(current, saturatingAdd(current, value),
                                        std::memory_order_relaxed)) {
    }
}

/// An open folder that its sub-folders' tasks open their own folders from; closed when the last
/// of them is done with it.
struct DirHandle {
    DirHandle(int descriptor, std::uint64_t deviceNumber) : fd(descriptor), device(deviceNumber) {}
    ~DirHandle() { ::close(fd); }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    const int fd;
    const std::uint64_t device;
};

/// The totals of one top-level walk, shared by every task below that entry of the root.
struct WalkTotals {
    std::atomic<std::int64_t> logical{0};
    std::atomic<std::int64_t> allocated{0};
    std::atomic<std::int64_t> files{0};
    std::atomic<std::int64_t> errors{0};
    std::atomic<std::int64_t> inaccessible{0};
    std::atomic<std::int64_t> lastReport{0};
};

/// A folder being sized in one pass by several tasks; the last to finish writes the node.
struct SizingTarget {
    DiskNode* node = nullptr;
    WalkTotals* walk = nullptr;
    std::int64_t ownSize = 0;
    std::int64_t ownAllocated = 0; // st_blocks x 512, without the node's fallback
    std::atomic<std::int64_t> logical{0};
    std::atomic<std::int64_t> allocated{0};
    std::atomic<std::int64_t> count{0};
    std::atomic<std::int64_t> pending{1};
    bool skipped = false; // the folder lies on a pseudo file system: neither listed nor sized
};

/// What the walk knows of the folder whose entries it visits. Nothing here grows with the
/// folder's depth: its path is kept as the link its items' nodes share and as a trail.
struct FolderContext {
    PathLinkPtr link;
    PathTrail trail;
    std::shared_ptr<DirHandle> handle;
    int depth = 0; // of the folder; its entries are one deeper
    WalkTotals* walk = nullptr;
    bool allProtected = false;
    std::vector<std::string> protectedNames; // entries of the snapshot naming a direct child
    bool allPrivate = false;
    // For each privacy entry whose part before its last "/" ends this folder's lower-cased path:
    // the part after it. An item is private when its lower-cased name begins with one of them.
    std::vector<std::string_view> privateNamePrefixes;
};

struct WorkerScratch {
    WorkerScratch() : arena(NodeArena::create()) { currentNodeArena() = arena; }
    ~WorkerScratch() {
        currentNodeArena() = nullptr;
        arena->release();
    }
    WorkerScratch(const WorkerScratch&) = delete;
    WorkerScratch& operator=(const WorkerScratch&) = delete;
    NodeArena* arena;
    DirectoryReader reader;
    std::string window; // the category engine's scratch
    std::string lowered;
};

/// Device and inode pairs of files with more than one link, seen in this scan.
class LinkRegistry {
public:
    /// True the first time a pair is offered.
    bool insert(std::uint64_t device, std::uint64_t inode) {
        const Key key{device, inode};
        Shard& shard = m_shards[KeyHash{}(key) % m_shards.size()];
        std::lock_guard lock(shard.mutex);
        return shard.keys.insert(key).second;
    }

private:
    struct Key {
        std::uint64_t device;
        std::uint64_t inode;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            return std::hash<std::uint64_t>{}(key.inode * 0x9E3779B97F4A7C15ULL ^ key.device);
        }
    };
    struct Shard {
        std::mutex mutex;
        std::unordered_set<Key, KeyHash> keys;
    };
    std::array<Shard, 32> m_shards;
};

struct ScanWalk::Local {
    std::int64_t logical = 0;
    std::int64_t allocated = 0;
    std::int64_t files = 0;
    std::int64_t errors = 0;
    std::int64_t inaccessible = 0;
};

struct ScanWalk::Task {
    enum class Kind { topLevel, rootFiles, list, size } kind = Kind::list;
    // topLevel: the root's context, the entry's name and its slot among the root's children.
    // rootFiles: the root's context and `count` entries of the root from `slot` on.
    // list: the folder's node and trail, its parent's handle and link. size: the target, the
    // folder's name, its parent's handle and link.
    DiskNode* node = nullptr;
    std::shared_ptr<SizingTarget> target;
    std::shared_ptr<const FolderContext> parent;
    std::shared_ptr<DirHandle> parentHandle;
    PathLinkPtr parentLink;
    PathTrail trail;
    std::string name;
    std::uint64_t device = 0;
    std::size_t slot = 0;
    std::size_t count = 0;
    int depth = 0;
    WalkTotals* walk = nullptr;
};

} // namespace fernwick::detail
