#include "FernwickUI/Visualisations/NestedTilePainter.h"

#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/VisualPainting.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace fernwick::ui {

namespace {

constexpr double kLabelPadding = 3;
constexpr double kLabelGap = 6;
constexpr double kHeaderPadding = 4;
constexpr double kHeaderGap = 8;
constexpr double kSmallTile = 24;

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
    }
}

NestedTilePainter::HeaderTexts NestedTilePainter::headerTexts(const QString& name,
                                                              const QString& size, double width,
                                                              const QFontMetricsF& nameMetrics,
                                                              const QFontMetricsF& sizeMetrics) {
    const double room = std::max(width - 2 * kHeaderPadding, 0.0);
    const auto fitted = [&nameMetrics](const QString& text, double space) {
        if (space <= 0) {
            return QString();
        }
        QString elided = nameMetrics.elidedText(text, Qt::ElideRight, space);
        // Even the ellipsis alone may be too wide: then nothing is drawn.
        return nameMetrics.horizontalAdvance(elided) <= space ? elided : QString();
    };
    // The size is drawn whole or not at all; the name gives way first.
    const double sizeWidth = sizeMetrics.horizontalAdvance(size);
    if (sizeWidth > room) {
        return {fitted(name, room), QString()};
    }
    return {fitted(name, room - sizeWidth - kHeaderGap), size};
}

void NestedTilePainter::warmUp() {
    static const QString kCommon = QStringLiteral(
        "0123456789 .,-_()KMGB kMGT abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    QImage image(64, 16, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    for (const QFont& font : {uiFont(9.5, QFont::Bold), uiFont(9, QFont::Medium),
                              uiFont(9, QFont::DemiBold), uiFont(9)}) {
        painter.setFont(font);
        painter.drawText(QPointF(0, 12), kCommon);
    }
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
            double room = width - 2 * kLabelPadding;
            if (tile.showsSize) {
                look.sizeFont = uiFont(tile.sizeFontSize);
                look.size = displayText(node.formattedSize());
                room -= QFontMetricsF(look.sizeFont).horizontalAdvance(look.size) + kLabelGap;
            }
            look.name =
                QFontMetricsF(look.nameFont)
                    .elidedText(displayText(node.name()), Qt::ElideRight, std::max(room, 0.0));
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
    // Folder tiles first (outer before inner), then leaves: a leaf lies above its folders and
    // beside every other leaf, so the order among leaves does not matter. Small tiles, where
    // rounded corners and fractional outlines cannot show, are drawn as plain rectangles without
    // antialiasing: the leaves filled in one batch per colour and outlined last, the outlines
    // written as pixels rather than stroked. A folder of 10,000 items draws in a few
    // milliseconds.
    const bool pixelAligned = painter.deviceTransform().isIdentity();
    auto& smallLeaves = m_smallLeaves;
    for (auto& [colour, rects] : smallLeaves) {
        rects.clear();
    }
    auto& leafOutlines = m_leafOutlines;
    leafOutlines.clear();
    auto& folderOutline = m_folderOutline;
    const auto& tiles = layout.tiles();
    const auto isSmall = [](const NestedTileLayout::Tile& tile) {
        return std::min(tile.frame.width, tile.frame.height) < kSmallTile;
    };
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const auto& tile = tiles[i];
        const QRectF frame = toQRect(tile.frame);
        if (tile.isLeaf) {
            if (isSmall(tile)) {
                smallLeaves[m_looks[i].colour.rgba()].push_back(frame);
                leafOutlines.push_back(frame);
            }
        } else if (isSmall(tile)) {
            // The same pixels as a hairline pen's stroke, filled rather than stroked.
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setBrush(withOpacity(m_looks[i].colour, 0.1));
            folderOutline.clear();
            if (pixelAligned && appendHairlineOutline(frame, image.rect(), folderOutline)) {
                painter.setPen(Qt::NoPen);
                painter.drawRect(frame);
                painter.setBrush(withOpacity(m_looks[i].colour, 0.85));
                painter.drawRects(folderOutline.data(), static_cast<int>(folderOutline.size()));
            } else {
                painter.setPen(QPen(withOpacity(m_looks[i].colour, 0.85), 0));
                painter.drawRect(frame);
            }
        } else {
            painter.setRenderHint(QPainter::Antialiasing, true);
            paintTile(painter, tiles[i], m_looks[i]);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i].isLeaf && !isSmall(tiles[i])) {
            paintTile(painter, tiles[i], m_looks[i]);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    for (const auto& [colour, rects] : smallLeaves) {
        if (rects.empty()) {
            continue;
        }
        painter.setBrush(QColor::fromRgba(colour));
        painter.drawRects(rects.data(), static_cast<int>(rects.size()));
    }
    const QColor outline = blackAt(0.25);
    if (pixelAligned) {
        painter.end();
        strokeHairlines(image, leafOutlines, outline);
        if (!leafOutlines.empty()) {
            painter.begin(&image);
        }
    }
    if (!leafOutlines.empty()) {
        painter.setPen(QPen(outline, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRects(leafOutlines.data(), static_cast<int>(leafOutlines.size()));
    }
}

void NestedTilePainter::paintTile(QPainter& painter, const NestedTileLayout::Tile& tile,
                                  const TileLook& look) const {
    const QRectF frame = toQRect(tile.frame);
    if (tile.isLeaf) {
        painter.setBrush(look.colour);
        painter.setPen(QPen(blackAt(0.25), 0.8, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawRoundedRect(frame, 2, 2);
        if (!tile.showsLabel) {
            return;
        }
        const QRectF row = frame.adjusted(kLabelPadding, kLabelPadding, -kLabelPadding, 0);
        const double rowHeight = QFontMetricsF(look.nameFont).height();
        const QRectF line(row.left(), row.top(), row.width(), rowHeight);
        painter.setFont(look.nameFont);
        painter.setPen(Qt::white);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, look.name);
        if (tile.showsSize) {
            painter.setFont(look.sizeFont);
            painter.setPen(whiteAt(0.85));
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
    painter.drawRoundedRect(frame, 3, 3);
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
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, look.name);
    painter.setFont(look.sizeFont);
    painter.setPen(whiteAt(0.7));
    painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, look.size);
}

} // namespace fernwick::ui
