#pragma once

// Builds an AppState over a temporary home with fake engines that tests steer with gates.

#include "FernwickCore/Engines/HistoryStore.h"
#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickCore/Scanning/AsyncDiskScanner.h"
#include "FernwickUI/State/AppState.h"
#include "tests/Support/TempTree.h"
#include "tests/Support/TreeBuilder.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fernwick::test {

/// A one-way door between threads: `wait` blocks until `open` is called.
class Gate {
public:
    void open() {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool isOpen() {
        const std::lock_guard lock(m_mutex);
        return m_open;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

using ScanBody = std::function<DiskNodePtr(const std::filesystem::path&, int,
                                           const std::function<void(const ScanProgress&)>&,
                                           const std::atomic<bool>& cancelled)>;

/// A scanner whose scan is whatever the test says; `cancel` only raises a flag.
class FakeScanner final : public ui::DiskScanning {
public:
    explicit FakeScanner(ScanBody body) : m_body(std::move(body)) {}
    DiskNodePtr scan(const std::filesystem::path& rootURL, int maxDepth,
                     std::function<void(const ScanProgress&)> onProgress) override {
        return m_body(rootURL, maxDepth, onProgress, m_cancelled);
    }
    void cancel() override { m_cancelled = true; }
    bool wasCancelled() const { return m_cancelled; }

private:
    ScanBody m_body;
    std::atomic<bool> m_cancelled{false};
};

/// A cluster of copies of `size` bytes at `urls`: the first is the original, those named in
/// `ticked` (by position) are selected for cleanup.
inline DuplicateCluster duplicateCluster(const std::vector<std::filesystem::path>& urls,
                                         std::int64_t size, const std::vector<int>& ticked = {}) {
    DuplicateCluster cluster;
    cluster.id = Uuid::random();
    cluster.fileSize = size;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        DuplicateFileItem item;
        item.id = Uuid::random();
        item.url = urls[i];
        item.size = size;
        item.isOriginal = i == 0;
        item.isSelectedForCleanup =
            std::find(ticked.begin(), ticked.end(), static_cast<int>(i)) != ticked.end();
        cluster.items.push_back(std::move(item));
    }
    return cluster;
}

inline std::vector<std::filesystem::path> noMountPoints() {
    return {};
}

/// The services of one test: a temporary home with its own preferences, safety engine and
/// Trash; fake engines that answer at once unless a test replaces them.
struct Harness {
    TempTree tree;
    ScopedHome scopedHome{tree.root()};
    Environment env = Environment::forHome(tree.root());
    std::shared_ptr<PreferencesStore> preferences =
        std::make_shared<PreferencesStore>(env.preferencesFile());
    // No mount points: emptying never reaches a real volume's trash.
    std::shared_ptr<Trash> trash = std::make_shared<Trash>(env, Trash::Seams{{}, noMountPoints});
    std::shared_ptr<SafetyEngine> safety = std::make_shared<SafetyEngine>(env, preferences);
    // The storage timeline behind getSnapshots/clearSnapshots: a real store in the temporary
    // data folder on a clock the test moves.
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<HistoryStore> history = std::make_shared<HistoryStore>(env, clock);

    std::mutex mutex;
    std::vector<std::shared_ptr<FakeScanner>> scanners; // every scanner made, in order
    ScanBody scanBody;                                  // used by scanners made from now on
    std::vector<std::map<std::string, std::int64_t>> snapshots;
    std::vector<std::pair<std::int64_t, std::int64_t>> snapshotDisk;
    /// The audit and timeline loads, in call order ("audit", "snapshots").
    std::vector<std::string> loads;
    std::vector<QUrl> openedURLs;
    std::vector<std::filesystem::path> revealed;
    bool fullDiskAccess = true;
    ui::AppServices services;
    // Injected pools, so a test can wait for every worker to finish.
    QThreadPool longPool;
    QThreadPool quickPool;

    Harness() {
        longPool.setMaxThreadCount(4);
        quickPool.setMaxThreadCount(2);
        services.longWork = &longPool;
        services.quickWork = &quickPool;
        services.makeScanner = [this]() -> std::shared_ptr<ui::DiskScanning> {
            const std::lock_guard lock(mutex);
            auto scanner = std::make_shared<FakeScanner>(scanBody);
            scanners.push_back(scanner);
            return scanner;
        };
        services.generateSmartCleanupPlan = [](const DiskNodePtr&) { return CleanupPlan{}; };
        services.executeCleanup = [](const CleanupPlan&, bool, const CheckedTrashMover&) {
            return CleanupExecutionResult{};
        };
        services.getAuditHistory = [this] {
            logLoad("audit");
            return std::vector<CleanupAuditEntry>{};
        };
        services.getSnapshots = [this] {
            logLoad("snapshots");
            return history->getSnapshots();
        };
        services.clearSnapshots = [this] { history->clearSnapshots(); };
        services.recordSnapshot = [this](std::int64_t used, std::int64_t free,
                                         std::map<std::string, std::int64_t> breakdown) {
            const std::lock_guard lock(mutex);
            snapshots.push_back(std::move(breakdown));
            snapshotDisk.emplace_back(used, free);
        };
        services.findDuplicates = [](const DiskNodePtr&, std::int64_t, DuplicateResolutionRule) {
            return std::vector<DuplicateCluster>{};
        };
        services.scanDeveloperStorage = [] { return std::vector<DeveloperStorageItem>{}; };
        services.scanInstalledApplications = [] { return std::vector<InstalledApp>{}; };
        services.sampleMetrics = [] {
            SystemMetrics metrics;
            metrics.diskUsedBytes = 700;
            metrics.diskFreeBytes = 300;
            return metrics;
        };
        services.checkForUpdate = [](const std::string&) {
            return UpdateCheckResult{UpdateCheckResult::Kind::upToDate, std::nullopt, {}};
        };
        services.currentVersion = "1.0.0";
        services.safety = safety;
        services.trash = trash;
        services.preferences = preferences;
        services.revealInFileManager = [this](const std::filesystem::path& path) {
            revealed.push_back(path);
        };
        services.openURL = [this](const QUrl& url) {
            openedURLs.push_back(url);
            return false;
        };
        services.hasFullDiskAccess = [this] { return fullDiskAccess; };
        services.home = tree.root();
        services.updateManifestURL = "https://example.invalid/ridar/version.json";
    }

    std::unique_ptr<ui::AppState> make() { return std::make_unique<ui::AppState>(services); }

    /// Publishes `root` through a scan that returns it at once.
    void publish(ui::AppState& state, const DiskNodePtr& root) {
        scanBody = [root](auto&&...) { return root; };
        state.startScan();
        settle();
        QCOMPARE(state.rootNode(), root);
    }

    /// Lets every worker finish and delivers what they handed back, until nothing is left.
    void settle() {
        for (int round = 0; round < 6; ++round) {
            longPool.waitForDone();
            quickPool.waitForDone();
            QCoreApplication::processEvents();
        }
    }

    void logLoad(std::string name) {
        const std::lock_guard lock(mutex);
        loads.push_back(std::move(name));
    }
    std::vector<std::string> loadLog() {
        const std::lock_guard lock(mutex);
        return loads;
    }

    std::size_t snapshotCount() {
        const std::lock_guard lock(mutex);
        return snapshots.size();
    }
    std::shared_ptr<FakeScanner> scanner(std::size_t index) {
        const std::lock_guard lock(mutex);
        return index < scanners.size() ? scanners[index] : nullptr;
    }
};

/// The lines of `text`, split at each line feed.
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out.push_back(text.substr(start, end - start));
    }
    out.push_back(text.substr(start));
    return out;
}

