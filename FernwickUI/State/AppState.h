#pragma once

// The one view model of the program: what every window and screen shows, and every operation
// the user starts.
//
// Threads: AppState lives on the GUI thread and is read, written and called there only. Engine
// calls run on two worker pools (long work and quick work, so a long scan never delays the
// monitor or a move to the Trash); their results come back as queued calls on the GUI thread.
// Work that is started "as a task" is queued on the GUI thread, never run inline.
// Scans: every scan has a generation; a progress report, result or error of a cancelled or
// superseded scan never reaches the state.
// The tree: a ScanTree owns it. An engine reading it on a worker holds a ScanTree::View; a change
// (a move to or from the Trash, a cleanup run, a drill-down graft) is applied at once all the
// same and never alters what a view shows (see ScanTree). Each change ends in one
// treeChanged(node) and a treemap layout, computed on a worker (the newest is published). When a
// change had to copy nodes because a view was alive, the members that hold nodes of the tree (the
// root, the node shown, the trail, the selection, the large files, the undo record) move to the new
// versions without their own signals: treeChanged announces them. Announcements: every assignment
// of a published member emits its change signal after storing, also when the value is equal;
// in-place edits of published collections go through the `update...` members, which announce too.

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/ScanTree.h"
#include "FernwickCore/Platform/Result.h"
#include "FernwickCore/Scanning/LargeFileFinder.h"
#include "FernwickCore/Scanning/TreemapLayoutEngine.h"
#include "FernwickUI/State/ActiveModal.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/ScanState.h"
#include "FernwickUI/State/StorageVisualMode.h"
#include "FernwickUI/State/TrashMoves.h"
#include "FernwickUI/State/TrashUndo.h"
#include "FernwickUI/State/UserAlert.h"
#include "FernwickUI/Style/TreemapTheme.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class QThreadPool;

namespace fernwick::ui {

class AppState final : public QObject {
    Q_OBJECT

public:
    /// Stable: preferences keys.
    static constexpr const char* kThemeKey = "Tarnbrook_TreemapTheme";
    static constexpr const char* kPermissionRequestedKey = "Tarnbrook_PermissionRequestedOnce";
    /// The settings as the screens title them, in alerts about a setting that was not saved.
    static constexpr const char* kProtectedListSetting = "Custom Protected Whitelist";
    static constexpr const char* kThemeSetting = "Visualization Color Themes";
    static constexpr const char* kPermissionNoticeSetting = "One-Time Permission Setup";
    /// An older stored name of the first theme.
    static constexpr const char* kLegacyFirstThemeName = "Kelvane Classic";
    static constexpr const char* kFullDiskAccessSettingsAddress =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles";
    static constexpr const char* kPreparingScanText = "Preparing fast scan...";
    static constexpr int kScanDepth = 6;
    static constexpr int kRescanDepth = 5;
    static constexpr int kSearchLimit = 50;
    static constexpr std::int64_t kDuplicateMinFileSize = 51200;
    static constexpr int kMonitorIntervalMs = 1500;
    static constexpr int kTrashSettleMs = 300;
    /// The rectangle of every layout AppState computes itself.
    static constexpr Rect kLayoutBounds{0, 0, 900, 550};

    /// Restores the theme and the permission flag (writing nothing back), reads the access
    /// state, raises the one-time notice, starts the monitor timer, and queues the Trash count
    /// and the update check. GUI thread.
    explicit AppState(AppServices services, QObject* parent = nullptr);
    ~AppState() override;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    /// The one instance over the real engines, built on first use; lives until the process
    /// ends. GUI thread, after the application object exists.
    static AppState& shared();

