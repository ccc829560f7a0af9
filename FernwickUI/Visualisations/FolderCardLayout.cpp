#include "FernwickUI/Visualisations/FolderCardLayout.h"

#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

namespace {
__extension__ typedef __int128 Wide; // 128 bits: size × 100 cannot overflow
} // namespace

FolderCardLayout FolderCardLayout::compute(const DiskNodePtr& root, double viewWidth) {
    FolderCardLayout layout;
    if (root) {
        auto children = childrenBySize(*root);
        layout.m_maxSize = maxSizeOf(children);
        layout.m_cards.reserve(children.size());
        for (auto& child : children) {
            const std::int64_t size = child->size;
            layout.m_cards.push_back({std::move(child),
                                      {},
                                      shareRatio(size, layout.m_maxSize),
                                      wholePercent(size, layout.m_maxSize)});
        }
    }
    layout.place(viewWidth);
    return layout;
}

FolderCardLayout FolderCardLayout::placedFor(double viewWidth) const {
    FolderCardLayout layout = *this;
    layout.place(viewWidth);
    return layout;
}

void FolderCardLayout::place(double viewWidth) {
    m_grid =
        AdaptiveGrid::make(viewWidth, kPadding, kMinimumColumnWidth, kMaximumColumnWidth, kSpacing);
    for (std::size_t i = 0; i < m_cards.size(); ++i) {
        const int row = static_cast<int>(i) / m_grid.columns;
        const int column = static_cast<int>(i) % m_grid.columns;
        m_cards[i].frame = {m_grid.columnX(column), kPadding + row * (kCardHeight + kSpacing),
                            m_grid.columnWidth, kCardHeight};
    }
}

double FolderCardLayout::contentHeight() const {
    return contentHeightOf(m_cards.size(), m_grid);
}

double FolderCardLayout::contentHeightFor(double viewWidth) const {
    return contentHeightOf(m_cards.size(),
                           AdaptiveGrid::make(viewWidth, kPadding, kMinimumColumnWidth,
                                              kMaximumColumnWidth, kSpacing));
}

double FolderCardLayout::contentHeightOf(std::size_t cards, const AdaptiveGrid& grid) {
    const auto columns = static_cast<std::size_t>(grid.columns);
    const std::size_t rowCount = (cards + columns - 1) / columns;
    const auto rows = static_cast<double>(rowCount);
    return 2 * kPadding + rows * kCardHeight + std::max(rows - 1, 0.0) * kSpacing;
}

int FolderCardLayout::cardAt(double x, double y) const {
    if (y < kPadding || x < m_grid.originX) {
        return -1;
    }
    const double pitchY = kCardHeight + kSpacing;
    const double pitchX = m_grid.columnWidth + m_grid.spacing;
    const auto row = static_cast<long long>(std::floor((y - kPadding) / pitchY));
    const auto column = static_cast<long long>(std::floor((x - m_grid.originX) / pitchX));
    if (column >= m_grid.columns) {
        return -1;
    }
    const long long index = row * m_grid.columns + column;
    if (index < 0 || index >= static_cast<long long>(m_cards.size())) {
        return -1;
    }
    return m_cards[static_cast<std::size_t>(index)].frame.contains(x, y) ? static_cast<int>(index)
                                                                         : -1;
}

std::pair<int, int> FolderCardLayout::cardsInBand(double top, double bottom) const {
    const double pitchY = kCardHeight + kSpacing;
    const auto firstRow = std::max(0.0, std::floor((top - kPadding) / pitchY));
    const auto lastRow = std::max(0.0, std::floor((bottom - kPadding) / pitchY) + 1);
    const auto count = static_cast<double>(m_cards.size());
    const auto first = std::min(firstRow * m_grid.columns, count);
    const auto last = std::min(lastRow * m_grid.columns, count);
    return {static_cast<int>(first), static_cast<int>(last)};
}

double FolderCardLayout::shareRatio(std::int64_t size, std::int64_t maxSize) {
    if (maxSize < 1) {
        return 0;
    }
    return std::clamp(static_cast<double>(size) / static_cast<double>(maxSize), 0.02, 1.0);
}

int FolderCardLayout::wholePercent(std::int64_t size, std::int64_t maxSize) {
    if (maxSize < 1) {
        return 0;
    }
    // In floating point 29 / 100 × 100 is 28.999...; integers keep the whole part exact.
    const Wide percent = static_cast<Wide>(size) * 100 / maxSize;
    return static_cast<int>(std::clamp<Wide>(percent, 2, 100));
}

double FolderCardLayout::barFillWidth(double trackWidth, double ratio) {
    return std::max(trackWidth * ratio, kMinimumBarFill);
}

Rect FolderCardLayout::iconTileRect(const Rect& card) {
    return {card.x + kCardPadding, card.y + kCardPadding, kIconTileSize, kIconTileSize};
}

Rect FolderCardLayout::valueRowRect(const Rect& card) {
    return {card.x + kCardPadding, card.y + kValueRowTop, card.width - 2 * kCardPadding,
            kValueRowHeight};
}

Rect FolderCardLayout::barTrackRect(const Rect& card) {
    return {card.x + kCardPadding, card.maxY() - kCardPadding - kBarHeight,
            card.width - 2 * kCardPadding, kBarHeight};
}

} // namespace fernwick::ui
