#include "FernwickUI/Visualisations/VisualPainting.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace fernwick::ui {

bool appendHairlineOutline(const QRectF& rect, const QRect& bounds, std::vector<QRect>& pieces) {
    const QRectF r = rect.normalized();
    // The stroke runs through the pixels holding the rectangle's edges, corners included, each
    // pixel once.
    constexpr double kLimit = 1 << 24;
    const auto usable = [](double v) { return std::isfinite(v) && std::abs(v) < kLimit; };
    if (!usable(r.left()) || !usable(r.right()) || !usable(r.top()) || !usable(r.bottom())) {
        return false;
    }
    const auto pixel = [](double v) { return static_cast<int>(std::floor(v)); };
    const int left = pixel(r.left());
    const int right = pixel(r.right());
    const int top = pixel(r.top());
    const int bottom = pixel(r.bottom());
    if (right - left < 2 || bottom - top < 2 ||
        !bounds.contains(QRect(QPoint(left, top), QPoint(right, bottom)))) {
        return false;
    }
    const int width = right - left + 1;
    const int inner = bottom - top - 1;
    pieces.emplace_back(left, top, width, 1);
    pieces.emplace_back(left, bottom, width, 1);
    pieces.emplace_back(left, top + 1, 1, inner);
    pieces.emplace_back(right, top + 1, 1, inner);
    return true;
}

namespace {

// x × a / 255 on each premultiplied channel, rounded as the raster paint engine rounds it.
std::uint32_t byteMultiply(std::uint32_t x, std::uint32_t a) {
    std::uint32_t t = (x & 0xff00ffU) * a;
    t = ((t + ((t >> 8) & 0xff00ffU) + 0x800080U) >> 8) & 0xff00ffU;
    x = ((x >> 8) & 0xff00ffU) * a;
    x = (x + ((x >> 8) & 0xff00ffU) + 0x800080U) & 0xff00ff00U;
    return x | t;
}

// `colour` premultiplied as the raster engine stores it for a solid fill.
std::uint32_t premultipliedPixel(const QColor& colour) {
    QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
    pixel.fill(Qt::transparent);
    {
        QPainter painter(&pixel);
        painter.fillRect(0, 0, 1, 1, colour);
    }
    return *reinterpret_cast<const std::uint32_t*>(pixel.constScanLine(0));
}

} // namespace

void strokeHairlines(QImage& image, std::vector<QRectF>& rects, const QColor& colour) {
    if (image.format() != QImage::Format_ARGB32_Premultiplied || rects.empty()) {
        return;
    }
    const std::uint32_t source = premultipliedPixel(colour);
    const std::uint32_t keep = 255 - (source >> 24);
    const QRect bounds = image.rect();
    auto* const pixels = reinterpret_cast<std::uint32_t*>(image.bits());
    const auto stride = static_cast<std::ptrdiff_t>(image.bytesPerLine() / 4);
    std::vector<QRect> pieces;
    std::size_t refused = 0;
    for (const QRectF& rect : rects) {
        pieces.clear();
        if (!appendHairlineOutline(rect, bounds, pieces)) {
            rects[refused++] = rect;
            continue;
        }
        for (const QRect& piece : pieces) {
            for (int y = piece.top(); y <= piece.bottom(); ++y) {
                std::uint32_t* row = pixels + stride * y;
                for (int x = piece.left(); x <= piece.right(); ++x) {
                    row[x] = source + byteMultiply(row[x], keep);
                }
            }
        }
    }
    rects.resize(refused);
}

} // namespace fernwick::ui
