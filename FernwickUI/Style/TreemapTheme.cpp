#include "FernwickUI/Style/TreemapTheme.h"

namespace fernwick::ui {

namespace {

struct ThemeInfo {
    std::string_view name;
    std::string_view subtitle;
    std::array<std::array<double, 3>, 3> preview;
};

constexpr std::array<ThemeInfo, 8> kThemes = {{
    {"Tarnbrook Classic",
     "Amber, emerald, and clean slate (Original)",
     {{{0.96, 0.55, 0.02}, {0.18, 0.80, 0.44}, {0.42, 0.35, 0.55}}}},
    {"Cyberpunk Neon",
     "Electric cyan, neon magenta, and acid green",
     {{{1.00, 0.08, 0.58}, {0.00, 0.95, 1.00}, {0.20, 1.00, 0.40}}}},
    {"Solar Sunset",
     "Fiery coral, crimson, and golden amber",
     {{{1.00, 0.40, 0.15}, {0.98, 0.75, 0.10}, {0.85, 0.15, 0.25}}}},
    {"Deep Ocean",
     "Aqua, seafoam ice, and deep sapphire",
     {{{0.15, 0.55, 0.98}, {0.25, 0.88, 0.75}, {0.50, 0.85, 1.00}}}},
    {"Matrix Terminal",
     "Hacker phosphor green, dark olive, neon lime",
     {{{0.00, 0.95, 0.35}, {0.10, 0.55, 0.20}, {0.20, 0.85, 0.45}}}},
    {"Nordic Frost",
     "Glacier blue, arctic ice, polar violet",
     {{{0.35, 0.75, 1.00}, {0.60, 0.85, 1.00}, {0.45, 0.50, 0.85}}}},
    {"Royal Amethyst",
     "Deep purple, electric orchid, radiant gold",
     {{{0.65, 0.20, 0.95}, {0.90, 0.35, 0.85}, {0.95, 0.75, 0.20}}}},
    {"Monochrome Slate",
     "Clean graphite, platinum, and cool silver",
     {{{0.90, 0.90, 0.92}, {0.50, 0.52, 0.56}, {0.25, 0.27, 0.30}}}},
}};

const ThemeInfo& info(TreemapTheme theme) {
    return kThemes.at(static_cast<std::size_t>(theme));
}

} // namespace

const std::array<TreemapTheme, 8>& allTreemapThemes() {
    static const std::array<TreemapTheme, 8> themes = {
        TreemapTheme::kelvane,  TreemapTheme::cyberpunk,  TreemapTheme::sunset,
        TreemapTheme::ocean,    TreemapTheme::matrix,     TreemapTheme::nordic,
        TreemapTheme::amethyst, TreemapTheme::monochrome,
    };
    return themes;
}

std::string_view displayName(TreemapTheme theme) {
    return info(theme).name;
}

std::string_view subtitle(TreemapTheme theme) {
    return info(theme).subtitle;
}

std::array<QColor, 3> previewColors(TreemapTheme theme) {
    const auto& preview = info(theme).preview;
    std::array<QColor, 3> colors;
    for (std::size_t i = 0; i < colors.size(); ++i) {
        colors[i] =
            QColor::fromRgbF(static_cast<float>(preview[i][0]), static_cast<float>(preview[i][1]),
                             static_cast<float>(preview[i][2]));
    }
    return colors;
}

std::optional<TreemapTheme> treemapThemeFromName(std::string_view text) {
    for (TreemapTheme theme : allTreemapThemes()) {
        if (displayName(theme) == text) {
            return theme;
        }
    }
    return std::nullopt;
}

} // namespace fernwick::ui
