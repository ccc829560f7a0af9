#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <QThreadPool>

#include <algorithm>
#include <system_error>

namespace fernwick::ui {

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
    runOnPool(m_longWork, [this, scan, done = std::move(done)]() -> std::function<void()> {
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
    runOnPool(m_longWork, [this, scan, done = std::move(done)]() -> std::function<void()> {
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

void AppState::scanDuplicates(std::function<void()> done) {
    if (!m_tree.root()) {
        call(done);
        return;
    }
    setIsScanningDuplicates(true);
    auto find = m_services.findDuplicates;
    runOnPool(m_longWork,
              [this, view = m_tree.view(), find,
               done = std::move(done)]() mutable -> std::function<void()> {
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
