#include "FernwickUI/Visualisations/BubbleLayout.h"

#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

BubbleLayout BubbleLayout::compute(const DiskNodePtr& root, double viewWidth) {
    BubbleLayout layout;
    if (root) {
        auto children = childrenBySize(*root);
        if (children.size() > kMaximumBubbles) {
            children.resize(kMaximumBubbles);
        }
        layout.m_maxSize = maxSizeOf(children);
        for (const auto& child : children) {
            Bubble bubble;
            bubble.node = child;
            bubble.diameter = diameter(child->size, layout.m_maxSize);
            bubble.isLarge = isLarge(bubble.diameter);
            bubble.showsItemCount = bubble.isLarge && child->isDirectory();
            layout.m_bubbles.push_back(bubble);
        }
    }
    layout.place(viewWidth);
    return layout;
}

BubbleLayout BubbleLayout::placedFor(double viewWidth) const {
    BubbleLayout layout = *this;
    layout.place(viewWidth);
    return layout;
}

void BubbleLayout::place(double viewWidth) {
    const auto grid =
        AdaptiveGrid::make(viewWidth, kPadding, kMinimumColumnWidth, kMaximumColumnWidth, kSpacing);
    const auto columns = static_cast<std::size_t>(grid.columns);
    double top = kPadding;
    for (std::size_t rowStart = 0; rowStart < m_bubbles.size(); rowStart += columns) {
        const std::size_t rowEnd = std::min(rowStart + columns, m_bubbles.size());
        double rowHeight = 0;
        for (std::size_t i = rowStart; i < rowEnd; ++i) {
            rowHeight = std::max(rowHeight, m_bubbles[i].diameter);
        }
        for (std::size_t i = rowStart; i < rowEnd; ++i) {
            const int column = static_cast<int>(i - rowStart);
            m_bubbles[i].centerX = grid.columnX(column) + grid.columnWidth / 2;
            m_bubbles[i].centerY = top + rowHeight / 2;
        }
        top += rowHeight + kSpacing;
    }
    m_contentHeight = m_bubbles.empty() ? 2 * kPadding : top - kSpacing + kPadding;
}

int BubbleLayout::bubbleAt(double x, double y) const {
    for (std::size_t i = 0; i < m_bubbles.size(); ++i) {
        const auto& bubble = m_bubbles[i];
        const double dx = x - bubble.centerX;
        const double dy = y - bubble.centerY;
        const double radius = bubble.diameter / 2;
        if (dx * dx + dy * dy <= radius * radius) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

double BubbleLayout::diameter(std::int64_t size, std::int64_t maxSize) {
    if (maxSize < 1) {
        return 80;
    }
    const double share = std::max(static_cast<double>(size) / static_cast<double>(maxSize), 0.0);
    return std::clamp(75 + 85 * std::sqrt(share), 75.0, 160.0);
}

} // namespace fernwick::ui
