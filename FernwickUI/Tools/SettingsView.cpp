#include "FernwickUI/Tools/SettingsView.h"

namespace fernwick::ui {

SettingsView::SettingsView(AppState&, const ToolSeams&, QWidget* parent) : QWidget(parent) {}

} // namespace fernwick::ui