    // Published members, in declaration order. Each setter announces, also for equal values.
    const ScanState& scanState() const { return m_scanState; }
    void setScanState(ScanState value);
    const DiskNodePtr& rootNode() const { return m_tree.root(); }
    /// The scan began at `listedAt` (nullopt: unknown; no change or birth time is compared).
    void setRootNode(DiskNodePtr value, std::optional<TimePoint> listedAt = std::nullopt);
    const DiskNodePtr& currentTreemapRoot() const { return m_currentTreemapRoot; }
    void setCurrentTreemapRoot(DiskNodePtr value);
    /// First element the scan root, last the node shown.
    const std::vector<DiskNodePtr>& treemapBreadcrumbs() const { return m_treemapBreadcrumbs; }
    void setTreemapBreadcrumbs(std::vector<DiskNodePtr> value);
    const DiskNodePtr& selectedNodeForInspection() const { return m_selectedNodeForInspection; }
    void setSelectedNodeForInspection(DiskNodePtr value);
    const std::vector<TreemapRect>& treemapRectangles() const { return m_treemapRectangles; }
    void setTreemapRectangles(std::vector<TreemapRect> value);
    const CleanupPlan& cleanupPlan() const { return m_cleanupPlan; }
    void setCleanupPlan(CleanupPlan value);
    /// Edits the plan in place (e.g. a candidate's selection) and announces.
    void updateCleanupPlan(const std::function<void(CleanupPlan&)>& edit);
    bool isCleaning() const { return m_isCleaning; }
    void setIsCleaning(bool value);
    const std::optional<CleanupExecutionResult>& lastCleanupResult() const {
        return m_lastCleanupResult;
    }
    void setLastCleanupResult(std::optional<CleanupExecutionResult> value);
    const std::vector<DeveloperStorageItem>& developerItems() const { return m_developerItems; }
    void setDeveloperItems(std::vector<DeveloperStorageItem> value);
    void updateDeveloperItems(const std::function<void(std::vector<DeveloperStorageItem>&)>& edit);
    bool isScanningDeveloper() const { return m_isScanningDeveloper; }
    void setIsScanningDeveloper(bool value);
    const std::vector<InstalledApp>& installedApps() const { return m_installedApps; }
    void setInstalledApps(std::vector<InstalledApp> value);
    void updateInstalledApps(const std::function<void(std::vector<InstalledApp>&)>& edit);
    bool isScanningApps() const { return m_isScanningApps; }
    void setIsScanningApps(bool value);
    const std::optional<InstalledApp>& selectedAppForInspection() const {
        return m_selectedAppForInspection;
    }
    void setSelectedAppForInspection(std::optional<InstalledApp> value);
    const std::vector<DuplicateCluster>& duplicateClusters() const { return m_duplicateClusters; }
    void setDuplicateClusters(std::vector<DuplicateCluster> value);
    void updateDuplicateClusters(const std::function<void(std::vector<DuplicateCluster>&)>& edit);
    bool isScanningDuplicates() const { return m_isScanningDuplicates; }
    void setIsScanningDuplicates(bool value);
    /// True from the start of a duplicates clean until its new search has published; a clean
    /// asked for meanwhile is ignored.
    bool isCleaningDuplicates() const { return m_isCleaningDuplicates; }
    const std::vector<DiskNodePtr>& largeFiles() const { return m_largeFiles; }
    void setLargeFiles(std::vector<DiskNodePtr> value);
    LargeFileThreshold selectedLargeFileThreshold() const { return m_selectedLargeFileThreshold; }
    void setSelectedLargeFileThreshold(LargeFileThreshold value);
    const SystemMetrics& systemMetrics() const { return m_systemMetrics; }
    void setSystemMetrics(SystemMetrics value);
    const std::optional<UserAlert>& userAlert() const { return m_userAlert; }
    void setUserAlert(std::optional<UserAlert> value);
    const std::optional<AppUpdateInfo>& availableUpdate() const { return m_availableUpdate; }
    void setAvailableUpdate(std::optional<AppUpdateInfo> value);
    const std::optional<TrashUndo>& lastTrashed() const { return m_lastTrashed; }
    void setLastTrashed(std::optional<TrashUndo> value);
    const std::optional<ActiveModal>& activeModal() const { return m_activeModal; }
    void setActiveModal(std::optional<ActiveModal> value);
    const std::string& searchText() const { return m_searchText; }
    void setSearchText(std::string value);
    std::int64_t trashItemCount() const { return m_trashItemCount; }
    void setTrashItemCount(std::int64_t value);
    bool isTrashEmptying() const { return m_isTrashEmptying; }
    void setIsTrashEmptying(bool value);
    TreemapTheme currentTheme() const { return m_currentTheme; }
    /// Also stores the theme's display name in the preferences, on every call.
    void setCurrentTheme(TreemapTheme value);
    bool hasRequestedPermissionOnce() const { return m_hasRequestedPermissionOnce; }
    /// Also stores the flag in the preferences, on every call.
    void setHasRequestedPermissionOnce(bool value);
    bool showOneTimePermissionNotice() const { return m_showOneTimePermissionNotice; }
    void setShowOneTimePermissionNotice(bool value);
    bool hasFullDiskAccess() const { return m_hasFullDiskAccess; }
    void setHasFullDiskAccess(bool value);
    const std::vector<CleanupAuditEntry>& auditHistory() const { return m_auditHistory; }
    void setAuditHistory(std::vector<CleanupAuditEntry> value);
    /// Set by the developer-cache scan only.
    bool hasScannedDeveloperStorage() const { return m_hasScannedDeveloperStorage; }
    StorageVisualMode storageVisualMode() const { return m_storageVisualMode; }
    void setStorageVisualMode(StorageVisualMode value);

