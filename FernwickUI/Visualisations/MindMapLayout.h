#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/Rect.h"

#include <vector>

namespace fernwick::ui {

/// Geometry of the "Mind Map" mode: a root card and, 40 points to its right, a column of up to
/// ten branch rows (the root's largest children, files and empty items included), each a 20 × 2
/// connector, 12 points, then a card 200 to 300 wide; rows 12 apart. The root card is centred
/// vertically against the column; the whole map is centred horizontally in the view under a
/// 20-point padding. Pure: text widths come in from the view.
class MindMapLayout {
public:
    static constexpr double kPadding = 20;
    /// The canvas of the narrowest window (1050, less the sidebar's 250 and its divider's 1): a
    /// map no wider than that has nothing to scroll at any window size.
    static constexpr double kMinimumViewWidth = 799;
    static constexpr double kColumnGap = 40;
    static constexpr std::size_t kMaximumBranches = 10;
    static constexpr double kRowSpacing = 12;
    static constexpr double kConnectorWidth = 20;
    static constexpr double kConnectorHeight = 2;
    static constexpr double kConnectorGap = 12;
    static constexpr double kMinimumCardWidth = 200;
    static constexpr double kMaximumCardWidth = 300;
    /// 7 + two text lines (14 + 1 + 13) + 7.
    static constexpr double kCardHeight = 42;
    static constexpr double kRootPadding = 14;
    static constexpr double kBadgeSize = 48;
    static constexpr double kRootNameLine = 15;
    static constexpr double kRootSizeLine = 14;
    static constexpr double kRootSpacing = 4;

    struct Branch {
        DiskNodePtr node;
        Rect connector;
        Rect card;
    };

    /// The map of `root` (nothing for a null root) in a view `viewWidth` wide. `rootTextWidth`
    /// is the wider of the root's name and size texts as the view draws them.
    static MindMapLayout compute(const DiskNodePtr& root, double viewWidth, double rootTextWidth);

    const Rect& rootCard() const { return m_rootCard; }
    const std::vector<Branch>& branches() const { return m_branches; }
    /// The view size the map needs, padding included.
    double contentWidth() const { return m_contentWidth; }
    double contentHeight() const { return m_contentHeight; }
    /// Index of the branch card under the point, -1 for none (connectors and the root card
    /// take no clicks).
    int branchAt(double x, double y) const;

private:
    Rect m_rootCard;
    std::vector<Branch> m_branches;
    double m_contentWidth = kMinimumViewWidth;
    double m_contentHeight = 2 * kPadding;
};

} // namespace fernwick::ui
