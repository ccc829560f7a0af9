#include "FernwickUI/Visualisations/FlameGraphLayout.h"

#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr double kChildRowTop =
    FlameGraphLayout::kPadding + FlameGraphLayout::kRootHeight + FlameGraphLayout::kRowSpacing;
constexpr double kSmallRowTop =
    kChildRowTop + FlameGraphLayout::kChildHeight + FlameGraphLayout::kRowSpacing;

// The drawn width of a bar whose share of the row is `slot` wide, followed by `gap`: the gap
// gives way on narrow bars (never more than half the slot), so that a bar of any positive share
// is drawn and the bars of a row stay contiguous instead of vanishing below a pixel.
double barWidth(double slot, double gap) {
    return std::max(slot - std::min(gap, slot / 2), 0.0);
}

} // namespace

FlameGraphLayout FlameGraphLayout::compute(const DiskNodePtr& root, double viewWidth) {
    FlameGraphLayout layout;
    if (!root) {
        return layout;
    }
    const double left = kPadding;
    const double rowWidth = std::max(viewWidth, kMinimumViewWidth) - 2 * kPadding;
    layout.m_bars.push_back(
        {root, {left, kPadding, rowWidth, kRootHeight}, 1.0, true, false, root->category});

    auto kids = positiveChildrenBySize(*root);
    const auto div = shareDivisor(kids);
    layout.m_bars.reserve(1 + kids.size());
    // Children row first, then the groups below them, so that the list reads row by row.
    std::vector<double> childStarts;
    childStarts.reserve(kids.size());
    double start = 0;
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const double fraction = shareOf(kids[i]->size, div);
        const StorageCategory category = kids[i]->category;
        const bool last = i + 1 == kids.size();
        childStarts.push_back(start);
        const double x = left + start * rowWidth;
        // The last bar ends exactly at the row's end, whatever the rounding of the shares.
        const double slot = last ? left + rowWidth - x : fraction * rowWidth;
        layout.m_bars.push_back(
            {std::move(kids[i]),
             {x, kChildRowTop, barWidth(slot, last ? 0 : kChildGap), kChildHeight},
             fraction,
             false,
             false,
             category});
        start += fraction;
    }
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const DiskNode* child = layout.m_bars[1 + i].node.get();
        if (!child->isDirectory() || child->children.empty()) {
            continue; // a growing spacer holds the place
        }
        const auto grandchildren = positiveChildrenBySize(*child);
        const auto gdiv = shareDivisor(grandchildren);
        const double pf = shareOf(child->size, div);
        const auto shown = std::min(grandchildren.size(), kMaximumGrandchildren);
        double offset = childStarts[i];
        for (std::size_t j = 0; j < shown; ++j) {
            const double fraction = pf * shareOf(grandchildren[j]->size, gdiv);
            const double gap = j + 1 < shown ? kGrandchildGap : 0;
            layout.m_bars.push_back({grandchildren[j],
                                     {left + offset * rowWidth, kSmallRowTop,
                                      barWidth(fraction * rowWidth, gap), kSmallHeight},
                                     fraction,
                                     false,
                                     true,
                                     grandchildren[j]->category});
            offset += fraction;
        }
    }
    return layout;
}

double FlameGraphLayout::contentHeight() {
    return kSmallRowTop + kSmallHeight + kPadding;
}

int FlameGraphLayout::barAt(double x, double y) const {
    for (std::size_t i = 0; i < m_bars.size(); ++i) {
        if (m_bars[i].isVisible() && m_bars[i].rect.contains(x, y)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace fernwick::ui
