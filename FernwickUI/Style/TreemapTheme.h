#pragma once

#include <QColor>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace fernwick::ui {

/// The eight colour themes of the treemap. The display name is also the raw value and the id,
/// and it is stable: it is the text stored in the preferences under "Tarnbrook_TreemapTheme".
enum class TreemapTheme : std::uint8_t {
    kelvane,
    cyberpunk,
    sunset,
    ocean,
    matrix,
    nordic,
    amethyst,
    monochrome,
};

/// Every theme in declaration order, the order of the theme picker and the theme menu.
const std::array<TreemapTheme, 8>& allTreemapThemes();

/// The display name, e.g. "Deep Ocean" (also the raw value and the id).
std::string_view displayName(TreemapTheme theme);
/// The one-line description shown under the name in the theme picker.
std::string_view subtitle(TreemapTheme theme);
/// Three swatches (sRGB, opacity 1) that preview the theme.
std::array<QColor, 3> previewColors(TreemapTheme theme);
/// The theme whose display name equals `text` exactly (letter case included); nullopt for any
/// other text. Older stored names are translated by the caller, not here.
std::optional<TreemapTheme> treemapThemeFromName(std::string_view text);

} // namespace fernwick::ui
