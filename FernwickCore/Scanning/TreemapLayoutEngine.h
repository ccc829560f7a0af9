#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/Rect.h"
#include "FernwickCore/Scanning/TreemapRect.h"

#include <vector>

namespace fernwick {

/// Lays out a squarified treemap of one node's children: one tile per child with an area
/// proportional to its size (at least 1 byte), largest first; folders show their own children
/// inside them, below a 16-point header when large enough, down to a chosen depth. Pure
/// computation on the tree: reads the nodes, changes nothing, keeps no state and locks nothing;
/// callable from any thread while nobody changes the tree.
class TreemapLayoutEngine {
public:
    static const TreemapLayoutEngine& shared();

    /// The tiles of `node`'s children in layout order, each with its nested tiles; a single tile
    /// covering `rect` when `node` has no children; none when `rect` is not larger than
    /// `minTileSize` in both directions (or not finite) or `node` is null. The work is iterative:
    /// any `maxVisualDepth` is safe.
    std::vector<TreemapRect> generateLayout(const DiskNodePtr& node, Rect rect, int maxVisualDepth,
                                            double minTileSize) const;

    /// generateLayout() under the name the other engines' callers use.
    std::vector<TreemapRect> layout(const DiskNodePtr& root, Rect bounds, int maxDepth,
                                    double minTileSize) const {
        return generateLayout(root, bounds, maxDepth, minTileSize);
    }
};

} // namespace fernwick
