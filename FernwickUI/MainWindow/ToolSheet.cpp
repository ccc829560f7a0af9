#include "FernwickUI/MainWindow/ToolSheet.h"

namespace fernwick::ui {

ToolSheet::ToolSheet(const QString& title, QWidget* content, QWidget* parent)
    : ModalFrame(title, QSize(860, 580), content, parent) {
    resize(960, 680);
}

} // namespace fernwick::ui
