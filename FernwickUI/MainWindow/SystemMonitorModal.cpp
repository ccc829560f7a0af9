#include "FernwickUI/MainWindow/SystemMonitorModal.h"

#include "FernwickUI/Tools/SystemMonitorView.h"

namespace fernwick::ui {

SystemMonitorModal::SystemMonitorModal(AppState& state, QWidget* parent)
    : ModalFrame(QStringLiteral("Real-Time System Monitor"), QSize(750, 520),
                 new SystemMonitorView(state), parent) {}

} // namespace fernwick::ui
