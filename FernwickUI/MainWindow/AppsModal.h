#pragma once

#include "FernwickUI/Kit/ModalFrame.h"
#include "FernwickUI/Tools/ToolSeams.h"

namespace fernwick::ui {

class AppState;

/// The sheet of the installed applications: the modal frame, at least 800×550, around the
/// uninstaller's list. The list is loaded by `AppState::openTool`, not here. GUI thread only.
class AppsModal : public ModalFrame {
    Q_OBJECT
public:
    AppsModal(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);
};

} // namespace fernwick::ui
