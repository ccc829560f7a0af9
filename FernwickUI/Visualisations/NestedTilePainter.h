#pragma once

#include "FernwickUI/Style/TreemapTheme.h"
#include "FernwickUI/Visualisations/NestedTileLayout.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <vector>

class QPainter;

namespace fernwick::ui {

/// Draws the laid-out tiles of the "Treemap" mode into an image: a leaf as a rounded, outlined
/// tile in its colour with its name and size where they fit, a folder as an outlined rounded
/// tint with its header strip.
///
/// Only an image is painted, so any one thread may use an instance (one thread at a time). It
/// reads the tiles' nodes (names, sizes, paths): the caller keeps the tree unchanged meanwhile.
/// Keeps its scratch storage from one picture to the next.
class NestedTilePainter {
public:
    /// Draws every tile of `layout` in the colours of `theme` into `image`, made `pixels` large
    /// at the device pixel ratio `ratio` (its storage kept when it already has that size);
    /// transparent where there is no tile.
    void paint(const NestedTileLayout& layout, TreemapTheme theme, QSize pixels, qreal ratio,
               QImage& image);
    /// Loads the label fonts and rasterises their common glyphs on the calling thread, so that
    /// the first picture drawn there does not.
    static void warmUp();

    /// What a folder tile's header `width` points wide shows: the name and the size, both
    /// whole, when they fit inside the header's padding; else the name alone, elided to the
    /// room (empty when not even an ellipsis fits). Nothing reaches outside the header.
    struct HeaderTexts {
        QString name;
        QString size;
    };
    static HeaderTexts headerTexts(const QString& name, const QString& size, double width,
                                   const QFontMetricsF& nameMetrics,
                                   const QFontMetricsF& sizeMetrics);

private:
    struct TileLook {
        QColor colour;
        QColor label; ///< the label's colour on `colour`
        QString name; ///< elided to fit; empty when no label or header is drawn
        QString size;
        QFont nameFont;
        QFont sizeFont;
    };
    void recolour(const NestedTileLayout& layout, TreemapTheme theme);
    void prepareLabels(const NestedTileLayout& layout);
    void render(const NestedTileLayout& layout, QImage& image);
    void paintTile(QPainter& painter, const NestedTileLayout::Tile& tile,
                   const TileLook& look) const;

    std::vector<TileLook> m_looks;
};

} // namespace fernwick::ui
