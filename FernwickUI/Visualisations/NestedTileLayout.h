#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/Rect.h"
#include "FernwickCore/Scanning/TreemapRect.h"

#include <utility>
#include <vector>

namespace fernwick::ui {

/// Geometry of the "Treemap" mode: the laid-out tiles of the shown node flattened in drawing
/// order (each tile before the tiles nested in it), placed in the view under a 12-point padding,
/// with what each tile shows (label, size, header) and its font sizes; hit tests for clicks and
/// the hover that the tiles report as the pointer crosses their edges. Pure: no painting.
class NestedTileLayout {
public:
    static constexpr double kPadding = 12;
    static constexpr int kMaximumVisualDepth = 4;
    static constexpr double kMinimumTileSize = 6;
    static constexpr double kMinimumLayoutHeight = 100;

    NestedTileLayout() = default;
    // The tiles point into the layout's own rectangles: moving keeps them valid, copying would
    // not.
    NestedTileLayout(const NestedTileLayout&) = delete;
    NestedTileLayout& operator=(const NestedTileLayout&) = delete;
    NestedTileLayout(NestedTileLayout&&) noexcept = default;
    NestedTileLayout& operator=(NestedTileLayout&&) noexcept = default;

    struct Tile {
        const TreemapRect* rect = nullptr;
        /// The tile's rectangle in view coordinates.
        Rect frame;
        /// Index of the enclosing tile, -1 for a top-level tile.
        int parent = -1;
        /// One past the last tile nested (at any depth) inside this one.
        int subtreeEnd = 0;
        bool isLeaf = true;
        /// Leaves: whether the name label is drawn, and the size after it.
        bool showsLabel = false;
        bool showsSize = false;
        /// Folder tiles: whether the header strip is drawn.
        bool showsHeader = false;
        double nameFontSize = 0;
        double sizeFontSize = 0;
    };

    /// The rectangle to lay the shown node out in, for a view w × h whose bottom `inset` points
    /// are kept free (for the inspector): origin (0, 0), width w − 24, height
    /// max(h − 24 − inset, 100).
    static Rect layoutBounds(double viewWidth, double viewHeight, double inset);

    /// The tiles of `root`'s children (none for a null root) laid out in `bounds` (as
    /// layoutBounds gives them) to the maximum visual depth and minimum tile size.
    static NestedTileLayout compute(const DiskNodePtr& root, const Rect& bounds);
    /// compute() in place: the storage of the previous tiles is kept for the new ones, so a
    /// view laying out again and again does not ask the system for fresh memory each time.
    void recompute(const DiskNodePtr& root, const Rect& bounds);
    /// An upper bound of the number of tiles compute() gives for `root`, counted no further than
    /// just past `limit`, without laying out: the nodes down to the maximum visual depth (1 for
    /// a root without children; 0 for none).
    static std::size_t tileBound(const DiskNodePtr& root, std::size_t limit);
    /// The tiles of already laid-out `rects` (positions relative to the layout bounds).
    static NestedTileLayout fromRects(std::vector<TreemapRect> rects);
    const std::vector<TreemapRect>& rects() const { return m_rects; }
    const std::vector<Tile>& tiles() const { return m_tiles; }

    /// The innermost tile holding the point, -1 for none.
    int tileAt(double x, double y) const;
    /// The tiles holding the point, outermost first.
    void chainAt(double x, double y, std::vector<int>& chain) const;
    /// The hovered tile after the pointer moved from the tiles `before` to the tiles `after`
    /// (chains as chainAt gives them), given the hovered tile `current`: each tile reports only
    /// its own entering and leaving, so a tile left empties the hover and a tile entered takes
    /// it (the innermost one when several are entered at once).
    static int hoverAfterMove(const std::vector<int>& before, const std::vector<int>& after,
                              int current);

    /// A leaf's label needs more than 28 × 15 points; its size more than 65 × 22.
    static bool showsLabel(double width, double height) { return width > 28 && height > 15; }
    static bool showsSize(double width, double height) { return width > 65 && height > 22; }
    /// min(max(width / 13, 7), 10.5) and min(max(width / 15, 6.5), 9.5).
    static double nameFontSize(double width);
    static double sizeFontSize(double width);

private:
    void flatten(std::vector<TreemapRect> rects);

    std::vector<TreemapRect> m_rects;
    std::vector<Tile> m_tiles;
    /// Scratch of flatten(), kept with its storage.
    std::vector<std::pair<const TreemapRect*, int>> m_stack;
};

} // namespace fernwick::ui
