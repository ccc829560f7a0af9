#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <QThreadPool>

#include <algorithm>
#include <system_error>

namespace fernwick::ui {

namespace {

// Whether an entry stands at `url` (a symbolic link counts as itself, not as its target).
bool entryExists(const std::filesystem::path& url) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(url, error));
}

void call(const std::function<void()>& done) {
    if (done) {
        done();
    }
}

} // namespace

std::int64_t AppState::cleanupOpportunityBytes() const {
    std::int64_t total = 0;
    for (const auto& candidate : m_cleanupPlan.candidates) {
        total = saturatingAdd(total, candidate.size);
    }
    return total;
}

void AppState::openTool(ActiveModal tool) {
    setActiveModal(tool);
    if (const auto load = activeModalEntry(tool).loadOnOpen) {
        queue([this, load] { (this->*load)(); });
    }
}

void AppState::loadInstalledAppsOnOpen() {
    if (m_installedApps.empty() && !m_isScanningApps) {
        scanInstalledApps();
    }
}

void AppState::loadDeveloperStorageOnOpen() {
    if (!m_hasScannedDeveloperStorage && !m_isScanningDeveloper) {
        scanDeveloperStorage();
    }
}

void AppState::loadAuditHistory() {
    auto history = m_services.getAuditHistory;
    runOnPool(m_quickWork, [this, history]() -> std::function<void()> {
        auto entries = history ? history() : std::vector<CleanupAuditEntry>{};
        return
            [this, entries = std::move(entries)]() mutable { setAuditHistory(std::move(entries)); };
    });
}

void AppState::scanDeveloperStorage(std::function<void()> done) {
    setIsScanningDeveloper(true);
    auto scan = m_services.scanDeveloperStorage;
    runOnPool(m_longWork, [this, scan, done]() -> std::function<void()> {
        auto items = scan ? scan() : std::vector<DeveloperStorageItem>{};
        std::stable_sort(items.begin(), items.end(),
                         [](const auto& a, const auto& b) { return a.size > b.size; });
        return [this, items = std::move(items), done]() mutable {
            setDeveloperItems(std::move(items));
            setIsScanningDeveloper(false);
            setHasScannedDeveloperStorage(true);
            call(done);
        };
    });
}

void AppState::scanInstalledApps(std::function<void()> done) {
    setIsScanningApps(true);
    auto scan = m_services.scanInstalledApplications;
    runOnPool(m_longWork, [this, scan, done]() -> std::function<void()> {
        auto apps = scan ? scan() : std::vector<InstalledApp>{};
        return [this, apps = std::move(apps), done]() mutable {
            setInstalledApps(apps);
            if (!m_selectedAppForInspection && !apps.empty()) {
                setSelectedAppForInspection(apps.front());
            }
            setIsScanningApps(false);
            call(done);
        };
    });
}

void AppState::runCleanup(bool isDryRun, std::function<void()> done) {
    if (m_isCleaning) {
        call(done);
        return;
    }
    setIsCleaning(true);
    // The tree is brought in line with the plan that runs, not with whatever the live plan
    // becomes while it runs.
    CleanupPlan executed = m_cleanupPlan;
    auto execute = m_services.executeCleanup;
    auto history = m_services.getAuditHistory;
    runOnPool(m_longWork,
              [this, executed, isDryRun, execute, history, done]() -> std::function<void()> {
                  CleanupExecutionResult result =
                      execute ? execute(executed, isDryRun) : CleanupExecutionResult{};
                  auto entries = history ? history() : std::vector<CleanupAuditEntry>{};
                  std::vector<std::filesystem::path> removed;
                  if (!isDryRun) {
                      for (const auto& candidate : executed.candidates) {
                          if (candidate.isSelected && !entryExists(candidate.url)) {
                              removed.push_back(paths::standardize(candidate.url));
                          }
                      }
                  }
                  return [this, result = std::move(result), entries = std::move(entries),
                          removed = std::move(removed), isDryRun, done]() mutable {
                      setLastCleanupResult(std::move(result));
                      setAuditHistory(std::move(entries));
                      if (isDryRun || !m_tree.root()) {
                          setIsCleaning(false);
                          call(done);
                          return;
                      }
                      finishCleanup(std::move(removed), done);
                  };
              });
}

void AppState::finishCleanup(std::vector<std::filesystem::path> removed,
                             const std::function<void()>& done) {
    if (!m_tree.root()) {
        setIsCleaning(false);
        call(done);
        return;
    }
    if (!removed.empty()) {
        std::vector<std::string> gone;
        gone.reserve(removed.size());
        for (const auto& path : removed) {
            gone.push_back(path.native());
        }
        // The root counts too: a run may have moved the scanned folder itself.
        const ScanTree::Change change = m_tree.emptyAll(gone);
        finishTreeChange(change);
        if (!change.node) {
            computeTreemapLayout(kLayoutBounds);
        }
    }

    auto generatePlan = m_services.generateSmartCleanupPlan;
    auto findLarge = m_services.findLargeFiles;
    const std::int64_t threshold = bytes(m_selectedLargeFileThreshold);
    const LargeFilesRequest request = newLargeFilesRequest();
    runOnPool(m_longWork,
              [this, view = m_tree.view(), request, generatePlan, findLarge, threshold,
               done]() mutable -> std::function<void()> {
                  const DiskNodePtr& tree = view.root();
                  CleanupPlan plan = generatePlan ? generatePlan(tree) : CleanupPlan{};
                  std::erase_if(plan.candidates, [](const CleanupCandidate& candidate) {
                      return candidate.size == 0 || !entryExists(candidate.url);
                  });
                  auto large = findLarge ? findLarge(tree, threshold) : std::vector<DiskNodePtr>{};
                  view = {};
                  return [this, request, plan = std::move(plan), large = std::move(large),
                          done]() mutable {
                      if (m_tree.generation() == request.generation) {
                          setCleanupPlan(std::move(plan));
                          acceptLargeFiles(request, std::move(large));
                      }
                      refreshTrashCount();
                      setIsCleaning(false);
                      call(done);
                  };
              });
}

void AppState::scanDuplicates(std::function<void()> done) {
    if (!m_tree.root()) {
        call(done);
        return;
    }
    setIsScanningDuplicates(true);
    auto find = m_services.findDuplicates;
    runOnPool(m_longWork,
              [this, view = m_tree.view(), find, done]() mutable -> std::function<void()> {
                  auto clusters = find ? find(view.root(), kDuplicateMinFileSize,
                                              DuplicateResolutionRule::unselectAll)
                                       : std::vector<DuplicateCluster>{};
                  view = {};
                  return [this, clusters = std::move(clusters), done]() mutable {
                      setDuplicateClusters(std::move(clusters));
                      setIsScanningDuplicates(false);
                      call(done);
                  };
              });
}

} // namespace fernwick::ui
