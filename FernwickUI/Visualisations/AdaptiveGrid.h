#pragma once

namespace fernwick::ui {

/// Columns of an adaptive grid: as many columns of at least `minimumWidth` as fit, each
/// widened up to `maximumWidth`, separated by `spacing`, the whole centred in the space.
struct AdaptiveGrid {
    int columns = 1;
    double columnWidth = 0;
    double spacing = 0;
    /// Left edge of the first column.
    double originX = 0;

    /// The grid for a view `viewWidth` wide whose content is padded by `padding` on each side.
    /// At least one column, never narrower than `minimumWidth`.
    static AdaptiveGrid make(double viewWidth, double padding, double minimumWidth,
                             double maximumWidth, double spacing);

    double columnX(int column) const { return originX + column * (columnWidth + spacing); }
};

} // namespace fernwick::ui
