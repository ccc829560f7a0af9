#pragma once

#include "FernwickUI/Kit/Painting.h"

#include <QColor>
#include <QRect>
#include <QRectF>

#include <vector>

class QImage;

namespace fernwick::ui {

/// Pixel-exact outline helpers of the treemap's fast tile pass. GUI thread only.

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

} // namespace fernwick::ui
