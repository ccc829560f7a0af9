#pragma once

class QApplication;
class QPalette;

namespace fernwick::ui {

/// Gives the whole application the dark appearance: the Fusion style with a dark palette.
void applyDarkAppearance(QApplication& app);

/// The dark palette the whole application wears; also given to windows that do not take the
/// application's palette, such as Qt's own file chooser. GUI thread.
QPalette darkPalette();

} // namespace fernwick::ui