    /// Sum of the sizes of every candidate of the plan, selected or not (saturating).
    std::int64_t cleanupOpportunityBytes() const;

    // Scan, navigation and search.
    /// Starts a scan of `targetURL` (the home folder when nullopt) at depth 6 and returns.
    void startScan(const std::optional<std::filesystem::path>& targetURL = std::nullopt);
    /// Stops the running scan and sets `idle` at once; nothing of that scan is published.
    void cancelScan();
    /// Lays out the node shown (else the root) in `bounds`; with no tree changes nothing.
    void computeTreemapLayout(Rect bounds = kLayoutBounds);
    /// Bytes per category display name over the tree's non-directory nodes.
    std::map<std::string, std::int64_t> getCategorySizeBreakdown() const;
    /// The owner of the tree; read-only here, for inspection.
    const ScanTree& scanTree() const { return m_tree; }
    /// How many times the tree has changed since the application started (a move to or from the
    /// Trash, a cleanup, a graft). A change may be made in place: a node held from before then
    /// shows the changed tree, so this, not the node, tells whether what was shown still stands.
    std::uint64_t treeChanges() const { return m_treeChanges; }
    bool canNavigateBack() const { return m_treemapBreadcrumbs.size() > 1; }
    void navigateBack();
    /// Selects the node; a folder is shown too, after a rescan at depth 5 when it has no
    /// children in the tree. A child of the folder shown is appended to the trail; a folder
    /// anywhere else (a search result, a tile nested deeper) takes the trail from the root down
    /// to it, so that Back leads to the folder that holds it.
    void drillDownIntoNode(const DiskNodePtr& node);
    /// Jumps to the trail's node at `index`; an index outside the trail changes nothing.
    void navigateBreadcrumb(int index);
    /// At most 50 nodes, in pre-order, whose name or path contains the trimmed query,
    /// ignoring case.
    std::vector<DiskNodePtr> searchMatchingNodes(const std::string& query) const;
    /// The same nodes as `searchMatchingNodes`, found on a worker: `done` gets them on the GUI
    /// thread one turn later or more. A search started later, or a new tree, drops the result
    /// (`done` is then never called); a superseded walk stops early.
    void searchAsync(const std::string& query, std::function<void(std::vector<DiskNodePtr>)> done);

    // Updates.
    /// Checks for a newer version on a worker and returns at once: a newer version becomes
    /// `availableUpdate`; otherwise an alert says the program is up to date or why the check
    /// failed (an update already offered stays). Each call is its own check.
    void checkForUpdatesManually(std::function<void()> done = {});
    /// Opens the offered update's download address, only when it is a secure web address.
    void openUpdateDownload();
    /// The running program's version, as the services give it.
    const std::string& currentVersion() const { return m_services.currentVersion; }

    // Tools and cleanup. `done` callbacks run on the GUI thread when the operation has
    // published its results (or returned without effect).
    /// Shows `tool` and queues what its row in the screen table loads on opening.
    void openTool(ActiveModal tool);
    /// Scans the installed applications unless they are listed or being listed.
    void loadInstalledAppsOnOpen();
    /// Sizes the developer caches unless they were sized or are being sized.
    void loadDeveloperStorageOnOpen();
    /// Reads the audit history on a worker and publishes it.
    void loadAuditHistory();
    void scanDeveloperStorage(std::function<void()> done = {});
    void scanInstalledApps(std::function<void()> done = {});
    /// Returns at once when a run is in progress. A real run moves through the one way to the
    /// Trash; what was refused is listed in "Smart Cleanup skipped some items" (a dry run's
    /// refusals in "Dry run: some items would be skipped").
    void runCleanup(bool isDryRun, std::function<void()> done = {});
    void scanDuplicates(std::function<void()> done = {});

