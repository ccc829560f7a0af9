#include "FernwickUI/Visualisations/NestedTileLayout.h"

#include "FernwickCore/Scanning/TreemapLayoutEngine.h"

#include <algorithm>
#include <utility>

namespace fernwick::ui {

Rect NestedTileLayout::layoutBounds(double viewWidth, double viewHeight, double inset) {
    return {0, 0, viewWidth - 2 * kPadding,
            std::max(viewHeight - 2 * kPadding - inset, kMinimumLayoutHeight)};
}

NestedTileLayout NestedTileLayout::compute(const DiskNodePtr& root, const Rect& bounds) {
    NestedTileLayout layout;
    layout.recompute(root, bounds);
    return layout;
}

void NestedTileLayout::recompute(const DiskNodePtr& root, const Rect& bounds) {
    flatten(root ? TreemapLayoutEngine::shared().generateLayout(root, bounds, kMaximumVisualDepth,
                                                                kMinimumTileSize)
                 : std::vector<TreemapRect>{});
}

std::size_t NestedTileLayout::tileBound(const DiskNodePtr& root, std::size_t limit) {
    if (!root) {
        return 0;
    }
    if (root->children.empty()) {
        return 1;
    }
    // Tiles of depth 0 are the root's children; a folder tile of depth below the maximum may
    // nest its children one level deeper.
    std::size_t count = 0;
    std::vector<std::pair<const DiskNode*, int>> pending{{root.get(), 0}};
    while (!pending.empty()) {
        const auto [folder, depth] = pending.back();
        pending.pop_back();
        count += folder->children.size();
        if (count > limit) {
            break;
        }
        for (const auto& child : folder->children) {
            if (depth < kMaximumVisualDepth && child->isDirectory() && !child->children.empty()) {
                pending.emplace_back(child.get(), depth + 1);
            }
        }
    }
    return count;
}

NestedTileLayout NestedTileLayout::fromRects(std::vector<TreemapRect> rects) {
    NestedTileLayout layout;
    layout.flatten(std::move(rects));
    return layout;
}

namespace {

// The number of rectangles in `rects` and nested in them, at any depth.
std::size_t countTiles(const std::vector<TreemapRect>& rects) {
    std::size_t count = 0;
    std::vector<const std::vector<TreemapRect>*> pending{&rects};
    while (!pending.empty()) {
        const auto* level = pending.back();
        pending.pop_back();
        count += level->size();
        for (const auto& rect : *level) {
            if (!rect.children.empty()) {
                pending.push_back(&rect.children);
            }
        }
    }
    return count;
}

} // namespace

void NestedTileLayout::flatten(std::vector<TreemapRect> rects) {
    m_rects = std::move(rects);
    m_tiles.clear();
    m_tiles.reserve(countTiles(m_rects));
    // Depth first without recursion: (rect, parent index) pairs, pushed in reverse so that
    // siblings come out in layout order.
    auto& stack = m_stack;
    stack.clear();
    for (auto it = m_rects.rbegin(); it != m_rects.rend(); ++it) {
        stack.emplace_back(&*it, -1);
    }
    while (!stack.empty()) {
        const auto [rect, parent] = stack.back();
        stack.pop_back();
        Tile tile;
        tile.rect = rect;
        tile.frame = {rect->rect.x + kPadding, rect->rect.y + kPadding, rect->rect.width,
                      rect->rect.height};
        tile.parent = parent;
        tile.isLeaf = rect->isLeaf;
        const double width = rect->rect.width;
        const double height = rect->rect.height;
        if (tile.isLeaf) {
            tile.showsLabel = showsLabel(width, height);
            tile.showsSize = tile.showsLabel && showsSize(width, height);
            tile.nameFontSize = nameFontSize(width);
            tile.sizeFontSize = sizeFontSize(width);
        } else {
            tile.showsHeader = rect->headerHeight > 0;
        }
        const int index = static_cast<int>(m_tiles.size());
        m_tiles.push_back(tile);
        for (auto it = rect->children.rbegin(); it != rect->children.rend(); ++it) {
            stack.emplace_back(&*it, index);
        }
    }
    // A tile's subtree ends where the next tile outside it begins.
    for (int i = static_cast<int>(m_tiles.size()) - 1; i >= 0; --i) {
        auto& tile = m_tiles[static_cast<std::size_t>(i)];
        if (tile.subtreeEnd < i + 1) {
            tile.subtreeEnd = i + 1;
        }
        if (tile.parent >= 0) {
            auto& parent = m_tiles[static_cast<std::size_t>(tile.parent)];
            parent.subtreeEnd = std::max(parent.subtreeEnd, tile.subtreeEnd);
        }
    }
}

void NestedTileLayout::chainAt(double x, double y, std::vector<int>& chain) const {
    chain.clear();
    const int count = static_cast<int>(m_tiles.size());
    int i = 0;
    while (i < count) {
        const auto& tile = m_tiles[static_cast<std::size_t>(i)];
        if (tile.frame.contains(x, y)) {
            chain.push_back(i);
            ++i; // look among the nested tiles
        } else {
            i = tile.subtreeEnd; // skip everything nested in it
        }
    }
}

int NestedTileLayout::tileAt(double x, double y) const {
    std::vector<int> chain;
    chainAt(x, y, chain);
    return chain.empty() ? -1 : chain.back();
}

int NestedTileLayout::hoverAfterMove(const std::vector<int>& before, const std::vector<int>& after,
                                     int current) {
    std::size_t common = 0;
    while (common < before.size() && common < after.size() && before[common] == after[common]) {
        ++common;
    }
    int hovered = current;
    if (common < before.size()) {
        hovered = -1; // the tiles left report their exit
    }
    if (common < after.size()) {
        hovered = after.back(); // the tiles entered report, the innermost last
    }
    return hovered;
}

double NestedTileLayout::nameFontSize(double width) {
    return std::min(std::max(width / 13, 7.0), 10.5);
}

double NestedTileLayout::sizeFontSize(double width) {
    return std::min(std::max(width / 15, 6.5), 9.5);
}

} // namespace fernwick::ui
