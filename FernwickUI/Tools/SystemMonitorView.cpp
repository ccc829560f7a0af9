#include "FernwickUI/Tools/SystemMonitorView.h"

namespace fernwick::ui {

SystemMonitorView::SystemMonitorView(AppState&, QWidget* parent) : QWidget(parent) {}

} // namespace fernwick::ui
