#include "FernwickUI/Tools/AppUninstallerListView.h"

namespace fernwick::ui {

AppUninstallerListView::AppUninstallerListView(AppState&, const ToolSeams&, QWidget* parent)
    : QWidget(parent) {}

} // namespace fernwick::ui
