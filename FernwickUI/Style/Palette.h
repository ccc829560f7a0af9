#pragma once

#include <QColor>

namespace fernwick::ui {

/// Colour helpers. Callable from any thread.

/// An sRGB colour from components 0 to 1.
QColor srgb(double red, double green, double blue, double opacity = 1);
/// `colour` with its opacity multiplied by `opacity` (clamped to 0..1).
QColor withOpacity(QColor colour, double opacity);
/// The colour a fraction `t` of the way from `from` to `to` (components and opacity).
QColor mixColours(const QColor& from, const QColor& to, double t);
/// White at `opacity`.
QColor whiteAt(double opacity);
/// Black at `opacity`.
QColor blackAt(double opacity);

/// Every colour of the interface outside the shared palette of `FernwickTheme`, each named once
/// after where it belongs. Where a place uses a colour of the shared palette, its name here
/// returns that colour. Each is built once, on first use (thread-safe). Callable from any
/// thread. Screens take their colours from here or from `FernwickTheme`, never from a literal.
class Palette {
public:
    Palette() = delete;

    // Surfaces.
    /// The window and content area behind every screen, and the tool sheets' body.
    static const QColor& contentBackground();
    /// The toolbar strip above the content.
    static const QColor& toolbarBackground();
    /// The sidebar and the result canvas header.
    static const QColor& chromeBackground();
    /// The tool sheet header behind its title and "Done".
    static const QColor& sheetHeaderBackground();
    /// Dialogs and the undo toast (the shared palette's card colour).
    static const QColor& dialogBackground();
    /// Laid over the main window while a sheet is open, dimming it.
    static const QColor& sheetScrim();
    /// The inspector bar over the result canvas, slightly translucent.
    static const QColor& inspectorBackground();
    /// The theme button in the result header.
    static const QColor& themeButtonBackground();

    // Tints and accents.
    /// The platform's standard blue: "Done", "Try Again" and the shadow of the scan buttons.
    static const QColor& systemBlue();
    /// The platform's red: "Cancel Scan".
    static const QColor& systemRed();
    /// The platform's orange: the scan error's warning sign.
    static const QColor& systemOrange();
    /// The primary scan buttons' fill and the welcome screen's drive tile.
    static const QColor& scanButtonBlue();
    /// Selected mode and crumb highlight, and the "Drill Down" tint.
    static const QColor& selectionBlue();
    /// Sizes, gauges and counts that read as "space": the sidebar's badges, the scan's byte
    /// count, the disk gauge, the list's percentages and the inspector's size.
    static const QColor& sizeGreen();
    /// Destructive actions: the inspector's "Trash" and a dialog's destructive button.
    static const QColor& destructiveRed();
    /// The sidebar's Trash item count.
    static const QColor& trashCountAmber();
    /// The undo toast's "Undo" action.
    static const QColor& undoActionBlue();
    /// The palette icon of the result header's theme button.
    static const QColor& themeButtonIcon();
    /// Folder icons in lists and the inspector.
    static const QColor& folderIcon();
    /// File icons in lists and the inspector, and the drive icon while scanning.
    static const QColor& fileIcon();
    /// The developer cleaner's recommendation for a place that is likely in use (the platform's
    /// orange).
    static const QColor& likelyActiveAction();
    /// The settings badge "STANDARD ACCESS".
    static const QColor& standardAccessBadge();
    /// The settings button "Open Privacy & Security Settings".
    static const QColor& privacySettingsButton();

    // The sidebar's file-type legend.
    static const QColor& legendVideo();
    static const QColor& legendDocument();
    static const QColor& legendArchive();
    static const QColor& legendImage();
    static const QColor& legendDeveloper();
    static const QColor& legendOther();

    // The visual modes.
    /// A folder card at rest and under the pointer (mixed by the hover fraction).
    static const QColor& folderCardRest();
    static const QColor& folderCardHover();
    /// The mind map's root card and the sunburst's centre disc.
    static const QColor& chartCentreBackground();
    /// The mind map's branch cards.
    static const QColor& mindMapBranchBackground();
    /// The disc behind the drive icon on the mind map's root card.
    static const QColor& mindMapRootBadge();
    /// The sunburst's hover tooltip.
    static const QColor& sunburstTooltipBackground();
    /// A label on a fill too light for white to be read on it (a pale treemap tile).
    static const QColor& labelOnLightFill();

    // The tool screens' controls.
    /// A dialog's message text.
    static const QColor& dialogMessage();
    /// An unticked checkbox: its outline and its fill.
    static const QColor& checkBoxOutline();
    static const QColor& checkBoxFill();
    /// A switch's track while off.
    static const QColor& switchTrackOff();
    /// The ring around the control that has the keyboard focus; light enough to show on the
    /// blue fills too.
    static const QColor& keyboardFocusRing();
    /// Every scroll bar's track, and its handle (brighter while pointed at or dragged).
    static const QColor& scrollBarTrack();
    static const QColor& scrollBarHandle();
    static const QColor& scrollBarHandleActive();

    // The main window's toolbar, banners, prompt and modals.
    /// The blue accent: the product mark, the search header's glass, the theme picker's
    /// selection and "Grant in Settings".
    static const QColor& accentBlue();
    /// The search field's frame.
    static const QColor& searchFieldBackground();
    /// The update banner, its icon and "Download Update".
    static const QColor& updateBannerBackground();
    static const QColor& downloadGreen();
    /// The permission banner and its shield.
    static const QColor& permissionBannerBackground();
    static const QColor& permissionShieldBlue();
    /// The cleanup prompt above the result canvas.
    static const QColor& cleanupPromptBackground();
    /// The keyboard-shortcuts and theme modals' frames.
    static const QColor& shortcutsBackground();
    static const QColor& themePickerBackground();
};

} // namespace fernwick::ui
