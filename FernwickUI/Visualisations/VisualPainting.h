#pragma once

#include "FernwickCore/Model/Rect.h"
#include "FernwickUI/Style/Palette.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

class QImage;
class QPainter;

namespace fernwick::ui {

/// Small drawing helpers shared by the visual modes. GUI thread only.

QRectF toQRect(const Rect& rect);

/// A name, size or path from the tree as text for display (UTF-8; invalid bytes shown as
/// replacement characters). Always drawn as plain text.
QString displayText(std::string_view text);

/// Draws the system icon `name` at `size` points in `colour`, aligned in `box`.
void drawSystemIcon(QPainter& painter, const QRectF& box, std::string_view name, double size,
                    const QColor& colour, Qt::Alignment alignment = Qt::AlignCenter);

/// The pixels a one-pixel (cosmetic) pen paints around `rect` without antialiasing and with no
/// transformation, appended to `pieces` as four disjoint pixel rectangles: filling them with
/// the pen's colour gives the same image as stroking the rectangle, at a fraction of the cost.
/// False, with nothing appended, for a rectangle less than two pixels wide or high or whose
/// outline leaves the image's `bounds`: their strokes follow other rules.
bool appendHairlineOutline(const QRectF& rect, const QRect& bounds, std::vector<QRect>& pieces);

/// Strokes `rects` with a one-pixel (cosmetic) pen of `colour`, without antialiasing, straight
/// into `image` (premultiplied ARGB32, painted with no transformation and no painter open on
/// it): pixel for pixel what QPainter draws, without its per-pixel stroking cost. Leaves in
/// `rects` only those it did not stroke (those appendHairlineOutline refuses, or all of them
/// for another image format), for a painter to stroke.
void strokeHairlines(QImage& image, std::vector<QRectF>& rects, const QColor& colour);

/// A soft drop shadow under a rounded rectangle: `colour` fading out over `radius` points,
/// moved down by `offsetY`. Cheap: a few translucent outlines, no blur pass.
void drawSoftShadow(QPainter& painter, const QRectF& rect, double cornerRadius,
                    const QColor& colour, double radius, double offsetY);

} // namespace fernwick::ui
