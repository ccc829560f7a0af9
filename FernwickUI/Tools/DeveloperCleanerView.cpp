#include "FernwickUI/Tools/DeveloperCleanerView.h"

namespace fernwick::ui {

DeveloperCleanerView::DeveloperCleanerView(AppState&, const ToolSeams&, QWidget* parent)
    : QWidget(parent) {}

} // namespace fernwick::ui
