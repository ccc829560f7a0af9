#include "FernwickUI/Style/Palette.h"

#include "FernwickUI/Style/FernwickTheme.h"

#include <algorithm>

namespace fernwick::ui {

QColor srgb(double red, double green, double blue, double opacity) {
    return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green),
                            static_cast<float>(blue), static_cast<float>(opacity));
}

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(std::clamp(colour.alphaF() * opacity, 0.0, 1.0)));
    return colour;
}

QColor mixColours(const QColor& from, const QColor& to, double t) {
    const auto lerp = [t](float a, float b) { return static_cast<float>(a + (b - a) * t); };
    return QColor::fromRgbF(lerp(from.redF(), to.redF()), lerp(from.greenF(), to.greenF()),
                            lerp(from.blueF(), to.blueF()), lerp(from.alphaF(), to.alphaF()));
}

QColor whiteAt(double opacity) {
    return withOpacity(QColor(255, 255, 255), opacity);
}

QColor blackAt(double opacity) {
    return withOpacity(QColor(0, 0, 0), opacity);
}

// Each colour is a function-local static: built once on first use, thread-safe.
#define FERNWICK_NAMED_COLOR(name, value)                                                          \
    const QColor& Palette::name() {                                                                \
        static const QColor colour = value;                                                        \
        return colour;                                                                             \
    }

FERNWICK_NAMED_COLOR(contentBackground, srgb(0.05, 0.05, 0.07))
FERNWICK_NAMED_COLOR(toolbarBackground, srgb(0.08, 0.08, 0.10))
FERNWICK_NAMED_COLOR(chromeBackground, srgb(0.07, 0.07, 0.09))
FERNWICK_NAMED_COLOR(sheetHeaderBackground, srgb(0.1, 0.1, 0.12))
FERNWICK_NAMED_COLOR(dialogBackground, FernwickTheme::cardBackground())
FERNWICK_NAMED_COLOR(sheetScrim, blackAt(0.45))
FERNWICK_NAMED_COLOR(inspectorBackground, srgb(0.09, 0.09, 0.11, 0.96))
FERNWICK_NAMED_COLOR(themeButtonBackground, srgb(0.12, 0.12, 0.16))

FERNWICK_NAMED_COLOR(systemBlue, srgb(0.0, 0.48, 1.0))
FERNWICK_NAMED_COLOR(systemRed, srgb(1.0, 0.27, 0.23))
FERNWICK_NAMED_COLOR(systemOrange, srgb(1.0, 0.58, 0.0))
FERNWICK_NAMED_COLOR(scanButtonBlue, srgb(0.05, 0.50, 1.00))
FERNWICK_NAMED_COLOR(selectionBlue, srgb(0.15, 0.45, 0.90))
FERNWICK_NAMED_COLOR(sizeGreen, srgb(0.20, 0.85, 0.50))
FERNWICK_NAMED_COLOR(destructiveRed, srgb(1.0, 0.35, 0.32))
FERNWICK_NAMED_COLOR(trashCountAmber, srgb(0.95, 0.70, 0.20))
FERNWICK_NAMED_COLOR(undoActionBlue, srgb(0.35, 0.70, 1.00))
FERNWICK_NAMED_COLOR(themeButtonIcon, srgb(0.20, 0.65, 1.00))
FERNWICK_NAMED_COLOR(folderIcon, srgb(0.98, 0.58, 0.05))
FERNWICK_NAMED_COLOR(fileIcon, srgb(0.20, 0.55, 1.00))
FERNWICK_NAMED_COLOR(likelyActiveAction, srgb(1.0, 0.624, 0.039))
FERNWICK_NAMED_COLOR(standardAccessBadge, srgb(0.2, 0.65, 1.0))
FERNWICK_NAMED_COLOR(privacySettingsButton, srgb(0.2, 0.55, 1.0))

FERNWICK_NAMED_COLOR(legendVideo, FernwickTheme::primaryBlue())
FERNWICK_NAMED_COLOR(legendDocument, srgb(0.65, 0.35, 0.95))
FERNWICK_NAMED_COLOR(legendArchive, srgb(0.85, 0.40, 0.60))
FERNWICK_NAMED_COLOR(legendImage, FernwickTheme::cachesOrange())
FERNWICK_NAMED_COLOR(legendDeveloper, FernwickTheme::developerGreen())
FERNWICK_NAMED_COLOR(legendOther, srgb(0.45, 0.50, 0.55))

FERNWICK_NAMED_COLOR(folderCardRest, srgb(0.09, 0.10, 0.13))
FERNWICK_NAMED_COLOR(folderCardHover, srgb(0.14, 0.15, 0.19))
FERNWICK_NAMED_COLOR(chartCentreBackground, srgb(0.1, 0.11, 0.15))
FERNWICK_NAMED_COLOR(mindMapBranchBackground, srgb(0.1, 0.11, 0.14))
FERNWICK_NAMED_COLOR(mindMapRootBadge, srgb(0.15, 0.35, 0.85, 0.3))
FERNWICK_NAMED_COLOR(sunburstTooltipBackground, srgb(0.08, 0.09, 0.12, 0.95))
FERNWICK_NAMED_COLOR(labelOnLightFill, srgb(0.08, 0.08, 0.10))
FERNWICK_NAMED_COLOR(accentBlue, srgb(0.20, 0.55, 1.00))
FERNWICK_NAMED_COLOR(searchFieldBackground, srgb(0.10, 0.10, 0.12))
FERNWICK_NAMED_COLOR(updateBannerBackground, srgb(0.06, 0.14, 0.10))
FERNWICK_NAMED_COLOR(downloadGreen, srgb(0.10, 0.65, 0.40))
FERNWICK_NAMED_COLOR(permissionBannerBackground, srgb(0.08, 0.12, 0.18))
FERNWICK_NAMED_COLOR(permissionShieldBlue, srgb(0.20, 0.65, 1.00))
FERNWICK_NAMED_COLOR(cleanupPromptBackground, srgb(0.06, 0.13, 0.10))
FERNWICK_NAMED_COLOR(shortcutsBackground, srgb(0.10, 0.10, 0.13))
FERNWICK_NAMED_COLOR(themePickerBackground, srgb(0.10, 0.10, 0.12))

FERNWICK_NAMED_COLOR(dialogMessage, whiteAt(0.75))
FERNWICK_NAMED_COLOR(checkBoxOutline, whiteAt(0.35))
FERNWICK_NAMED_COLOR(checkBoxFill, whiteAt(0.06))
FERNWICK_NAMED_COLOR(switchTrackOff, whiteAt(0.2))
FERNWICK_NAMED_COLOR(keyboardFocusRing, srgb(0.55, 0.78, 1.0))
FERNWICK_NAMED_COLOR(scrollBarTrack, srgb(0.07, 0.07, 0.09))
FERNWICK_NAMED_COLOR(scrollBarHandle, whiteAt(0.22))
FERNWICK_NAMED_COLOR(scrollBarHandleActive, whiteAt(0.38))

#undef FERNWICK_NAMED_COLOR

} // namespace fernwick::ui
