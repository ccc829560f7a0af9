#pragma once

#include "FernwickUI/State/ActiveModal.h"
#include "FernwickUI/Tools/ToolSeams.h"

class QDialog;
class QWidget;

namespace fernwick::ui {

class AppState;

/// A new dialog for `modal` with its screen built afresh, child of `parent`, not yet open: the
/// apps, monitor, shortcuts and theme sheets have frames of their own; the six tools sit in a
/// ToolSheet. The screens keep `state`, which must outlive them. GUI thread only.
QDialog* makeSheet(ActiveModal modal, AppState& state, const ToolSeams& seams, QWidget* parent);

} // namespace fernwick::ui