/// Runs `operation(done)` and processes events until `done` has been called.
inline bool runToCompletion(const std::function<void(std::function<void()>)>& operation,
                            int timeoutMs = 10000) {
    auto finished = std::make_shared<bool>(false);
    operation([finished] { *finished = true; });
    return QTest::qWaitFor([finished] { return *finished; }, timeoutMs);
}

/// Records the order in which the state's members announce changes.
class Announcements : public QObject {
public:
    explicit Announcements(ui::AppState& state) {
        const auto watch = [&](auto signal, const char* name) {
            connect(&state, signal, this, [this, name] { names.emplace_back(name); });
        };
        watch(&ui::AppState::scanStateChanged, "scanState");
        watch(&ui::AppState::rootNodeChanged, "rootNode");
        watch(&ui::AppState::currentTreemapRootChanged, "currentTreemapRoot");
        watch(&ui::AppState::treemapBreadcrumbsChanged, "treemapBreadcrumbs");
        watch(&ui::AppState::selectedNodeForInspectionChanged, "selectedNodeForInspection");
        watch(&ui::AppState::cleanupPlanChanged, "cleanupPlan");
        watch(&ui::AppState::largeFilesChanged, "largeFiles");
        watch(&ui::AppState::treemapRectanglesChanged, "treemapRectangles");
    }
    std::vector<std::string> names;
};

} // namespace fernwick::test
