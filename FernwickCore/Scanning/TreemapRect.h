#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/Rect.h"
#include "FernwickCore/Model/StorageCategory.h"

#include <vector>

namespace fernwick {

/// One laid-out tile of a treemap: a node, its rectangle and the tiles nested inside it.
/// Rectangles are absolute, in the coordinate space of the rectangle given to the layout (y grows
/// downward). A tile shares its node (and so its identity); it copies the category and directory
/// flag when it is made.
struct TreemapRect {
    DiskNodePtr node;
    Rect rect;
    /// 0 for the tiles of the laid-out node's children.
    int depth = 0;
    /// Nested tiles; empty when none.
    std::vector<TreemapRect> children;
    StorageCategory category = StorageCategory::other;
    bool isDirectory = false;
    /// True exactly when the tile has no nested tiles.
    bool isLeaf = true;
    /// Height of the label strip at the top of a folder tile: 16 or 0.
    double headerHeight = 0;

    /// The node's id: a tile and its node share their identity.
    const Uuid& id() const { return node->id(); }
};

} // namespace fernwick
