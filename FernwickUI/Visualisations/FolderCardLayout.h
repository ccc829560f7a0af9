#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/Rect.h"
#include "FernwickUI/Visualisations/AdaptiveGrid.h"

#include <cstdint>
#include <vector>

namespace fernwick::ui {

/// Geometry of the "Folders" mode: one card per child of the shown node, sorted largest first,
/// in an adaptive grid (columns 180 to 240 wide, 12 apart, rows 12 apart, padding 14), and the
/// parts inside a card. Pure: no painting. Built by the view once per data or width change.
class FolderCardLayout {
public:
    static constexpr double kPadding = 14;
    static constexpr double kSpacing = 12;
    static constexpr double kMinimumColumnWidth = 180;
    static constexpr double kMaximumColumnWidth = 240;
    /// Card padding, icon tile, the rows and the bar: 12 + 36 + 10 + 18 + 10 + 5 + 12.
    static constexpr double kCardHeight = 103;
    static constexpr double kCardPadding = 12;
    static constexpr double kIconTileSize = 36;
    static constexpr double kValueRowTop = kCardPadding + kIconTileSize + 10;
    static constexpr double kValueRowHeight = 18;
    static constexpr double kBarHeight = 5;
    static constexpr double kMinimumBarFill = 4;

    struct Card {
        DiskNodePtr node;
        /// In view coordinates.
        Rect frame;
        double shareRatio = 0;
        int percent = 0;
    };

    /// The cards of `root`'s children (none for a null root) laid out for `viewWidth`.
    static FolderCardLayout compute(const DiskNodePtr& root, double viewWidth);
    /// The same cards placed for another view width.
    FolderCardLayout placedFor(double viewWidth) const;
    /// Places the cards for another view width, in place.
    void placeFor(double viewWidth) { place(viewWidth); }
    /// The height the cards need in a view `viewWidth` wide, padding included; the cards are
    /// neither copied nor moved.
    double contentHeightFor(double viewWidth) const;

    const std::vector<Card>& cards() const { return m_cards; }
    std::int64_t maxSize() const { return m_maxSize; }
    const AdaptiveGrid& grid() const { return m_grid; }
    /// Height the cards need, padding included.
    double contentHeight() const;
    /// Index of the card under the point, -1 for none.
    int cardAt(double x, double y) const;
    /// Indexes [first, last) of the cards whose rows meet the band [top, bottom).
    std::pair<int, int> cardsInBand(double top, double bottom) const;

    /// 0 when `maxSize` is below 1; else size / maxSize limited to [0.02, 1].
    static double shareRatio(std::int64_t size, std::int64_t maxSize);
    /// The whole part of shareRatio × 100, computed on integers so that 29 of 100 is 29.
    static int wholePercent(std::int64_t size, std::int64_t maxSize);
    /// The bar's fill width inside a track `trackWidth` wide: at least 4.
    static double barFillWidth(double trackWidth, double shareRatio);
    /// The icon tile, the value row and the bar track of a card.
    static Rect iconTileRect(const Rect& card);
    static Rect valueRowRect(const Rect& card);
    static Rect barTrackRect(const Rect& card);

private:
    void place(double viewWidth);
    static double contentHeightOf(std::size_t cards, const AdaptiveGrid& grid);

    std::vector<Card> m_cards;
    std::int64_t m_maxSize = 1;
    AdaptiveGrid m_grid;
};

} // namespace fernwick::ui
