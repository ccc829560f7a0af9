#pragma once

#include "FernwickCore/Engines/HistoryStore.h"
#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/InstalledApp.h"
#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Platform/Uuid.h"
#include "FernwickCore/Scanning/TreemapRect.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

// The screens' own state besides what AppState publishes: selections, filter texts, hover
// targets and open confirmations. Each screen builds its record afresh every time it is shown,
// so it always opens from these values; none of it is persisted.

namespace fernwick::ui {

/// The record of `MainWindow` and `ResultCanvas`; not held yet: the screen keeps these values in
/// its own members.
struct MainWindowViewState {
    /// The treemap tile under the pointer.
    std::optional<TreemapRect> hoveredRect;
    bool showEmptyTrashConfirm = false;
    /// The user hid the cleanup prompt.
    bool cleanupPromptDismissed = false;
    /// Keyboard focus of the search field.
    bool isSearchFocused = false;
};

/// The record of `CleanupReviewView`; not held yet: the screen keeps these values in its own
/// members.
struct CleanupReviewViewState {
    bool isDryRunMode = false;
    bool showConfirmDialog = false;
};

struct DeveloperCleanerViewState {
    /// The group filter; "All" shows every group.
    std::string selectedGroup = "All";
    /// The ids of the ticked items.
    std::set<Uuid> selectedIDs;
    bool showConfirm = false;
    /// The screen's own clean is running.
    bool isCleaning = false;
};

/// The record of `LargeFilesView`; not held yet: the screen keeps these values in its own members.
struct LargeFilesViewState {
    /// nullopt: every category.
    std::optional<StorageCategory> selectedCategory;
    /// The name or path filter text.
    std::string searchText;
};

/// The record of `DuplicatesView`; not held yet: the screen keeps these values in its own members.
struct DuplicatesViewState {
    bool showConfirmDialog = false;
};

struct SettingsViewState {
    /// The user's protected paths, loaded for display.
    std::vector<std::string> protectedPaths;
};

/// The record of `HistoryView`; not held yet: the screen keeps these values in its own members.
struct HistoryViewState {
    /// The storage timeline, loaded for display.
    std::vector<StorageSnapshot> snapshots;
};

struct AppUninstallerListViewState {
    /// The application filter text.
    std::string searchText;
    bool showConfirmUninstall = false;
    /// The application the confirmation is about.
    std::optional<InstalledApp> appToUninstall;
};

/// The record of `FolderCardView`; not held yet: the screen keeps these values in its own members.
struct FolderCardViewState {
    bool isHovered = false;
};

/// The record of `BubbleNodeView`; not held yet: the screen keeps these values in its own members.
struct BubbleNodeViewState {
    bool isHovered = false;
};

struct SunburstRadialViewState {
    DiskNodePtr hoveredSectorNode;
};

struct FlameGraphHierarchyViewState {
    DiskNodePtr hoveredFlameNode;
};

/// The record of `MindMapBranchView`; not held yet: the screen keeps these values in its own
/// members.
struct MindMapBranchViewState {
    DiskNodePtr hoveredMindNode;
};

} // namespace fernwick::ui
