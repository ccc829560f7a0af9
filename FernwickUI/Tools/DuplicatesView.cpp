#include "FernwickUI/Tools/DuplicatesView.h"

namespace fernwick::ui {

DuplicatesView::DuplicatesView(AppState&, const ToolSeams&, QWidget* parent) : QWidget(parent) {}

} // namespace fernwick::ui
