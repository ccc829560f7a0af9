#include "FernwickUI/Tools/HistoryView.h"

namespace fernwick::ui {

HistoryView::HistoryView(AppState&, const ToolSeams&, QWidget* parent) : QWidget(parent) {}

} // namespace fernwick::ui
