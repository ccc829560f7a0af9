#include "FernwickUI/Tools/LargeFilesView.h"

namespace fernwick::ui {

LargeFilesView::LargeFilesView(AppState&, const ToolSeams&, QWidget* parent) : QWidget(parent) {}

} // namespace fernwick::ui
