#include "FernwickUI/MainWindow/SystemMonitorModal.h"

#include "FernwickUI/State/ActiveModal.h"
#include "FernwickUI/Tools/SystemMonitorView.h"

namespace fernwick::ui {

SystemMonitorModal::SystemMonitorModal(AppState& state, QWidget* parent)
    : ModalFrame(modalTitle(ActiveModal::systemMonitor), QSize(750, 520),
                 new SystemMonitorView(state), parent) {}

} // namespace fernwick::ui
