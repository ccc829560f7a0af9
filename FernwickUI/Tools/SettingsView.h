#pragma once

#include "FernwickUI/Tools/ToolSeams.h"

#include <QWidget>

namespace fernwick::ui {

class AppState;

/// A tool screen; its content is not built yet, so it shows an empty area. GUI thread only.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    SettingsView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);
};

} // namespace fernwick::ui
