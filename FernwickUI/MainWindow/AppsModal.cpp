#include "FernwickUI/MainWindow/AppsModal.h"

#include "FernwickUI/Tools/AppUninstallerListView.h"

namespace fernwick::ui {

AppsModal::AppsModal(AppState& state, const ToolSeams& seams, QWidget* parent)
    : ModalFrame(QStringLiteral("Installed Applications & Leftovers"), QSize(800, 550),
                 new AppUninstallerListView(state, seams), parent) {}

} // namespace fernwick::ui
