#include "FernwickCore/Scanning/LargeFileFinder.h"

#include "FernwickCore/Model/TreeWalk.h"

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
    // Only the matches are kept, never a list of the whole tree.
    forEachInPreOrder(root, [&](const DiskNodePtr& node) {
        if (!node->isDirectory() && node->size >= threshold &&
            (!categoryFilter || *categoryFilter == node->category)) {
            found.push_back(node);
        }
    });
    std::stable_sort(found.begin(), found.end(),
                     [](const DiskNodePtr& a, const DiskNodePtr& b) { return a->size > b->size; });
    return found;
}

} // namespace fernwick
