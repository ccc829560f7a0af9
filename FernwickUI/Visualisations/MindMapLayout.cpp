#include "FernwickUI/Visualisations/MindMapLayout.h"

#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>

namespace fernwick::ui {

MindMapLayout MindMapLayout::compute(const DiskNodePtr& root, double viewWidth,
                                     double rootTextWidth) {
    MindMapLayout layout;
    if (!root) {
        return layout;
    }
    auto kids = childrenBySize(*root);
    if (kids.size() > kMaximumBranches) {
        kids.resize(kMaximumBranches);
    }
    const double rootWidth = std::max(kBadgeSize, rootTextWidth) + 2 * kRootPadding;
    const double rootHeight =
        2 * kRootPadding + kBadgeSize + kRootNameLine + kRootSizeLine + 2 * kRootSpacing;
    const double fixed = 2 * kPadding + rootWidth + kColumnGap + kConnectorWidth + kConnectorGap;
    const double cardWidth = std::clamp(std::max(viewWidth, kMinimumViewWidth) - fixed,
                                        kMinimumCardWidth, kMaximumCardWidth);
    const double mapWidth =
        fixed - 2 * kPadding +
        (kids.empty() ? -kColumnGap - kConnectorWidth - kConnectorGap : cardWidth);
    const auto rows = static_cast<double>(kids.size());
    const double columnHeight = kids.empty() ? 0 : rows * kCardHeight + (rows - 1) * kRowSpacing;
    const double mapHeight = std::max(rootHeight, columnHeight);

    const double width = std::max(viewWidth, kMinimumViewWidth);
    const double left = std::max(kPadding, (width - mapWidth) / 2);
    const double top = kPadding;
    layout.m_rootCard = {left, top + (mapHeight - rootHeight) / 2, rootWidth, rootHeight};
    const double columnLeft = left + rootWidth + kColumnGap;
    double rowTop = top + (mapHeight - columnHeight) / 2;
    for (const auto& kid : kids) {
        Branch branch;
        branch.node = kid;
        branch.connector = {columnLeft, rowTop + (kCardHeight - kConnectorHeight) / 2,
                            kConnectorWidth, kConnectorHeight};
        branch.card = {columnLeft + kConnectorWidth + kConnectorGap, rowTop, cardWidth,
                       kCardHeight};
        layout.m_branches.push_back(branch);
        rowTop += kCardHeight + kRowSpacing;
    }
    layout.m_contentWidth = std::max(kMinimumViewWidth, mapWidth + 2 * kPadding);
    layout.m_contentHeight = mapHeight + 2 * kPadding;
    return layout;
}

int MindMapLayout::branchAt(double x, double y) const {
    for (std::size_t i = 0; i < m_branches.size(); ++i) {
        if (m_branches[i].card.contains(x, y)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace fernwick::ui
