#pragma once

class QApplication;

namespace fernwick::ui {

/// Gives the whole application the dark appearance: the Fusion style with a dark palette.
void applyDarkAppearance(QApplication& app);

} // namespace fernwick::ui
