#include "FernwickUI/Visualisations/NestedTilePainter.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr double kLabelPadding = 3;
constexpr double kLabelGap = 6;
constexpr double kHeaderPadding = 4;
constexpr double kHeaderGap = 8;
constexpr double kLeafRadius = 2;
constexpr double kFolderRadius = 3;

QPen leafPen() {
    return {blackAt(0.25), 0.8, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin};
}

} // namespace

void NestedTilePainter::paint(const NestedTileLayout& layout, TreemapTheme theme, QSize pixels,
                              qreal ratio, QImage& image) {
    if (image.size() != pixels || image.format() != QImage::Format_ARGB32_Premultiplied) {
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    m_looks.assign(layout.tiles().size(), {});
    recolour(layout, theme);
    prepareLabels(layout);
    render(layout, image);
}

void NestedTilePainter::recolour(const NestedTileLayout& layout, TreemapTheme theme) {
    const auto& tiles = layout.tiles();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const auto& rect = *tiles[i].rect;
        const auto& node = *rect.node;
        m_looks[i].colour = FernwickTheme::tileColor(node.path(), node.name(), rect.isLeaf,
                                                     rect.depth, rect.category, theme);
        m_looks[i].label = labelColourOn(m_looks[i].colour);
    }
}

NestedTilePainter::HeaderTexts NestedTilePainter::headerTexts(const QString& name,
                                                              const QString& size, double width,
                                                              const QFontMetricsF& nameMetrics,
                                                              const QFontMetricsF& sizeMetrics) {
    auto fitted = fitNameAndNumber(name, nameMetrics, size, sizeMetrics,
                                   std::max(width - 2 * kHeaderPadding, 0.0), kHeaderGap);
    return {std::move(fitted.name), std::move(fitted.number)};
}

void NestedTilePainter::warmUp() {
    warmUpFonts({uiFont(9.5, QFont::Bold), uiFont(9, QFont::Medium), uiFont(9, QFont::DemiBold),
                 uiFont(9)});
}

void NestedTilePainter::prepareLabels(const NestedTileLayout& layout) {
    const QFont headerName = uiFont(9.5, QFont::Bold);
    const QFont headerSize = uiFont(9, QFont::Medium);
    const QFontMetricsF headerNameMetrics(headerName);
    const QFontMetricsF headerSizeMetrics(headerSize);
    const auto& tiles = layout.tiles();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const auto& tile = tiles[i];
        auto& look = m_looks[i];
        const auto& node = *tile.rect->node;
        const double width = tile.frame.width;
        if (tile.isLeaf && tile.showsLabel) {
            look.nameFont = uiFont(tile.nameFontSize, QFont::DemiBold);
            const QFontMetricsF nameMetrics(look.nameFont);
            const QString name = displayText(node.name());
            const double room = std::max(width - 2 * kLabelPadding, 0.0);
            if (tile.showsSize) {
                look.sizeFont = uiFont(tile.sizeFontSize);
                auto fitted = fitNameAndNumber(name, nameMetrics, displayText(node.formattedSize()),
                                               QFontMetricsF(look.sizeFont), room, kLabelGap);
                look.name = std::move(fitted.name);
                look.size = std::move(fitted.number);
            } else {
                look.name = fittedName(name, nameMetrics, room);
            }
        } else if (!tile.isLeaf && tile.showsHeader) {
            look.nameFont = headerName;
            look.sizeFont = headerSize;
            auto texts = headerTexts(displayText(node.name()), displayText(node.formattedSize()),
                                     width, headerNameMetrics, headerSizeMetrics);
            look.name = std::move(texts.name);
            look.size = std::move(texts.size);
        }
    }
}

void NestedTilePainter::render(const NestedTileLayout& layout, QImage& image) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Folder tiles first (outer before inner), then leaves: a leaf lies above its folders and
    // beside every other leaf, so the order among leaves does not matter. Every tile, however
    // small, has its rounded corners, its outline and, where it has room, its label. Drawn tile
    // by tile: one path of thousands of tiles takes the rasteriser far longer than the tiles
    // one at a time.
    const auto& tiles = layout.tiles();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (!tiles[i].isLeaf) {
            paintTile(painter, tiles[i], m_looks[i]);
        }
    }
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i].isLeaf) {
            paintTile(painter, tiles[i], m_looks[i]);
        }
    }
}

void NestedTilePainter::paintTile(QPainter& painter, const NestedTileLayout::Tile& tile,
                                  const TileLook& look) const {
    const QRectF frame = toQRect(tile.frame);
    if (tile.isLeaf) {
        painter.setBrush(look.colour);
        painter.setPen(leafPen());
        painter.drawRoundedRect(frame, kLeafRadius, kLeafRadius);
        if (!tile.showsLabel) {
            return;
        }
        const QRectF row = frame.adjusted(kLabelPadding, kLabelPadding, -kLabelPadding, 0);
        const double rowHeight = QFontMetricsF(look.nameFont).height();
        const QRectF line(row.left(), row.top(), row.width(), rowHeight);
        painter.setFont(look.nameFont);
        painter.setPen(look.label);
        drawLeftText(painter, line, look.name);
        if (!look.size.isEmpty()) {
            painter.setFont(look.sizeFont);
            painter.setPen(withOpacity(look.label, 0.85));
            painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                             look.size);
        }
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(look.colour, 0.1));
    painter.drawRect(frame);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(
        QPen(withOpacity(look.colour, 0.85), 1.2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawRoundedRect(frame, kFolderRadius, kFolderRadius);
    if (!tile.showsHeader) {
        return;
    }
    const QRectF header(frame.left(), frame.top(), frame.width(), tile.rect->headerHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(look.colour, 0.25));
    painter.drawRect(header);
    const QRectF text = header.adjusted(kHeaderPadding, 0, -kHeaderPadding, 0);
    painter.setFont(look.nameFont);
    painter.setPen(withOpacity(look.colour, 0.95));
    drawLeftText(painter, text, look.name);
    painter.setFont(look.sizeFont);
    painter.setPen(whiteAt(0.7));
    painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, look.size);
}

} // namespace fernwick::ui
