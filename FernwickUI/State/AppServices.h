#pragma once

#include "FernwickCore/Engines/CleanupEngine.h"
#include "FernwickCore/Engines/DeveloperStorageEngine.h"
#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Engines/HistoryStore.h"
#include "FernwickCore/Engines/SystemMonitor.h"
#include "FernwickCore/Engines/UpdateChecker.h"
#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/InstalledApp.h"
#include "FernwickCore/Model/ProtectedPathRegistry.h"
#include "FernwickCore/Model/ScanProgress.h"
#include "FernwickCore/Scanning/LargeFileFinder.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QThreadPool;
class QUrl;

namespace fernwick {
class PreferencesStore;
class SafetyEngine;
class Trash;
} // namespace fernwick

namespace fernwick::ui {

/// One disk scan as AppState drives it: the disk scanner, or a test's stand-in.
class DiskScanning {
public:
    virtual ~DiskScanning() = default;
    /// Blocks until the tree is built; throws ScanCancelled (or another exception on failure).
    /// Called on a worker thread; `onProgress` may be called from any thread and may be empty.
    virtual DiskNodePtr scan(const std::filesystem::path& rootURL, int maxDepth,
                             std::function<void(const ScanProgress&)> onProgress) = 0;
    /// Flags the running scan as cancelled. Any thread.
    virtual void cancel() = 0;
};

/// The disk scanner behind DiskScanning; `snapshotProvider` gives the protected locations
/// (empty: the built-in system list only).
std::shared_ptr<DiskScanning>
makeDiskScanner(std::function<ProtectedPrefixesSnapshot()> snapshotProvider = {});

/// Everything AppState calls outside itself. `AppServices::real()` wires the real engines and
/// the user's folders; tests build their own with fakes. Every function member is called on a
/// worker thread unless its comment says otherwise, and must be safe there.
struct AppServices {
    /// A new scanner: one for the scans of `startScan`, one per drill-down rescan.
    std::function<std::shared_ptr<DiskScanning>()> makeScanner;
    std::function<CleanupPlan(const DiskNodePtr& root)> generateSmartCleanupPlan;
    /// Runs the plan; a real run moves each candidate through `mover`.
    std::function<CleanupExecutionResult(const CleanupPlan& plan, bool isDryRun,
                                         const CheckedTrashMover& mover)>
        executeCleanup;
    /// The audit log, newest first.
    std::function<std::vector<CleanupAuditEntry>()> getAuditHistory;
    std::function<void(std::int64_t used, std::int64_t free,
                       std::map<std::string, std::int64_t> breakdown)>
        recordSnapshot;
    /// The storage timeline, newest first, and emptying it (file included).
    std::function<std::vector<StorageSnapshot>()> getSnapshots;
    std::function<void()> clearSnapshots;
    std::function<std::vector<DuplicateCluster>(const DiskNodePtr& root, std::int64_t minFileSize,
                                                DuplicateResolutionRule rule)>
        findDuplicates;
    /// The files of at least `threshold` bytes at `root` or below, largest first.
    std::function<std::vector<DiskNodePtr>(const DiskNodePtr& root, std::int64_t threshold)>
        findLargeFiles = [](const DiskNodePtr& root, std::int64_t threshold) {
            return LargeFileFinder::shared().findLargeFiles(root, threshold, std::nullopt);
        };
    std::function<std::vector<DeveloperStorageItem>()> scanDeveloperStorage;
    std::function<std::vector<InstalledApp>()> scanInstalledApplications;
    /// Moves the application's bundle (and, with `removeRelated`, its selected leftovers) to the
    /// Trash, each through `mover`; throws DomainError when the application runs, is refused or
    /// cannot be moved.
    std::function<void(const InstalledApp& app, bool removeRelated, const CheckedTrashMover& mover)>
        uninstallApp;
    std::function<SystemMetrics()> sampleMetrics;
    /// One update check: a newer version, up to date, or failed with its reason.
    std::function<UpdateCheckResult(const std::string& manifestURL)> checkForUpdate;
    /// The running program's version. Any thread.
    std::string currentVersion;
    /// The deletion safety check and the Trash that moves go to (counted and emptied too).
    std::shared_ptr<SafetyEngine> safety;
    std::shared_ptr<Trash> trash;
    /// Where the theme and the permission flag are stored. Written on the GUI thread.
    std::shared_ptr<PreferencesStore> preferences;
    /// Shows an item in the file manager. GUI thread.
    std::function<void(const std::filesystem::path&)> revealInFileManager;
    /// Asks the desktop to open an address; the answer is ignored. The real one opens only
    /// https and file addresses. GUI thread.
    std::function<bool(const QUrl&)> openURL;
    /// Whether the program may read the whole disk. GUI thread.
    std::function<bool()> hasFullDiskAccess;
    /// The folder scanned when no target is given.
    std::filesystem::path home;
    /// The update manifest: "version.json" under the configured update base address.
    std::string updateManifestURL;
    /// Long work (scans, plans, duplicate search, tool loads, emptying the Trash, the update
    /// check) and quick work (monitor samples, moves to and from the Trash, counts). Not owned;
    /// null means AppState makes its own pool.
    QThreadPool* longWork = nullptr;
    QThreadPool* quickWork = nullptr;
    /// How long a move to the Trash stays undoable.
    std::chrono::milliseconds undoWindow{12000};

    /// The real engines, the real user's folders and preferences, the desktop's services.
    static AppServices real();
    /// Whether the real `openURL` hands `address` to the desktop: https and file addresses
    /// only. There are no settings pages here, and an unknown scheme would reach whatever
    /// handler the desktop picks.
    static bool desktopMayOpen(const QUrl& address);
};

} // namespace fernwick::ui
