#pragma once

#include "FernwickUI/Kit/ModalFrame.h"

namespace fernwick::ui {

class AppState;

/// The sheet of the system monitor: the modal frame, at least 750×520, around the monitor
/// screen. The metrics are sampled by AppState, which keeps sampling after the sheet closes.
/// GUI thread only.
class SystemMonitorModal : public ModalFrame {
    Q_OBJECT
public:
    explicit SystemMonitorModal(AppState& state, QWidget* parent = nullptr);
};

} // namespace fernwick::ui
