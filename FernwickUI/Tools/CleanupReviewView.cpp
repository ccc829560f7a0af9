#include "FernwickUI/Tools/CleanupReviewView.h"

namespace fernwick::ui {

CleanupReviewView::CleanupReviewView(AppState&, const ToolSeams&, QWidget* parent)
    : QWidget(parent) {}

} // namespace fernwick::ui
