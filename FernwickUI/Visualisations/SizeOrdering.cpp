#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>
#include <cstddef>

namespace fernwick::ui {

namespace {

// The children `keep` accepts, largest first, equal sizes in the order of the tree. Sorted by
// keys kept side by side: comparing through the pointers would visit the nodes, each in its own
// allocation, at every step of the sort (a third of a folder of 10,000's layout).
template <typename Keep> std::vector<DiskNodePtr> sortedChildren(const DiskNode& node, Keep keep) {
    struct Key {
        std::int64_t size;
        std::size_t index;
    };
    const auto& children = node.children;
    std::vector<Key> keys;
    keys.reserve(children.size());
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i] && keep(*children[i])) {
            keys.push_back({children[i]->size, i});
        }
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return a.size != b.size ? a.size > b.size : a.index < b.index;
    });
    std::vector<DiskNodePtr> nodes;
    nodes.reserve(keys.size());
    for (const Key& key : keys) {
        nodes.push_back(children[key.index]);
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
