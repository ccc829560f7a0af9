#pragma once

#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Scanning/TreemapRect.h"
#include "FernwickUI/Style/TreemapTheme.h"

#include <QColor>

#include <string_view>

namespace fernwick::ui {

/// The fixed colours of the interface (a dark appearance) and the colour of each storage
/// category. No instances: static members only. Each palette colour is built once, on first
/// use (thread-safe), and the same value is returned afterwards. Callable from any thread.
class FernwickTheme {
public:
    FernwickTheme() = delete;

    static const QColor& appBackground();
    static const QColor& sidebarBackground();
    static const QColor& cardBackground();
    /// White at opacity 0.08.
    static const QColor& panelBorder();
    static const QColor& primaryBlue();
    static const QColor& accentCyan();
    static const QColor& developerGreen();
    static const QColor& libraryPurple();
    static const QColor& containerMagenta();
    static const QColor& cachesOrange();
    static const QColor& modelsYellow();
    static const QColor& videoTeal();
    static const QColor& warningAmber();
    static const QColor& dangerRed();
    /// White at opacity 0.65.
    static const QColor& textSecondary();
    /// White at opacity 0.4.
    static const QColor& textMuted();

    /// The colour that stands for `category` in lists, cards and charts. Some categories share
    /// a colour, some at a lower opacity (nodeModules, docker, installers, trash,
    /// applicationSupport).
    static QColor color(StorageCategory category);

    /// The fill colour of one treemap tile in `theme`. `path` and `name` are the tile node's
    /// full path and name (compared lowercased), `isLeaf` says the tile has no nested tiles,
    /// `depth` is its nesting depth and `category` its storage category. The tile's size and
    /// whether it is a folder play no part.
    static QColor tileColor(std::string_view path, std::string_view name, bool isLeaf, int depth,
                            StorageCategory category, TreemapTheme theme);
    /// The fill colour of `rect`'s tile in `theme`, from its node's path and name, whether it
    /// has nested tiles, its depth and its category.
    static QColor tileColor(const TreemapRect& rect, TreemapTheme theme);
};

} // namespace fernwick::ui
