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

namespace fernwick::ui {

QDialog* makeSheet(ActiveModal modal, AppState& state, const ToolSeams& seams, QWidget* parent) {
    const QString title = ToolSheet::titleFor(modal);
    switch (modal) {
    case ActiveModal::apps:
        return new AppsModal(state, seams, parent);
    case ActiveModal::systemMonitor:
        return new SystemMonitorModal(state, parent);
    case ActiveModal::shortcuts:
        return new ShortcutsModal(parent);
    case ActiveModal::theme:
        return new ThemePickerModal(state, parent);
    case ActiveModal::cleanup:
        return new ToolSheet(title, new CleanupReviewView(state, seams), parent);
    case ActiveModal::developer:
        return new ToolSheet(title, new DeveloperCleanerView(state, seams), parent);
    case ActiveModal::largeFiles:
        return new ToolSheet(title, new LargeFilesView(state, seams), parent);
    case ActiveModal::duplicates:
        return new ToolSheet(title, new DuplicatesView(state, seams), parent);
    case ActiveModal::history:
        return new ToolSheet(title, new HistoryView(state, seams), parent);
    case ActiveModal::settings:
        return new ToolSheet(title, new SettingsView(state, seams), parent);
    }
    return nullptr;
}

} // namespace fernwick::ui
