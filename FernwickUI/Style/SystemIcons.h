#pragma once

#include <QFont>
#include <QString>

#include <string_view>
#include <vector>

namespace fernwick::ui {

/// The system icon names of the interface drawn as glyphs of the Material Icons font
/// (/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf).
/// GUI thread only: the font is registered with the application on first use.

/// The one-character glyph that stands for `name` (e.g. "folder.fill"); the glyph of a plain
/// square for a name the table does not know, so that a missing entry shows and never crashes.
QString systemIconGlyph(std::string_view name);

/// Whether the table has an entry for `name`.
bool hasSystemIcon(std::string_view name);

/// Every name the table knows, in table order.
std::vector<std::string_view> knownSystemIconNames();

/// The icon font at `size` points of the system font's scale (the same scale as uiFont); the
/// application's default font family when the icon font cannot be loaded.
QFont systemIconFont(double size);

/// The family the icon font registered under; empty when the font file is missing.
QString systemIconFontFamily();

} // namespace fernwick::ui
