#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/Rect.h"

#include <vector>

namespace fernwick::ui {

/// Geometry of the "Flame" mode: three rows of bars under a 14-point padding, the root on top
/// (32 high), its children of positive size below (28 high, 3 apart), and under each folder child
/// up to five of its largest children (24 high, 2 apart). Each bar's width is its width fraction
/// of the row width (1 for the root, size / sum for a child, the parent's fraction × size / sum
/// for a grandchild), less the gap after it; on a bar narrower than twice its gap the gap shrinks
/// to half the bar, so every bar of positive share is drawn and hit, the bars of a row follow one
/// another without holes, and the children row ends exactly at the row's end. Pure: no painting.
class FlameGraphLayout {
public:
    static constexpr double kPadding = 14;
    /// The canvas of the narrowest window (1050, less the sidebar's 250 and its divider's 1): a
    /// map no wider than that has nothing to scroll at any window size.
    static constexpr double kMinimumViewWidth = 799;
    static constexpr double kRowSpacing = 8;
    static constexpr double kRootHeight = 32;
    static constexpr double kChildHeight = 28;
    static constexpr double kSmallHeight = 24;
    static constexpr double kChildGap = 3;
    static constexpr double kGrandchildGap = 2;
    static constexpr std::size_t kMaximumGrandchildren = 5;

    struct Bar {
        DiskNodePtr node;
        Rect rect;
        double widthFraction = 0;
        bool isRoot = false;
        bool isSmall = false;
        /// The node's, read with its size (the views then need not visit every node).
        StorageCategory category = StorageCategory::other;
        /// Whether the bar has a positive width and is drawn.
        bool isVisible() const { return rect.width > 0; }
    };

    /// The bars of `root` (none for a null root) for a view `viewWidth` wide (at least 800 is
    /// used): the root first, then the children row, then the bottom row.
    static FlameGraphLayout compute(const DiskNodePtr& root, double viewWidth);

    const std::vector<Bar>& bars() const { return m_bars; }
    /// The height the rows need, padding included.
    static double contentHeight();
    /// Index of the visible bar under the point, -1 for none.
    int barAt(double x, double y) const;

private:
    std::vector<Bar> m_bars;
};

} // namespace fernwick::ui
