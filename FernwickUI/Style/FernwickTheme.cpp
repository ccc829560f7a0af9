#include "FernwickUI/Style/FernwickTheme.h"

#include "FernwickUI/Style/Palette.h"

#include <algorithm>
#include <array>
#include <string>

namespace fernwick::ui {

namespace {

// The three groups of tile colouring: dependency folders, build and cache output, the rest.
enum class TileGroup { dependencies, buildOutput, other };

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsLower(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(text.begin(), text.end(), lower.begin(),
                      [](char a, char b) { return asciiLower(a) == b; });
}

// Letters compared without case (ASCII only). The treemap asks this for every tile it colours,
// so the lower-cased path goes into one buffer per thread rather than a new string each time.
TileGroup tileGroup(std::string_view path, std::string_view name) {
    thread_local std::string lowerPath;
    lowerPath.assign(path);
    std::transform(lowerPath.begin(), lowerPath.end(), lowerPath.begin(), asciiLower);
    const auto has = [](std::string_view part) {
        return lowerPath.find(part) != std::string::npos;
    };
    if (has("node_modules") || equalsLower(name, "node_modules")) {
        return TileGroup::dependencies;
    }
    if (has(".next") || has("cache") || has("webpack") || equalsLower(name, ".next")) {
        return TileGroup::buildOutput;
    }
    return TileGroup::other;
}

// Per theme: dependency leaf, dependency with nested tiles, build leaf, build with nested tiles,
// the rest at depth 0-1, the rest at depth 2 and more (unused where the category decides).
using Rgb = std::array<double, 3>;
struct ThemeTiles {
    Rgb dependencyLeaf, dependencyNested, buildLeaf, buildNested, shallow, deep;
};

constexpr std::array<ThemeTiles, 8> kTiles = {{
    {{0.96, 0.55, 0.02},
     {0.90, 0.50, 0.05},
     {0.30, 0.38, 0.34},
     {0.42, 0.35, 0.55},
     {0.20, 0.70, 0.38},
     {}},
    {{1.00, 0.08, 0.58},
     {0.85, 0.05, 0.48},
     {0.45, 0.08, 0.80},
     {0.60, 0.12, 0.95},
     {0.00, 0.95, 1.00},
     {}},
    {{1.00, 0.42, 0.15},
     {0.90, 0.35, 0.10},
     {0.75, 0.15, 0.25},
     {0.85, 0.20, 0.35},
     {0.98, 0.72, 0.12},
     {}},
    {{0.20, 0.85, 0.75},
     {0.15, 0.75, 0.65},
     {0.12, 0.28, 0.55},
     {0.18, 0.40, 0.72},
     {0.15, 0.60, 0.98},
     {}},
    {{0.00, 0.95, 0.35},
     {0.05, 0.70, 0.25},
     {0.10, 0.40, 0.18},
     {0.15, 0.55, 0.25},
     {0.10, 0.85, 0.30},
     {0.05, 0.65, 0.25}},
    {{0.35, 0.75, 1.00},
     {0.25, 0.65, 0.90},
     {0.25, 0.35, 0.55},
     {0.40, 0.45, 0.70},
     {0.60, 0.85, 1.00},
     {0.45, 0.60, 0.85}},
    {{0.75, 0.25, 1.00},
     {0.60, 0.15, 0.85},
     {0.40, 0.15, 0.60},
     {0.55, 0.20, 0.75},
     {0.90, 0.45, 0.95},
     {0.70, 0.30, 0.90}},
    {{0.88, 0.88, 0.90},
     {0.75, 0.75, 0.78},
     {0.30, 0.32, 0.35},
     {0.45, 0.47, 0.50},
     {0.65, 0.67, 0.70},
     {0.45, 0.47, 0.50}},
}};

// Deep tiles of the rest in the three themes that colour them by category: applications,
// developer, package managers and caches, photos and videos, every other category.
struct CategoryTiles {
    Rgb applications, developer, packages, media, other;
};

constexpr CategoryTiles kCyberpunkDeep = {{0.60, 0.15, 1.00},
                                          {0.20, 1.00, 0.40},
                                          {1.00, 0.85, 0.10},
                                          {0.00, 0.95, 1.00},
                                          {0.75, 0.10, 0.85}};
constexpr CategoryTiles kSunsetDeep = {{0.70, 0.18, 0.45},
                                       {0.98, 0.65, 0.10},
                                       {0.90, 0.25, 0.20},
                                       {0.95, 0.40, 0.30},
                                       {0.80, 0.35, 0.25}};
constexpr CategoryTiles kOceanDeep = {{0.10, 0.35, 0.70},
                                      {0.25, 0.85, 0.80},
                                      {0.10, 0.45, 0.85},
                                      {0.45, 0.75, 1.00},
                                      {0.20, 0.50, 0.70}};

const Rgb& byCategory(const CategoryTiles& tiles, StorageCategory category) {
    switch (category) {
    case StorageCategory::applications:
        return tiles.applications;
    case StorageCategory::developerData:
    case StorageCategory::xcode:
    case StorageCategory::nodeModules:
        return tiles.developer;
    case StorageCategory::packageManagers:
    case StorageCategory::caches:
        return tiles.packages;
    case StorageCategory::photos:
    case StorageCategory::videos:
        return tiles.media;
    default:
        return tiles.other;
    }
}

QColor fromRgb(const Rgb& c) {
    return srgb(c[0], c[1], c[2]);
}

} // namespace

// Each palette colour is a function-local static: built once on first use, thread-safe.
#define FERNWICK_PALETTE_COLOR(name, value)                                                        \
    const QColor& FernwickTheme::name() {                                                          \
        static const QColor color = value;                                                         \
        return color;                                                                              \
    }

FERNWICK_PALETTE_COLOR(appBackground, srgb(0.08, 0.08, 0.10))
FERNWICK_PALETTE_COLOR(sidebarBackground, srgb(0.11, 0.11, 0.13))
FERNWICK_PALETTE_COLOR(cardBackground, srgb(0.14, 0.14, 0.17))
FERNWICK_PALETTE_COLOR(panelBorder, whiteAt(0.08))
FERNWICK_PALETTE_COLOR(primaryBlue, srgb(0.20, 0.50, 1.00))
FERNWICK_PALETTE_COLOR(accentCyan, srgb(0.00, 0.80, 0.82))
FERNWICK_PALETTE_COLOR(developerGreen, srgb(0.18, 0.80, 0.44))
FERNWICK_PALETTE_COLOR(libraryPurple, srgb(0.70, 0.32, 0.75))
FERNWICK_PALETTE_COLOR(containerMagenta, srgb(0.85, 0.25, 0.55))
FERNWICK_PALETTE_COLOR(cachesOrange, srgb(0.95, 0.55, 0.15))
FERNWICK_PALETTE_COLOR(modelsYellow, srgb(0.90, 0.75, 0.20))
FERNWICK_PALETTE_COLOR(videoTeal, srgb(0.10, 0.70, 0.70))
FERNWICK_PALETTE_COLOR(warningAmber, srgb(0.95, 0.65, 0.10))
FERNWICK_PALETTE_COLOR(dangerRed, srgb(0.95, 0.25, 0.25))
FERNWICK_PALETTE_COLOR(textSecondary, whiteAt(0.65))
FERNWICK_PALETTE_COLOR(textMuted, whiteAt(0.4))

#undef FERNWICK_PALETTE_COLOR

QColor FernwickTheme::color(StorageCategory category) {
    switch (category) {
    case StorageCategory::applications:
        return primaryBlue();
    case StorageCategory::systemData:
        return srgb(0.50, 0.50, 0.60);
    case StorageCategory::developerData:
    case StorageCategory::xcode:
        return developerGreen();
    case StorageCategory::docker:
        return withOpacity(primaryBlue(), 0.9);
    case StorageCategory::ollamaModels:
        return modelsYellow();
    case StorageCategory::nodeModules:
        return withOpacity(developerGreen(), 0.85);
    case StorageCategory::packageManagers:
    case StorageCategory::androidStudio:
    case StorageCategory::caches:
        return cachesOrange();
    case StorageCategory::containers:
        return containerMagenta();
    case StorageCategory::virtualMachines:
        return libraryPurple();
    case StorageCategory::documents:
        return accentCyan();
    case StorageCategory::photos:
        return srgb(0.90, 0.40, 0.60);
    case StorageCategory::videos:
        return videoTeal();
    case StorageCategory::audio:
        return srgb(0.60, 0.40, 0.90);
    case StorageCategory::archives:
        return srgb(0.80, 0.60, 0.30);
    case StorageCategory::downloads:
        return srgb(0.20, 0.70, 0.90);
    case StorageCategory::logs:
        return srgb(0.60, 0.60, 0.70);
    case StorageCategory::temporaryFiles:
        return warningAmber();
    case StorageCategory::applicationSupport:
        return withOpacity(libraryPurple(), 0.8);
    case StorageCategory::appLeftovers:
        return dangerRed();
    case StorageCategory::installers:
        return withOpacity(primaryBlue(), 0.7);
    case StorageCategory::trash:
        return withOpacity(dangerRed(), 0.8);
    case StorageCategory::other:
        break;
    }
    return srgb(0.40, 0.45, 0.50);
}

QColor FernwickTheme::tileColor(std::string_view path, std::string_view name, bool isLeaf,
                                int depth, StorageCategory category, TreemapTheme theme) {
    const ThemeTiles& tiles = kTiles.at(static_cast<std::size_t>(theme));
    switch (tileGroup(path, name)) {
    case TileGroup::dependencies:
        return fromRgb(isLeaf ? tiles.dependencyLeaf : tiles.dependencyNested);
    case TileGroup::buildOutput:
        return fromRgb(isLeaf ? tiles.buildLeaf : tiles.buildNested);
    case TileGroup::other:
        break;
    }
    if (depth <= 1) {
        return fromRgb(tiles.shallow);
    }
    switch (theme) {
    case TreemapTheme::kelvane:
        return color(category);
    case TreemapTheme::cyberpunk:
        return fromRgb(byCategory(kCyberpunkDeep, category));
    case TreemapTheme::sunset:
        return fromRgb(byCategory(kSunsetDeep, category));
    case TreemapTheme::ocean:
        return fromRgb(byCategory(kOceanDeep, category));
    default:
        return fromRgb(tiles.deep);
    }
}

QColor FernwickTheme::tileColor(const TreemapRect& rect, TreemapTheme theme) {
    return tileColor(rect.node ? rect.node->path() : std::string(),
                     rect.node ? rect.node->name() : std::string(), rect.isLeaf, rect.depth,
                     rect.category, theme);
}

} // namespace fernwick::ui
