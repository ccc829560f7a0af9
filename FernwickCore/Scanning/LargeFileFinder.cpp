#include "FernwickCore/Scanning/LargeFileFinder.h"

#include <algorithm>

namespace fernwick {

const LargeFileFinder& LargeFileFinder::shared() {
    static const LargeFileFinder instance;
    return instance;
}

std::vector<DiskNodePtr>
LargeFileFinder::findLargeFiles(const DiskNodePtr& root, std::int64_t threshold,
                                std::optional<StorageCategory> categoryFilter) const {
    std::vector<DiskNodePtr> found;
    if (!root) {
        return found;
    }
    // The root, then its descendants in depth-first pre-order, walked without copying the whole
    // tree into a list first: only the matches are kept.
    std::vector<const DiskNodePtr*> stack{&root};
    while (!stack.empty()) {
        const DiskNodePtr& node = *stack.back();
        stack.pop_back();
        if (!node->isDirectory() && node->size >= threshold &&
            (!categoryFilter || *categoryFilter == node->category)) {
            found.push_back(node);
        }
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            stack.push_back(&*it);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const DiskNodePtr& a, const DiskNodePtr& b) { return a->size > b->size; });
    return found;
}

} // namespace fernwick
