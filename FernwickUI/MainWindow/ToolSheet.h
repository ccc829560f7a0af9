#pragma once

#include "FernwickUI/Kit/ModalFrame.h"

#include <QString>

namespace fernwick::ui {

/// The frame of a tool screen shown as a sheet over the main window: the modal frame at least
/// 860×580, opening at 960×680. GUI thread only.
class ToolSheet : public ModalFrame {
    Q_OBJECT
public:
    /// `content` becomes the sheet's child; null leaves the content area empty.
    ToolSheet(const QString& title, QWidget* content, QWidget* parent = nullptr);
};

} // namespace fernwick::ui
