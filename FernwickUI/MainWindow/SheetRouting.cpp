#include "FernwickUI/MainWindow/SheetRouting.h"

#include "FernwickUI/MainWindow/AppsModal.h"
#include "FernwickUI/MainWindow/ShortcutsModal.h"
#include "FernwickUI/MainWindow/SystemMonitorModal.h"
#include "FernwickUI/MainWindow/ThemePickerModal.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "FernwickUI/Tools/CleanupReviewView.h"
#include "FernwickUI/Tools/DeveloperCleanerView.h"
#include "FernwickUI/Tools/DuplicatesView.h"
#include "FernwickUI/Tools/HistoryView.h"
#include "FernwickUI/Tools/LargeFilesView.h"
#include "FernwickUI/Tools/SettingsView.h"

#include <array>

namespace fernwick::ui {

namespace {

/// Builds a screen's view: the whole modal for a screen with a frame of its own, the content
/// for a tool sheet.
using ViewBuilder = QWidget* (*)(AppState& state, const ToolSeams& seams, QWidget* parent);

template <class View> QWidget* toolView(AppState& state, const ToolSeams& seams, QWidget*) {
    return new View(state, seams);
}

// The view of each screen, in ActiveModal's order; everything else about a screen is its row
// in the screen table (activeModalEntry).
constexpr std::array<ViewBuilder, 10> kViews = {
    [](AppState& state, const ToolSeams& seams, QWidget* parent) -> QWidget* {
        return new AppsModal(state, seams, parent);
    },
    [](AppState& state, const ToolSeams&, QWidget* parent) -> QWidget* {
        return new SystemMonitorModal(state, parent);
    },
    [](AppState&, const ToolSeams&, QWidget* parent) -> QWidget* {
        return new ShortcutsModal(parent);
    },
    [](AppState& state, const ToolSeams&, QWidget* parent) -> QWidget* {
        return new ThemePickerModal(state, parent);
    },
    &toolView<CleanupReviewView>,
    &toolView<DeveloperCleanerView>,
    &toolView<LargeFilesView>,
    &toolView<DuplicatesView>,
    &toolView<HistoryView>,
    &toolView<SettingsView>,
};

} // namespace

QDialog* makeSheet(ActiveModal modal, AppState& state, const ToolSeams& seams, QWidget* parent) {
    const ActiveModalEntry& entry = activeModalEntry(modal);
    const ViewBuilder build = kViews.at(static_cast<std::size_t>(modal));
    if (entry.presentation == ModalPresentation::toolSheet) {
        return new ToolSheet(modalTitle(modal), build(state, seams, nullptr), parent);
    }
    return qobject_cast<QDialog*>(build(state, seams, parent));
}

} // namespace fernwick::ui
