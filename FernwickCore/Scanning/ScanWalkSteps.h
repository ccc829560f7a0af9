#pragma once

// The steps and records of one scan's walk that its two source files share. Internal to the
// scanner.

#include "FernwickCore/Platform/DirectoryReader.h"
#include "FernwickCore/Scanning/NodeArena.h"
#include "FernwickCore/Scanning/ScanWalk.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unistd.h>
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

/// The running totals of the whole scan, added to by every walk: each report carries them, so
/// that the figures a user sees only ever grow.
struct ScanTotals {
    std::atomic<std::int64_t> logical{0};
    std::atomic<std::int64_t> allocated{0};
    std::atomic<std::int64_t> files{0};
    std::atomic<std::int64_t> errors{0};
    std::atomic<std::int64_t> inaccessible{0};
};

/// One top-level walk, shared by every task below that entry of the root: when it last
/// reported (reports are spaced per walk).
struct WalkTotals {
    std::atomic<std::int64_t> lastReport{0};
};

/// A listed folder whose sums wait for its own listing and for every task below it: the last of
/// them to finish sums its children, on that worker, and so on up, so that a whole walk leaves
/// no serial pass over the tree at the end.
struct FolderSum {
    DiskNode* node = nullptr; // nullptr: the root, summed by the caller once every task is done
    std::shared_ptr<FolderSum> parent;
    std::atomic<std::int64_t> pending{1};
    bool split = false; // its entries went to runs: a slot a run never filled is empty

    FolderSum() = default;
    FolderSum(const FolderSum&) = delete;
    FolderSum& operator=(const FolderSum&) = delete;
    FolderSum(FolderSum&&) = delete;
    FolderSum& operator=(FolderSum&&) = delete;
    // A walk stopped deep in a chain of folders drops them together, each the last holder of the
    // one above: let go of them one by one instead of one stack frame per level.
    ~FolderSum() {
        std::shared_ptr<FolderSum> above = std::move(parent);
        while (above && above.use_count() == 1) {
            above = std::move(above->parent);
        }
    }
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
    std::shared_ptr<FolderSum> folderSum; // of the folder it lies in
};

/// The entries of the snapshot that a folder's sub-folders still need to test: those the folder
/// lies at or under and those that begin with its path. No other can match anything below it.
struct ProtectedAbove {
    std::vector<const std::string*> candidates;
};

/// What the walk knows of the folder whose entries it visits. Nothing here grows with the
/// folder's depth: its path is kept as the link its items' nodes share and as a trail.
struct FolderContext {
    PathLinkPtr link;
    PathTrail trail;
    FolderRules rules; // what its items' categories share
    std::shared_ptr<DirHandle> handle;
    std::shared_ptr<FolderSum> sum;
    int depth = 0; // of the folder; its entries are one deeper
    WalkTotals* walk = nullptr;
    bool allProtected = false;
    std::vector<std::string> protectedNames; // entries of the snapshot naming a direct child
    ProtectedAbove protection;               // for its sub-folders
    bool allPrivate = false;
    // For each privacy entry whose part before its last "/" ends this folder's lower-cased path:
    // the part after it. An item is private when its lower-cased name begins with one of them.
    std::vector<std::string_view> privateNamePrefixes;
};

/// A large folder whose entries several tasks visit, a run each, so that other workers share
/// its items; each run writes its own slots of the folder's children.
struct FolderRuns {
    FolderContext folder;
    DiskNode* node = nullptr;
    std::string names; // every entry's name with its NUL, in listing order
    std::vector<std::string_view> entries;
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
};

/// Device and inode pairs seen in this scan: every folder's, and those of files with more than
/// one link. An open-addressed table per shard: 16 bytes per pair at most half full, where a
/// node-based set took about 56 (a home folder holds about one folder per ten items).
class LinkRegistry {
public:
    /// True the first time a pair is offered; always true for inode 0, which names no file.
    bool insert(std::uint64_t device, std::uint64_t inode) {
        if (inode == 0) {
            return true;
        }
        const Key key{device, inode};
        const std::uint64_t hash = hashOf(key);
        Shard& shard = m_shards[hash >> 59]; // the top five bits: 32 shards
        std::lock_guard lock(shard.mutex);
        if ((shard.count + 1) * 2 > shard.slots.size()) {
            grow(shard);
        }
        if (!place(shard.slots, key, hash)) {
            return false;
        }
        ++shard.count;
        return true;
    }

private:
    struct Key {
        std::uint64_t device;
        std::uint64_t inode; // 0: the slot is free
        bool operator==(const Key&) const = default;
    };
    struct Shard {
        std::mutex mutex;
        std::vector<Key> slots; // a power of two in size
        std::size_t count = 0;
    };

    static std::uint64_t hashOf(const Key& key) {
        std::uint64_t hash =
            (key.inode ^ (key.device << 32 | key.device >> 32)) * 0x9E3779B97F4A7C15ULL;
        return hash ^ (hash >> 29);
    }
    // False when the key is there already.
    static bool place(std::vector<Key>& slots, const Key& key, std::uint64_t hash) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            if (slots[i].inode == 0) {
                slots[i] = key;
                return true;
            }
            if (slots[i] == key) {
                return false;
            }
        }
    }
    static void grow(Shard& shard) {
        std::vector<Key> larger(std::max<std::size_t>(64, shard.slots.size() * 2), Key{0, 0});
        for (const Key& key : shard.slots) {
            if (key.inode != 0) {
                place(larger, key, hashOf(key));
            }
        }
        shard.slots.swap(larger);
    }

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
    enum class Kind { topLevel, rootFiles, list, size, run } kind = Kind::list;
    // topLevel: the root's context, the entry's name and its slot among the root's children.
    // rootFiles: the root's context and `count` entries of the root from `slot` on.
    // list: the folder's node and trail, its parent's handle and link. size: the target, the
    // folder's name, its parent's handle and link. run: the folder's runs and `count` entries
    // from `slot` on.
    DiskNode* node = nullptr;
    std::shared_ptr<SizingTarget> target;
    std::shared_ptr<FolderRuns> runs;
    std::shared_ptr<const FolderContext> parent;
    // The folder sum this task holds once: a list task passes it to its folder's own sum, the
    // first size task to its target; any other task lets go of it when it ends.
    std::shared_ptr<FolderSum> sum;
    std::shared_ptr<DirHandle> parentHandle;
    PathLinkPtr parentLink;
    PathTrail trail;
    ProtectedAbove above; // list: the protection its parent passes down
    std::string name;
    std::uint64_t device = 0;
    std::size_t slot = 0;
    std::size_t count = 0;
    int depth = 0;
    WalkTotals* walk = nullptr;
};

} // namespace fernwick::detail
