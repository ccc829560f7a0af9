#include "FernwickUI/Visualisations/AdaptiveGrid.h"

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

AdaptiveGrid AdaptiveGrid::make(double viewWidth, double padding, double minimumWidth,
                                double maximumWidth, double spacing) {
    AdaptiveGrid grid;
    grid.spacing = spacing;
    const double available = std::max(viewWidth - 2 * padding, 0.0);
    grid.columns =
        std::max(1, static_cast<int>(std::floor((available + spacing) / (minimumWidth + spacing))));
    const double share = (available - (grid.columns - 1) * spacing) / grid.columns;
    grid.columnWidth = std::clamp(share, minimumWidth, maximumWidth);
    const double total = grid.columns * grid.columnWidth + (grid.columns - 1) * spacing;
    grid.originX = padding + std::max((available - total) / 2, 0.0);
    return grid;
}

} // namespace fernwick::ui