    // The developer cleaner, the uninstaller and the settings. Each runs its engine work on a
    // worker; `done` runs on the GUI thread.
    /// Moves each item to the Trash in order through the safety check (with the scanned inode
    /// when the item is a node of the tree), then the removal's follow-ups and a rescan of the
    /// developer storage, then calls `done`, then raises "Some items were skipped" with the first
    /// five "<name>: <reason>" lines and "and N more" when any failed.
    void cleanDeveloperItems(std::vector<DeveloperStorageItem> items,
                             std::function<void()> done = {});
    /// Uninstalls the application with its leftovers, every move through the one way to the
    /// Trash; a failure raises "Couldn't uninstall <name>" with the engine's text, skipped
    /// leftovers "Some leftovers of <name> were skipped". The applications are rescanned in
    /// either case; `done` runs after the rescan.
    void uninstallApp(InstalledApp app, std::function<void()> done = {});
    /// The user's protected paths in byte order, after the change for add and remove. A change
    /// that is refused or cannot be written raises "Couldn't save settings" (a change that could
    /// not be written still holds for this session).
    using ProtectedPathsDone = std::function<void(std::vector<std::string>)>;
    void loadProtectedPaths(ProtectedPathsDone done);
    void addProtectedPath(std::string path, ProtectedPathsDone done);
    /// Removes the exact string when listed, else its standardized form.
    void removeProtectedPath(std::string path, ProtectedPathsDone done);
    /// Writes `report` to `path` atomically (a file there is replaced whole, a failed write
    /// leaves it untouched); a failure raises "Couldn't export diagnostics". `done` gets
    /// whether the file was written.
    void exportDiagnostics(std::filesystem::path path, std::string report,
                           std::function<void(bool written)> done = {});

    // What the tool screens change. Each announces its member like the setters.
    /// Ticks or unticks the plan's candidate `id`; nothing when the plan has no such candidate.
    void setCandidateSelected(const Uuid& id, bool selected);
    /// Selects `threshold` at once and, when a tree is there, lists its files of at least that
    /// size on a worker: the list changes when they are found. Pressing the selected threshold
    /// again recomputes the list from the tree as it is now. The latest choice wins: a list
    /// found for an earlier choice, or for a tree replaced meanwhile, is dropped.
    void chooseLargeFileThreshold(LargeFileThreshold threshold);
    /// Ticks or unticks one copy of one duplicate cluster; nothing when either is gone.
    void setDuplicateSelected(const Uuid& cluster, const Uuid& item, bool selected);
    /// Moves every ticked copy of the clusters as they are now to the Trash, one after the
    /// other, each with its recorded inode through the safety check; a group whose copy that
    /// stays has changed moves nothing (TrashMoves::moveDuplicateCopies). Then the removal's
    /// follow-ups (finishTrashMoves) and a new duplicate search; `done` runs when that search has
    /// published, and "Duplicate Finder skipped some copies" lists what did not move. One clean
    /// at a time: while one runs (isCleaningDuplicates), another is ignored and `done` runs at
    /// once.
    void cleanDuplicates(std::function<void()> done = {});
    /// Reloads the audit log into `auditHistory`, then reads the storage timeline and hands it,
    /// newest first, to `done`.
    void loadHistory(std::function<void(std::vector<StorageSnapshot>)> done);
    /// Empties the storage timeline (and its file); the audit log stays.
    void clearSnapshotHistory(std::function<void()> done = {});

    // Trash.
    /// Moves the node's item to the Trash after the safety check (with the node's inode as the
    /// expected identity), empties the node in place and offers undo. A refusal of a protected
    /// item raises "<name> is protected", any other refusal or failure "Couldn't move <name> to
    /// Trash".
    void trashNode(const DiskNodePtr& node, std::function<void()> done = {});
    /// Moves the last trashed item back, never over something now at its place.
    void undoLastTrash(std::function<void()> done = {});
    void refreshTrashCount();
    void emptyTrash();
    void revealInFinder(const std::filesystem::path& url);

    // Permissions.
    void checkDiskPermissions();
    void requestDiskPermissionOnce();
    void dismissPermissionNoticePermanently();
    void openSystemFullDiskAccessSettings();

