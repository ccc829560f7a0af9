#pragma once

#include <QWidget>

namespace fernwick::ui {

class AppState;

/// The system monitor screen; its content is not built yet. GUI thread only.
class SystemMonitorView : public QWidget {
    Q_OBJECT
public:
    explicit SystemMonitorView(AppState& state, QWidget* parent = nullptr);
};

} // namespace fernwick::ui
