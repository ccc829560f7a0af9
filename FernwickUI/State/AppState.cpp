#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Scanning/TreemapLayoutEngine.h"

#include <QMetaObject>
#include <QThreadPool>
#include <QUrl>

#include <charconv>
#include <mutex>
#include <thread>

namespace fernwick::ui {

namespace {

template <typename T, typename Signal>
void assign(AppState* state, T& member, T value, Signal signal) {
    member = std::move(value);
    emit(state->*signal)();
}

std::unique_ptr<QThreadPool> makePool(int threads) {
    auto pool = std::make_unique<QThreadPool>();
    pool->setMaxThreadCount(threads);
    return pool;
}

// What the window says when the settings file could not be read at start: where it went, and
// that the protected list (whose entries were in it) is empty until the user adds them again.
UserAlert unreadableSettingsAlert(const PreferencesStore& store) {
    const PreferencesStore::UnreadableFile& unreadable = *store.unreadableAtStart();
    std::vector<std::string> lines = {store.file().string() + ": " + unreadable.reason};
    if (unreadable.keptAs.empty()) {
        lines.push_back("It was left in place and could not be kept aside (" +
                        unreadable.setAsideFailure + "); settings are not saved until it is moved");
    } else {
        lines.push_back("The unreadable copy was kept as " + unreadable.keptAs.string());
    }
    lines.push_back(std::string("The ") + AppState::kProtectedListSetting +
                    " is empty until you add its entries again");
    return UserAlert::listing("Couldn't read settings", lines);
}

} // namespace

AppState::AppState(AppServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_lifeline(std::make_shared<Lifeline>()) {
    m_lifeline->state = this;
    if (m_services.longWork == nullptr) {
        const int cores = static_cast<int>(std::max(2U, std::thread::hardware_concurrency()));
        m_ownLongWork = makePool(std::max(2, cores / 2));
    }
    if (m_services.quickWork == nullptr) {
        m_ownQuickWork = makePool(2);
    }
    m_longWork = m_services.longWork != nullptr ? m_services.longWork : m_ownLongWork.get();
    m_quickWork = m_services.quickWork != nullptr ? m_services.quickWork : m_ownQuickWork.get();

    m_undoExpiryTimer.setSingleShot(true);
    m_undoExpiryTimer.setTimerType(Qt::PreciseTimer);
    m_undoExpiryTimer.setInterval(static_cast<int>(m_services.undoWindow.count()));
    connect(&m_undoExpiryTimer, &QTimer::timeout, this, &AppState::expireUndo);

    // The restored theme and flag go straight into storage: start-up writes nothing back.
    if (m_services.preferences) {
        if (m_services.preferences->unreadableAtStart()) {
            m_userAlert = unreadableSettingsAlert(*m_services.preferences);
        }
        if (const auto stored = m_services.preferences->string(kThemeKey)) {
            if (*stored == kLegacyFirstThemeName) {
                m_currentTheme = TreemapTheme::kelvane;
            } else if (const auto theme = treemapThemeFromName(*stored)) {
                m_currentTheme = *theme;
            }
        }
        m_hasRequestedPermissionOnce =
            m_services.preferences->boolean(kPermissionRequestedKey).value_or(false);
    }
    const auto probe = [this] {
        return m_services.hasFullDiskAccess ? m_services.hasFullDiskAccess() : true;
    };
    m_hasFullDiskAccess = probe();
    if (!m_hasRequestedPermissionOnce && !probe()) {
        m_showOneTimePermissionNotice = true;
    }

    m_monitorTimer.setTimerType(Qt::PreciseTimer);
    m_monitorTimer.setInterval(kMonitorIntervalMs);
    connect(&m_monitorTimer, &QTimer::timeout, this, &AppState::monitorTick);
    m_monitorTimer.start();

    refreshTrashCount();
    queue([this] {
        const std::string manifest = m_services.updateManifestURL;
        auto check = m_services.checkForUpdate;
        runOnPool(m_longWork, [this, check, manifest]() -> std::function<void()> {
            std::optional<AppUpdateInfo> update;
            if (check) {
                update = check(manifest).update;
            }
            return [this, update] { setAvailableUpdate(update); };
        });
    });
}

AppState::~AppState() {
    {
        const std::lock_guard lock(m_lifeline->mutex);
        m_lifeline->state = nullptr;
    }
    if (m_scanner) {
        m_scanner->cancel();
    }
}

AppState& AppState::shared() {
    static AppState* const instance = new AppState(AppServices::real());
    return *instance;
}

void AppState::Lifeline::post(std::function<void()> task) {
    const std::lock_guard lock(mutex);
    if (state != nullptr) {
        QMetaObject::invokeMethod(state, std::move(task), Qt::QueuedConnection);
    }
}

void AppState::runOnPool(QThreadPool* pool, std::function<std::function<void()>()> work) {
    pool->start([lifeline = m_lifeline, work = std::move(work)] {
        std::function<void()> then = work();
        if (then) {
            lifeline->post(std::move(then));
        }
    });
}

void AppState::queue(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

std::vector<DiskNodePtr> AppState::currentNodes(std::vector<DiskNodePtr> nodes) const {
    for (auto& node : nodes) {
        node = m_tree.current(node);
    }
    return nodes;
}

void AppState::finishTreeChange(const ScanTree::Change& change, bool layOut) {
    if (change.copied) {
        const auto now = [this](DiskNodePtr& node) {
            if (node) {
                node = m_tree.current(node);
            }
        };
        now(m_currentTreemapRoot);
        now(m_selectedNodeForInspection);
        for (auto& node : m_treemapBreadcrumbs) {
            now(node);
        }
        for (auto& node : m_largeFiles) {
            now(node);
        }
        if (m_lastTrashed) {
            now(m_lastTrashed->node);
        }
    }
    if (layOut && m_tree.root()) {
        layOutOnWorker();
    }
    if (change.node || change.copied) {
        ++m_treeChanges;
    }
    if (change.node) {
        emit treeChanged(change.node);
    }
}

void AppState::layOutOnWorker() {
    const std::uint64_t request = ++m_layoutRequest;
    const DiskNodePtr shown = m_currentTreemapRoot ? m_currentTreemapRoot : m_tree.root();
    runOnPool(m_quickWork,
              [this, view = m_tree.view(), shown, request]() mutable -> std::function<void()> {
                  auto tiles = TreemapLayoutEngine::shared().layout(shown, kLayoutBounds, 2, 6);
                  view = {}; // read: changes may work in place again
                  return [this, request, tiles = std::move(tiles)]() mutable {
                      if (m_layoutRequest == request) {
                          // The old tiles go back to a worker: freeing a million of them is
                          // as slow as laying them out.
                          std::swap(tiles, m_treemapRectangles);
                          emit treemapRectanglesChanged();
                      }
                      m_quickWork->start([old = std::move(tiles)] {});
                  };
              });
}

// Published members.

void AppState::setScanState(ScanState value) {
    assign(this, m_scanState, std::move(value), &AppState::scanStateChanged);
}
void AppState::setRootNode(DiskNodePtr value, std::optional<TimePoint> listedAt) {
    m_tree.reset(std::move(value), listedAt);
    m_restoredAt.clear();
    emit rootNodeChanged();
}
void AppState::setCurrentTreemapRoot(DiskNodePtr value) {
    assign(this, m_currentTreemapRoot, std::move(value), &AppState::currentTreemapRootChanged);
}
void AppState::setTreemapBreadcrumbs(std::vector<DiskNodePtr> value) {
    assign(this, m_treemapBreadcrumbs, std::move(value), &AppState::treemapBreadcrumbsChanged);
}
void AppState::setSelectedNodeForInspection(DiskNodePtr value) {
    assign(this, m_selectedNodeForInspection, std::move(value),
           &AppState::selectedNodeForInspectionChanged);
}
void AppState::setTreemapRectangles(std::vector<TreemapRect> value) {
    assign(this, m_treemapRectangles, std::move(value), &AppState::treemapRectanglesChanged);
}
void AppState::setCleanupPlan(CleanupPlan value) {
    assign(this, m_cleanupPlan, std::move(value), &AppState::cleanupPlanChanged);
}
void AppState::updateCleanupPlan(const std::function<void(CleanupPlan&)>& edit) {
    edit(m_cleanupPlan);
    emit cleanupPlanChanged();
}
void AppState::setIsCleaning(bool value) {
    assign(this, m_isCleaning, value, &AppState::isCleaningChanged);
}
void AppState::setLastCleanupResult(std::optional<CleanupExecutionResult> value) {
    assign(this, m_lastCleanupResult, std::move(value), &AppState::lastCleanupResultChanged);
}
void AppState::setDeveloperItems(std::vector<DeveloperStorageItem> value) {
    assign(this, m_developerItems, std::move(value), &AppState::developerItemsChanged);
}
void AppState::updateDeveloperItems(
    const std::function<void(std::vector<DeveloperStorageItem>&)>& edit) {
    edit(m_developerItems);
    emit developerItemsChanged();
}
void AppState::setIsScanningDeveloper(bool value) {
    assign(this, m_isScanningDeveloper, value, &AppState::isScanningDeveloperChanged);
}
void AppState::setInstalledApps(std::vector<InstalledApp> value) {
    assign(this, m_installedApps, std::move(value), &AppState::installedAppsChanged);
}
void AppState::updateInstalledApps(const std::function<void(std::vector<InstalledApp>&)>& edit) {
    edit(m_installedApps);
    emit installedAppsChanged();
}
void AppState::setIsScanningApps(bool value) {
    assign(this, m_isScanningApps, value, &AppState::isScanningAppsChanged);
}
void AppState::setSelectedAppForInspection(std::optional<InstalledApp> value) {
    assign(this, m_selectedAppForInspection, std::move(value),
           &AppState::selectedAppForInspectionChanged);
}
void AppState::setDuplicateClusters(std::vector<DuplicateCluster> value) {
    assign(this, m_duplicateClusters, std::move(value), &AppState::duplicateClustersChanged);
}
void AppState::updateDuplicateClusters(
    const std::function<void(std::vector<DuplicateCluster>&)>& edit) {
    edit(m_duplicateClusters);
    emit duplicateClustersChanged();
}
void AppState::setIsScanningDuplicates(bool value) {
    assign(this, m_isScanningDuplicates, value, &AppState::isScanningDuplicatesChanged);
}
void AppState::setIsCleaningDuplicates(bool value) {
    assign(this, m_isCleaningDuplicates, value, &AppState::isCleaningDuplicatesChanged);
}
void AppState::setLargeFiles(std::vector<DiskNodePtr> value) {
    assign(this, m_largeFiles, std::move(value), &AppState::largeFilesChanged);
}
void AppState::setSelectedLargeFileThreshold(LargeFileThreshold value) {
    assign(this, m_selectedLargeFileThreshold, value, &AppState::selectedLargeFileThresholdChanged);
}
void AppState::setSystemMetrics(SystemMetrics value) {
    m_hasMetricsSample = true;
    assign(this, m_systemMetrics, value, &AppState::systemMetricsChanged);
}
void AppState::setUserAlert(std::optional<UserAlert> value) {
    assign(this, m_userAlert, std::move(value), &AppState::userAlertChanged);
}
void AppState::setAvailableUpdate(std::optional<AppUpdateInfo> value) {
    assign(this, m_availableUpdate, std::move(value), &AppState::availableUpdateChanged);
}
void AppState::setLastTrashed(std::optional<TrashUndo> value) {
    assign(this, m_lastTrashed, std::move(value), &AppState::lastTrashedChanged);
}
void AppState::setActiveModal(std::optional<ActiveModal> value) {
    assign(this, m_activeModal, value, &AppState::activeModalChanged);
}
void AppState::setSearchText(std::string value) {
    assign(this, m_searchText, std::move(value), &AppState::searchTextChanged);
}
void AppState::setTrashItemCount(std::int64_t value) {
    assign(this, m_trashItemCount, value, &AppState::trashItemCountChanged);
}
void AppState::setIsTrashEmptying(bool value) {
    assign(this, m_isTrashEmptying, value, &AppState::isTrashEmptyingChanged);
}
void AppState::setCurrentTheme(TreemapTheme value) {
    assign(this, m_currentTheme, value, &AppState::currentThemeChanged);
    if (m_services.preferences) {
        const Status saved =
            m_services.preferences->setString(kThemeKey, std::string(displayName(m_currentTheme)));
        if (!saved) {
            reportUnsavedSetting(kThemeSetting, saved.error());
        }
    }
}
void AppState::setHasRequestedPermissionOnce(bool value) {
    assign(this, m_hasRequestedPermissionOnce, value, &AppState::hasRequestedPermissionOnceChanged);
    if (m_services.preferences) {
        const Status saved = m_services.preferences->setBoolean(kPermissionRequestedKey,
                                                                m_hasRequestedPermissionOnce);
        if (!saved) {
            reportUnsavedSetting(kPermissionNoticeSetting, saved.error());
        }
    }
}
void AppState::reportUnsavedSetting(const char* setting, const SystemError& failure) {
    // A failed write leaves the change in force for this session (the store and the safety
    // engine keep it in memory); a refused change (detail set) changed nothing.
    std::string line = std::string(setting) + ": " + failure.message();
    if (failure.detail.empty()) {
        line += "; the change holds until you quit";
    }
    setUserAlert(UserAlert::listing("Couldn't save settings", {line}));
}
void AppState::setShowOneTimePermissionNotice(bool value) {
    assign(this, m_showOneTimePermissionNotice, value,
           &AppState::showOneTimePermissionNoticeChanged);
}
void AppState::setHasFullDiskAccess(bool value) {
    assign(this, m_hasFullDiskAccess, value, &AppState::hasFullDiskAccessChanged);
}
void AppState::setAuditHistory(std::vector<CleanupAuditEntry> value) {
    assign(this, m_auditHistory, std::move(value), &AppState::auditHistoryChanged);
}
void AppState::setHasScannedDeveloperStorage(bool value) {
    assign(this, m_hasScannedDeveloperStorage, value, &AppState::hasScannedDeveloperStorageChanged);
}
void AppState::setStorageVisualMode(StorageVisualMode value) {
    assign(this, m_storageVisualMode, value, &AppState::storageVisualModeChanged);
}

// Start-up, monitor and permissions.

void AppState::monitorTick() {
    auto sample = m_services.sampleMetrics;
    if (!sample) {
        return;
    }
    // Ticks are independent: a slow sample neither delays nor drops the next one.
    runOnPool(m_quickWork, [this, sample]() -> std::function<void()> {
        SystemMetrics metrics = sample();
        return [this, metrics] { setSystemMetrics(metrics); };
    });
}

void AppState::checkDiskPermissions() {
    setHasFullDiskAccess(m_services.hasFullDiskAccess ? m_services.hasFullDiskAccess() : true);
}

void AppState::requestDiskPermissionOnce() {
    setHasRequestedPermissionOnce(true);
    setShowOneTimePermissionNotice(false);
    openSystemFullDiskAccessSettings();
}

void AppState::dismissPermissionNoticePermanently() {
    setHasRequestedPermissionOnce(true);
    setShowOneTimePermissionNotice(false);
}

void AppState::openSystemFullDiskAccessSettings() {
    const QUrl address(QString::fromLatin1(kFullDiskAccessSettingsAddress));
    if (address.isValid() && m_services.openURL) {
        (void)m_services.openURL(address);
    }
}

std::string AppState::scanFinishedLine(double seconds) {
    // std::to_chars never consults the locale, so the separator is always ".".
    char digits[64];
    const auto end =
        std::to_chars(std::begin(digits), std::end(digits), seconds, std::chars_format::fixed, 2)
            .ptr;
    return "⚡️ Tarnbrook Turbo Scan finished in " + std::string(digits, end) + "s!";
}

void AppState::checkForUpdatesManually(std::function<void()> done) {
    auto check = m_services.checkForUpdate;
    runOnPool(m_longWork,
              [this, check, manifest = m_services.updateManifestURL,
               done = std::move(done)]() -> std::function<void()> {
                  UpdateCheckResult result = check ? check(manifest) : UpdateCheckResult{};
                  return [this, result = std::move(result), done] {
                      switch (result.kind) {
                      case UpdateCheckResult::Kind::newerVersion:
                          setAvailableUpdate(result.update);
                          break;
                      case UpdateCheckResult::Kind::upToDate:
                          setUserAlert(UserAlert("You're up to date",
                                                 "Tarnbrook Ridar " + m_services.currentVersion +
                                                     " is the latest version."));
                          break;
                      case UpdateCheckResult::Kind::failed:
                          setUserAlert(UserAlert("Couldn't check for updates", result.failure));
                          break;
                      }
                      call(done);
                  };
              });
}

void AppState::openUpdateDownload() {
    if (!m_availableUpdate || !m_services.openURL ||
        !UpdateChecker::isValidDownloadAddress(m_availableUpdate->downloadURL)) {
        return;
    }
    (void)m_services.openURL(QUrl(QString::fromStdString(m_availableUpdate->downloadURL)));
}

} // namespace fernwick::ui
