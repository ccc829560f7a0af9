#include "FernwickUI/MainWindow/AppsModal.h"

#include "FernwickUI/State/ActiveModal.h"
#include "FernwickUI/Tools/AppUninstallerListView.h"

namespace fernwick::ui {

AppsModal::AppsModal(AppState& state, const ToolSeams& seams, QWidget* parent)
    : ModalFrame(modalTitle(ActiveModal::apps), QSize(800, 550),
                 new AppUninstallerListView(state, seams), parent) {}

} // namespace fernwick::ui
