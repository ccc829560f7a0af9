#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <mutex>

namespace fernwick::ui {

namespace {

// Folders with fewer children sort faster than they are checked against a kept order.
constexpr std::size_t kLeastKeptChildren = 64;

// The order of the last large folders sorted: after a drill-down each mode shown sorts the same
// children again (10,000 of them take about a millisecond). An order is used again only for the
// same folder holding the same children, in the same places, and of the same total size, which
// a change of any child's size changes too; it holds no node, so it keeps no tree alive.
class KeptOrders {
public:
    // The indices into `node.children` of the non-null children, largest first, equal sizes in
    // the tree's order.
    std::vector<std::size_t> orderOf(const DiskNode& node) {
        const auto& children = node.children;
        if (children.size() < kLeastKeptChildren) {
            return sortedIndices(node);
        }
        {
            const std::lock_guard lock(m_mutex);
            for (const Kept& kept : m_kept) {
                if (kept.matches(node)) {
                    return kept.order;
                }
            }
        }
        Kept kept;
        kept.node = &node;
        kept.size = node.size;
        kept.children.reserve(children.size());
        for (const auto& child : children) {
            kept.children.push_back(child.get());
        }
        kept.order = sortedIndices(node);
        std::vector<std::size_t> order = kept.order;
        const std::lock_guard lock(m_mutex);
        m_kept[m_next] = std::move(kept);
        m_next = (m_next + 1) % m_kept.size();
        return order;
    }

private:
    struct Kept {
        const DiskNode* node = nullptr;
        std::int64_t size = 0;
        std::vector<const DiskNode*> children;
        std::vector<std::size_t> order;

        bool matches(const DiskNode& other) const {
            if (node != &other || size != other.size || children.size() != other.children.size()) {
                return false;
            }
            for (std::size_t i = 0; i < children.size(); ++i) {
                if (children[i] != other.children[i].get()) {
                    return false;
                }
            }
            return true;
        }
    };

    // Sorted by keys kept side by side: comparing through the pointers would visit the nodes,
    // each in its own allocation, at every step of the sort.
    static std::vector<std::size_t> sortedIndices(const DiskNode& node) {
        struct Key {
            std::int64_t size;
            std::size_t index;
        };
        const auto& children = node.children;
        std::vector<Key> keys;
        keys.reserve(children.size());
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (children[i]) {
                keys.push_back({children[i]->size, i});
            }
        }
        std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
            return a.size != b.size ? a.size > b.size : a.index < b.index;
        });
        std::vector<std::size_t> order;
        order.reserve(keys.size());
        for (const Key& key : keys) {
            order.push_back(key.index);
        }
        return order;
    }

    std::mutex m_mutex;
    // Two: a folder and the one entered from it, or two folders visited in turn.
    std::array<Kept, 2> m_kept;
    std::size_t m_next = 0;
};

KeptOrders& keptOrders() {
    static KeptOrders orders;
    return orders;
}

// The children in size order while `keep` accepts them: those of size greater than 0 come
// first in that order, so the positive ones are its beginning.
template <typename Keep> std::vector<DiskNodePtr> sortedChildren(const DiskNode& node, Keep keep) {
    const std::vector<std::size_t> order = keptOrders().orderOf(node);
    std::vector<DiskNodePtr> nodes;
    nodes.reserve(order.size());
    for (const std::size_t index : order) {
        const DiskNodePtr& child = node.children[index];
        if (!keep(*child)) {
            break;
        }
        nodes.push_back(child);
    }
    return nodes;
}

} // namespace

std::vector<DiskNodePtr> childrenBySize(const DiskNode& node) {
    return sortedChildren(node, [](const DiskNode&) { return true; });
}

std::vector<DiskNodePtr> positiveChildrenBySize(const DiskNode& node) {
    return sortedChildren(node, [](const DiskNode& child) { return child.size > 0; });
}

std::int64_t shareDivisor(const std::vector<DiskNodePtr>& nodes) {
    std::int64_t sum = 0;
    for (const auto& node : nodes) {
        sum = saturatingAdd(sum, std::max<std::int64_t>(node->size, 0));
    }
    return std::max<std::int64_t>(sum, 1);
}

std::int64_t maxSizeOf(const std::vector<DiskNodePtr>& sortedNodes) {
    return sortedNodes.empty() ? 1 : std::max<std::int64_t>(sortedNodes.front()->size, 1);
}

} // namespace fernwick::ui