    /// The debug line printed when a scan returns a tree; seconds always with a ".".
    static std::string scanFinishedLine(double seconds);
    /// The undo-expiry timer (single shot, precise); for inspection.
    const QTimer& undoExpiryTimer() const { return m_undoExpiryTimer; }
    const QTimer& monitorTimer() const { return m_monitorTimer; }

signals:
    void scanStateChanged();
    void rootNodeChanged();
    void currentTreemapRootChanged();
    void treemapBreadcrumbsChanged();
    void selectedNodeForInspectionChanged();
    void treemapRectanglesChanged();
    void cleanupPlanChanged();
    void isCleaningChanged();
    void lastCleanupResultChanged();
    void developerItemsChanged();
    void isScanningDeveloperChanged();
    void installedAppsChanged();
    void isScanningAppsChanged();
    void selectedAppForInspectionChanged();
    void duplicateClustersChanged();
    void isScanningDuplicatesChanged();
    void isCleaningDuplicatesChanged();
    void largeFilesChanged();
    void selectedLargeFileThresholdChanged();
    void systemMetricsChanged();
    void userAlertChanged();
    void availableUpdateChanged();
    void lastTrashedChanged();
    void activeModalChanged();
    void searchTextChanged();
    void trashItemCountChanged();
    void isTrashEmptyingChanged();
    void currentThemeChanged();
    void hasRequestedPermissionOnceChanged();
    void showOneTimePermissionNoticeChanged();
    void hasFullDiskAccessChanged();
    void auditHistoryChanged();
    void hasScannedDeveloperStorageChanged();
    void storageVisualModeChanged();
    /// The tree changed below `node` (the changed node as the tree now holds it); sizes of its
    /// ancestors are summed again and the layout recomputed. Once per change.
    void treeChanged(const fernwick::DiskNodePtr& node);

private:
    // Lets workers hand results to the GUI thread only while the state exists: the destructor
    // clears `state` under the mutex, and Qt drops events already posted to a destroyed object.
    struct Lifeline {
        std::mutex mutex;
        AppState* state = nullptr;
        void post(std::function<void()> task);
    };
    struct ScanOutcome;

    // Runs `work` on a pool, then `then` with its result on the GUI thread (dropped when the
    // state is gone).
    void runOnPool(QThreadPool* pool, std::function<std::function<void()>()> work);
    // Queues `task` on the GUI thread.
    void queue(std::function<void()> task);
    // Finishes a change of the tree: moves held nodes to their new versions when the change
    // copied, lays out again and announces.
    void finishTreeChange(const ScanTree::Change& change, bool layOut = true);
    // computeTreemapLayout for a tree change: a million-node tree takes a fifth of a second to
    // lay out, so a worker lays it out from a view and the newest request is published.
    void layOutOnWorker();
    // The nodes of the current tree standing for `nodes` (found on a view of an older version).
    std::vector<DiskNodePtr> currentNodes(std::vector<DiskNodePtr> nodes) const;

    void finishScan(std::uint64_t generation, const std::shared_ptr<ScanOutcome>& outcome);
    void publishScanResults(const DiskNodePtr& root, std::optional<TimePoint> listedAt);
    /// `recorded` as a removal of the item at `path` must hold it: from when Undo last moved it
    /// back, if it did.
    FileIdentity heldTo(const std::filesystem::path& path, FileIdentity recorded) const;
    void recordSnapshot(std::map<std::string, std::int64_t> breakdown);
    void scanSubfolderAndDrillDown(const DiskNodePtr& node);
    void showNode(const DiskNodePtr& node);
    /// The trail that ends at `node` (see drillDownIntoNode).
    std::vector<DiskNodePtr> trailTo(const DiskNodePtr& node) const;
    // Calls `done` when it is set.
    static void call(const std::function<void()>& done);
    // An operation's own reload after its moves (the developer scan, the application list, the
    // duplicate search), which calls its argument when it has published.
    using RescanStep = std::function<void(const std::function<void()>&)>;
    // The GUI half of the one way things go to the Trash, once per operation after its moves:
    // empties the nodes of what went (one tree change), forgets a selected node or application
    // that went, recounts the Trash, brings the plan and the large files in line with a changed
    // tree, runs `rescan`, calls `done`, and raises the report's alert last.
    void finishTrashMoves(TrashMoveReport report, const RescanStep& rescan,
                          std::function<void()> done);
    void forgetRemoved(const std::vector<std::string>& gone);
    // A new plan (without empty, missing or protected candidates) and large-file list from the
    // tree on a worker, then `then` on the GUI thread.
    void rederiveFromTree(bool freshPlan, std::function<void()> then);
    // Carries the ticks of the current plan over to the same items of `plan`.
    void keepTicks(CleanupPlan& plan) const;
    // A large-files search about to start: its number (the latest wins) and the tree it reads.
    struct LargeFilesRequest {
        std::uint64_t number = 0;
        std::uint64_t generation = 0;
        std::uint64_t changes = 0;
    };
    LargeFilesRequest newLargeFilesRequest();
    // Finds the large files of the current tree at the selected threshold on a worker.
    void findLargeFiles();
    // Publishes what the search `request` found, unless a later search or a newer tree replaced
    // it; when the tree changed while it ran, searches again.
    void acceptLargeFiles(const LargeFilesRequest& request, std::vector<DiskNodePtr> found);
    // Applies `change` (none: only reads) on a worker, then hands the list to `done`.
    void changeProtectedPaths(std::function<std::optional<SystemError>(SafetyEngine&)> change,
                              ProtectedPathsDone done);
    // Raises "Couldn't save settings" naming `setting` (as the screens title it) and `failure`.
    void reportUnsavedSetting(const char* setting, const SystemError& failure);
    void setHasScannedDeveloperStorage(bool value);
    void setIsCleaningDuplicates(bool value);
    void monitorTick();
    void expireUndo();

