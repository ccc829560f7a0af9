#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/Rect.h"
#include "FernwickUI/Visualisations/AdaptiveGrid.h"

#include <cstdint>
#include <vector>

namespace fernwick::ui {

/// Geometry of the "Bubbles" mode: the 30 largest children of the shown node as circles whose
/// diameter grows with the square root of their share of the largest, in an adaptive grid
/// (columns 120 to 160 wide, 14 apart, rows 14 apart, padding 16); each row is as high as its
/// largest bubble and each bubble is centred in its cell. Pure: no painting.
class BubbleLayout {
public:
    static constexpr double kPadding = 16;
    static constexpr double kSpacing = 14;
    static constexpr double kMinimumColumnWidth = 120;
    static constexpr double kMaximumColumnWidth = 160;
    static constexpr std::size_t kMaximumBubbles = 30;
    static constexpr double kLargeDiameter = 110;
    static constexpr double kHoverScale = 1.06;

    struct Bubble {
        DiskNodePtr node;
        double centerX = 0;
        double centerY = 0;
        double diameter = 0;
        bool isLarge = false;
        /// Whether the item count is shown: a large bubble of a folder.
        bool showsItemCount = false;
    };

    /// The bubbles of `root`'s 30 largest children (none for a null root) laid out for
    /// `viewWidth`.
    static BubbleLayout compute(const DiskNodePtr& root, double viewWidth);
    /// The same bubbles placed for another view width.
    BubbleLayout placedFor(double viewWidth) const;

    const std::vector<Bubble>& bubbles() const { return m_bubbles; }
    std::int64_t maxSize() const { return m_maxSize; }
    double contentHeight() const { return m_contentHeight; }
    /// Index of the bubble whose circle holds the point, -1 for none.
    int bubbleAt(double x, double y) const;

    /// 80 when `maxSize` is below 1; else 75 + 85 × √(size / maxSize) limited to [75, 160].
    static double diameter(std::int64_t size, std::int64_t maxSize);
    /// Strictly above 110.
    static bool isLarge(double diameter) { return diameter > kLargeDiameter; }

private:
    void place(double viewWidth);

    std::vector<Bubble> m_bubbles;
    std::int64_t m_maxSize = 1;
    double m_contentHeight = 0;
};

} // namespace fernwick::ui
