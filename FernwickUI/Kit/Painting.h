#pragma once

#include "FernwickCore/Model/Rect.h"
#include "FernwickUI/Style/Palette.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <initializer_list>
#include <string_view>

class QFontMetricsF;
class QPainter;

namespace fernwick::ui {

/// Small drawing helpers shared by the controls, the screens and the visual modes. They draw on
/// whichever thread holds the painter.

QRectF toQRect(const Rect& rect);

/// A name, size or path from the tree as text for display (UTF-8; invalid bytes shown as
/// replacement characters). Always drawn as plain text.
QString displayText(std::string_view text);

/// A name elided to `room` points in `metrics`; empty when not even the ellipsis fits.
QString fittedName(const QString& name, const QFontMetricsF& metrics, double room);

/// What one line of a name followed by a number (a size, a count or a percentage) shows in
/// `room` points, `gap` points apart. The name comes first: the number shows, whole, only where
/// at least the name's first four letters (all of a shorter name) fit before it, elided after
/// them; otherwise the name alone, elided to the whole room, or nothing where not even its
/// ellipsis fits. A number is never cut (a cut one reads as another value), nor shown without
/// its name.
struct NameAndNumber {
    QString name;
    QString number;
    double numberWidth = 0; ///< the number's advance; 0 when it is left out
};
NameAndNumber fitNameAndNumber(const QString& name, const QFontMetricsF& nameMetrics,
                               const QString& number, const QFontMetricsF& numberMetrics,
                               double room, double gap);

/// The contrast of two opaque colours by their relative luminance: from 1 (alike) to 21
/// (black against white).
double contrastRatio(const QColor& a, const QColor& b);

/// The colour of a label drawn on the opaque `fill`: white, unless the fill is so light that
/// white stands out from it by less than 2 : 1; then the dark label colour.
QColor labelColourOn(const QColor& fill);

/// Draws the system icon `name` at `size` points in `colour`, aligned in `box`.
void drawSystemIcon(QPainter& painter, const QRectF& box, std::string_view name, double size,
                    const QColor& colour, Qt::Alignment alignment = Qt::AlignCenter);

/// Draws `text` on one line at the left of `box`, centred upright, in the painter's font and
/// pen: the pixels of drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text)
/// for a text no wider than the box (an elided text), at a third of the cost, the text not being
/// laid out as a paragraph. A line taller than the box, a text with line breaks or tabs, or a
/// painter scaled by a fraction (where the two ways place glyphs apart) is drawn that way.
void drawLeftText(QPainter& painter, const QRectF& box, const QString& text);

/// A soft drop shadow under a rounded rectangle: `colour` fading out over `radius` points,
/// moved down by `offsetY`. Cheap: a few translucent outlines, no blur pass.
void drawSoftShadow(QPainter& painter, const QRectF& rect, double cornerRadius,
                    const QColor& colour, double radius, double offsetY);

/// Loads `fonts` on the calling thread, where they are drawn later, and rasterises their digits,
/// letters and common signs, with `icons` (system icon names) at `iconSize` points: font engines
/// and their glyphs belong to one thread, and the first frame drawn there with a font would
/// otherwise load and rasterise them itself (5 to 10 ms for a few fonts).
void warmUpFonts(std::initializer_list<QFont> fonts,
                 std::initializer_list<std::string_view> icons = {}, double iconSize = 0);

} // namespace fernwick::ui
