#pragma once

#include <QFont>

namespace fernwick::ui {

/// The design of a system font.
enum class FontDesign { standard, monospaced, rounded };

/// The system font at `size` points (points of the original 72-dpi scale: the text is `size`
/// logical pixels high), with `weight` and `design`. Rounded has no face of its own here and
/// draws as the standard design.
QFont uiFont(double size, QFont::Weight weight = QFont::Normal,
             FontDesign design = FontDesign::standard);

/// The platform's text styles (sizes in the same points as `uiFont`).
/// Title 2: 17 points, bold.
QFont title2();
/// Title 3: 15 points, regular.
QFont title3();
/// Headline: 13 points, semibold.
QFont headline();
/// Subheadline: 11 points, regular.
QFont subheadline();
/// Caption: 10 points, regular.
QFont caption();

/// The factor from the 72-dpi points of the interface to Qt's points (96-dpi logical screen).
inline constexpr double kPointScale = 0.75;

} // namespace fernwick::ui
