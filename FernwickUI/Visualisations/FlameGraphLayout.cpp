#include "FernwickUI/Visualisations/FlameGraphLayout.h"

#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr double kChildRowTop =
    FlameGraphLayout::kPadding + FlameGraphLayout::kRootHeight + FlameGraphLayout::kRowSpacing;
constexpr double kSmallRowTop =
    kChildRowTop + FlameGraphLayout::kChildHeight + FlameGraphLayout::kRowSpacing;

} // namespace

FlameGraphLayout FlameGraphLayout::compute(const DiskNodePtr& root, double viewWidth) {
    FlameGraphLayout layout;
    if (!root) {
        return layout;
    }
    const double left = kPadding;
    const double rowWidth = std::max(viewWidth, kMinimumViewWidth) - 2 * kPadding;
    layout.m_bars.push_back({root, {left, kPadding, rowWidth, kRootHeight}, 1.0, true, false});

    const auto kids = positiveChildrenBySize(*root);
    const auto div = shareDivisor(kids);
    // Children row first, then the groups below them, so that the list reads row by row.
    std::vector<double> childStarts;
    childStarts.reserve(kids.size());
    double start = 0;
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const double fraction = shareOf(kids[i]->size, div);
        const double gap = i + 1 < kids.size() ? kChildGap : 0;
        const double width = fraction * rowWidth - gap;
        childStarts.push_back(start);
        layout.m_bars.push_back(
            {kids[i],
             {left + start * rowWidth, kChildRowTop, std::max(width, 0.0), kChildHeight},
             fraction,
             false,
             false});
        start += fraction;
    }
    for (std::size_t i = 0; i < kids.size(); ++i) {
        const auto& child = kids[i];
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
            const double width = fraction * rowWidth - gap;
            layout.m_bars.push_back(
                {grandchildren[j],
                 {left + offset * rowWidth, kSmallRowTop, std::max(width, 0.0), kSmallHeight},
                 fraction,
                 false,
                 true});
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
