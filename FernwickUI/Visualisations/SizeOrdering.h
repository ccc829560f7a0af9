#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <cstdint>
#include <vector>

namespace fernwick::ui {

/// A copy of `node`'s children in a stable sort by size, largest first: equal sizes keep the
/// tree's order. The node's own list is never touched.
std::vector<DiskNodePtr> childrenBySize(const DiskNode& node);

/// The same for the children whose size is greater than 0 only.
std::vector<DiskNodePtr> positiveChildrenBySize(const DiskNode& node);

/// The sum of the nodes' sizes (saturating), but at least 1: the divisor of a share.
std::int64_t shareDivisor(const std::vector<DiskNodePtr>& nodes);

/// `size` over `divisor` in double precision.
inline double shareOf(std::int64_t size, std::int64_t divisor) {
    return static_cast<double>(size) / static_cast<double>(divisor);
}

/// The size against which cards and bubbles measure a child: the first node's size of a list
/// sorted largest first, at least 1; 1 for an empty list.
std::int64_t maxSizeOf(const std::vector<DiskNodePtr>& sortedNodes);

} // namespace fernwick::ui
