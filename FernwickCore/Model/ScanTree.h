#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fernwick {

/// The one owner of the current scan tree once the scanner has handed it over, and the only code
/// that changes a published tree: a move to the Trash and its undo, a cleanup run, the graft of
/// a drill-down rescan.
///
/// A change is applied at once, whatever is reading, and re-sums only the changed node's
/// ancestors (found by following the node's path down from the root). While a View is alive, a
/// change never touches a node that view can reach: it copies the nodes from the root down to
/// the changed node and the tree goes on with the copies (copy on write; a copy keeps its
/// original's id). current() gives the copy that stands for a node held from before. With no
/// View alive, the change is made in place and every node keeps its identity.
///
/// Threads: one thread (the GUI thread) owns the ScanTree and calls every member. A View may be
/// copied, read and dropped on any thread.
class ScanTree {
public:
    /// A reader's hold on the tree as it was when the view was taken: nothing reachable from
    /// root() changes while any copy of the view lives. Dropping the last copy (on any thread)
    /// lets changes work in place again.
    class View {
    public:
        View() = default;
        const DiskNodePtr& root() const { return m_root; }

    private:
        friend class ScanTree;
        struct Pin;
        DiskNodePtr m_root;
        std::shared_ptr<const Pin> m_pin;
    };

    /// The outcome of one change.
    struct Change {
        /// The changed node as the tree now holds it; null when nothing changed.
        DiskNodePtr node;
        /// Nodes were copied: nodes held from before may stand for older versions (current()).
        bool copied = false;
    };

    ScanTree();
    ~ScanTree();
    ScanTree(const ScanTree&) = delete;
    ScanTree& operator=(const ScanTree&) = delete;

    /// Takes over a freshly scanned tree (or none), whose scan began at `listedAt` (nullopt:
    /// unknown); forgets every earlier copy.
    void reset(DiskNodePtr root, std::optional<TimePoint> listedAt = std::nullopt);
    const DiskNodePtr& root() const { return m_root; }
    /// Counts reset() calls: a task's result for an older tree can tell it is out of date (the
    /// root's identity cannot, as a change may copy the root).
    std::uint64_t generation() const { return m_generation; }
    /// A view of the tree as it is now, for a task on another thread.
    View view() const;
    /// Whether some view is still alive.
    bool hasReaders() const;
    /// The node of the current tree that stands for `node` (itself when it was never copied).
    DiskNodePtr current(const DiskNodePtr& node) const;
    /// The current nodes from the root down to `node`; empty when `node` is not in the tree.
    std::vector<DiskNodePtr> pathTo(const DiskNodePtr& node) const;
    /// The node of the current tree at `path` (as the scan spelled it); null when there is none.
    DiskNodePtr find(std::string_view path) const;

    /// A move to the Trash or a cleanup: the node keeps its item count and loses its size, its
    /// allocated size and its children.
    Change empty(const DiskNodePtr& node);
    /// The undo of empty(): the values the node had before.
    Change restore(const DiskNodePtr& node, std::int64_t size, std::int64_t allocatedSize,
                   std::vector<DiskNodePtr> children);
    /// A drill-down rescan of a childless folder: its children become those found; its size,
    /// allocated size and item count become the larger of old and new.
    Change graft(const DiskNodePtr& node, const DiskNode& found,
                 std::optional<TimePoint> listedAt = std::nullopt);
    /// When the listing that recorded the node at `path` began: the latest graft the path lies
    /// below, else the scan; nullopt when unknown. What a removal holds the node's identity to.
    std::optional<TimePoint> listedAt(std::string_view path) const;
    /// A cleanup run: empties the node at each path (those not in the tree are passed over).
    /// The change's node is the root when any was emptied.
    Change emptyAll(const std::vector<std::string>& paths);

    /// How many nodes the last change re-summed (its ancestors, counted once per change).
    std::size_t lastResummed() const { return m_lastResummed; }

private:
    template <class Edit> Change apply(const std::vector<DiskNodePtr>& chain, const Edit& edit);
    void remember(const DiskNodePtr& old, const DiskNodePtr& copy);

    DiskNodePtr m_root;
    std::optional<TimePoint> m_listedAt;
    // The folders grafted, each with the start of the listing that found what it holds now.
    std::vector<std::pair<std::string, std::optional<TimePoint>>> m_grafts;
    std::shared_ptr<std::atomic<int>> m_readers;
    // Copied nodes, held until nothing else does: original's address -> (original, copy).
    std::unordered_map<const DiskNode*, std::pair<DiskNodePtr, DiskNodePtr>> m_replaced;
    std::size_t m_lastResummed = 0;
    std::uint64_t m_generation = 0;
};

} // namespace fernwick
