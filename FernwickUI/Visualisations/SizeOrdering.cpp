#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>

namespace fernwick::ui {

namespace {

void sortLargestFirst(std::vector<DiskNodePtr>& nodes) {
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](const DiskNodePtr& a, const DiskNodePtr& b) { return a->size > b->size; });
}

} // namespace

std::vector<DiskNodePtr> childrenBySize(const DiskNode& node) {
    std::vector<DiskNodePtr> nodes;
    nodes.reserve(node.children.size());
    for (const auto& child : node.children) {
        if (child) {
            nodes.push_back(child);
        }
    }
    sortLargestFirst(nodes);
    return nodes;
}

std::vector<DiskNodePtr> positiveChildrenBySize(const DiskNode& node) {
    std::vector<DiskNodePtr> nodes;
    for (const auto& child : node.children) {
        if (child && child->size > 0) {
            nodes.push_back(child);
        }
    }
    sortLargestFirst(nodes);
    return nodes;
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