    AppServices m_services;
    std::unique_ptr<QThreadPool> m_ownLongWork;
    std::unique_ptr<QThreadPool> m_ownQuickWork;
    QThreadPool* m_longWork = nullptr;
    QThreadPool* m_quickWork = nullptr;
    std::shared_ptr<Lifeline> m_lifeline;

    ScanState m_scanState;
    ScanTree m_tree;
    DiskNodePtr m_currentTreemapRoot;
    std::vector<DiskNodePtr> m_treemapBreadcrumbs;
    DiskNodePtr m_selectedNodeForInspection;
    std::vector<TreemapRect> m_treemapRectangles;
    CleanupPlan m_cleanupPlan;
    bool m_isCleaning = false;
    std::optional<CleanupExecutionResult> m_lastCleanupResult;
    std::vector<DeveloperStorageItem> m_developerItems;
    bool m_isScanningDeveloper = false;
    std::vector<InstalledApp> m_installedApps;
    bool m_isScanningApps = false;
    std::optional<InstalledApp> m_selectedAppForInspection;
    std::vector<DuplicateCluster> m_duplicateClusters;
    bool m_isScanningDuplicates = false;
    bool m_isCleaningDuplicates = false;
    std::vector<DiskNodePtr> m_largeFiles;
    LargeFileThreshold m_selectedLargeFileThreshold = allLargeFileThresholds().front();
    SystemMetrics m_systemMetrics;
    bool m_hasMetricsSample = false;
    std::optional<UserAlert> m_userAlert;
    std::optional<AppUpdateInfo> m_availableUpdate;
    std::optional<TrashUndo> m_lastTrashed;
    // The items Undo moved back, each with a listing start taken after it stood there again:
    // moving changed their change times, and that is no change of theirs.
    std::unordered_map<std::string, TimePoint> m_restoredAt;
    QTimer m_undoExpiryTimer;
    std::optional<ActiveModal> m_activeModal;
    std::string m_searchText;
    std::int64_t m_trashItemCount = 0;
    bool m_isTrashEmptying = false;
    TreemapTheme m_currentTheme = TreemapTheme::kelvane;
    bool m_hasRequestedPermissionOnce = false;
    bool m_showOneTimePermissionNotice = false;
    bool m_hasFullDiskAccess = false;
    std::vector<CleanupAuditEntry> m_auditHistory;
    QTimer m_monitorTimer;
    bool m_hasScannedDeveloperStorage = false;
    StorageVisualMode m_storageVisualMode = StorageVisualMode::folders;

    // The running (or last) scan: its generation and its scanner.
    std::uint64_t m_scanGeneration = 0;
    // The newest layOutOnWorker request; older results are dropped.
    std::uint64_t m_layoutRequest = 0;
    // The latest search; workers read it to stop a superseded walk.
    std::shared_ptr<std::atomic<std::uint64_t>> m_searchGeneration =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::shared_ptr<DiskScanning> m_scanner;
    // The latest large-files search, and how many times the tree has changed.
    std::uint64_t m_largeFilesRequest = 0;
    std::uint64_t m_treeChanges = 0;
};

} // namespace fernwick::ui
