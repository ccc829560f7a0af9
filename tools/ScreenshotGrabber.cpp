// Saves pictures of the real main window for tools/screenshots: the welcome screen, a scan in
// progress, the finished scan in each visual mode, the toolbar, search, banners and modals, and
// every tool screen with data, empty and with its question open; the smallest window three
// folders deep, a focused sidebar button, a flame graph of 120 files, thin treemap tiles, the
// trail three folders deep at 1280 points and the undo toast beside the inspector. Run it with HOME
// and the XDG folders pointed at a fixture home; it scans that home. Usage: ridar-screenshots
// <output-folder>

#include "FernwickCore/Scanning/AsyncDiskScanner.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/MainWindow/CrumbTrail.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/MainWindow/SearchResultsView.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

namespace {

using namespace fernwick;
using namespace fernwick::ui;

// Holds the scan at its first progress report with some files counted until released, so that
// the progress screen can be pictured with real figures.
struct ScanHold {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    void wait() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return released; });
    }
    void release() {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

// The disk scanner reporting at every folder it finishes (a small home is walked faster than
// the usual report interval), held at its first report.
class HeldScanner final : public DiskScanning {
public:
    explicit HeldScanner(std::shared_ptr<ScanHold> hold)
        : m_scanner({}, frequentReports()), m_hold(std::move(hold)) {}
    DiskNodePtr scan(const std::filesystem::path& rootURL, int maxDepth,
                     std::function<void(const ScanProgress&)> onProgress) override {
        auto hold = m_hold;
        return m_scanner.scan(rootURL, maxDepth, [hold, onProgress](const ScanProgress& progress) {
            if (onProgress) {
                onProgress(progress);
            }
            if (!progress.isComplete && progress.scannedFiles > 100) {
                hold->wait();
            }
        });
    }
    void cancel() override { m_scanner.cancel(); }

private:
    static ScannerSeams frequentReports() {
        ScannerSeams seams;
        seams.reportInterval = std::chrono::nanoseconds(0);
        return seams;
    }

    AsyncDiskScanner m_scanner;
    std::shared_ptr<ScanHold> m_hold;
};

void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

bool save(QWidget& window, const QString& folder, const QString& name) {
    const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
    const bool saved = window.grab().save(file);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(file));
    return saved;
}

// What the screen shows inside `area`'s frame, so that a dialog opened over it is pictured too.
bool saveScreen(QWidget& area, const QString& folder, const QString& name) {
    const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
    const QRect frame = area.frameGeometry();
    const bool saved = area.screen()
                           ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                           .save(file);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(file));
    return saved;
}

// Lets events run until `done` holds or `milliseconds` pass, then a little longer to paint.
template <typename Done> void settleUntil(Done done, int milliseconds = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < milliseconds) {
        settle(20);
    }
    settle(400);
}

StyledButton* findButton(QWidget* parent, const QString& label) {
    for (auto* button : parent->findChildren<StyledButton*>()) {
        if (button->label() == label && button->isVisibleTo(parent)) {
            return button;
        }
    }
    std::printf("no button \"%s\"\n", qPrintable(label));
    return nullptr;
}

// What the services answer while the pictures are taken: a few switches flip a tool between its
// data and its empty state, and the duplicate search can be held to picture its progress.
struct Fixtures {
    std::atomic<bool> fullDiskAccess{true};
    std::atomic<bool> noDeveloperItems{false};
    std::atomic<bool> noDuplicates{false};
    std::atomic<bool> noHistory{false};
    std::atomic<bool> holdDuplicates{false};
    std::shared_ptr<ScanHold> duplicatesHold = std::make_shared<ScanHold>();
};

// The developer folders a typical Linux workstation holds, at the fixture home's places. The
// storage engine measures allocated bytes, which the sparse fixture files do not have, so these
// stand in for its answer.
std::vector<DeveloperStorageItem> developerItems(const std::filesystem::path& home) {
    constexpr std::int64_t MiB = 1024 * 1024;
    const auto now = std::chrono::system_clock::now();
    const auto item = [&](std::string name, std::string group, const char* relative,
                          std::int64_t size, RiskLevel risk, bool canClean, bool selected,
                          std::string explanation, std::string action, int daysAgo) {
        return DeveloperStorageItem{Uuid::random(),
                                    std::move(name),
                                    std::move(group),
                                    (home / relative).string(),
                                    size,
                                    risk,
                                    std::move(explanation),
                                    std::move(action),
                                    canClean,
                                    selected,
                                    now - std::chrono::hours(24 * daysAgo),
                                    false,
                                    FileIdentity{}};
    };
    return {
        item("Docker VM Virtual Disk (Stopped)", "Docker", ".docker/desktop/vms/0/data/Docker.raw",
             2600 * MiB, RiskLevel::high, false, false,
             "Docker VM file stores all container images, volumes, and layer caches. Directly "
             "trashing the VM file deletes all local containers and databases.",
             "Run 'docker system prune -a --volumes' in Terminal to reclaim space safely without "
             "breaking Docker.",
             3),
        item("Hugging Face Model Cache", "AI Models", ".cache/huggingface/hub", 700 * MiB,
             RiskLevel::medium, false, false, "Downloaded transformer models and datasets.",
             "Clean only unused models via 'huggingface-cli delete-cache'.", 12),
        item("JetBrains IDE System & Index Caches", "JetBrains", ".cache/JetBrains", 640 * MiB,
             RiskLevel::low, false, false, "IntelliJ, PyCharm, WebStorm indices and syntax caches.",
             "Use 'File > Invalidate Caches' inside JetBrains IDEs.", 1),
        item("Python pip Wheel Cache", "Python", ".cache/pip", 520 * MiB, RiskLevel::low, true,
             true, "Cached Python wheel and sdist downloads.",
             "Safe to clean; run 'pip cache purge'.", 20),
        item("Homebrew Bottle Cache", "Package Managers", ".cache/Homebrew", 360 * MiB,
             RiskLevel::low, true, true, "Downloaded formula bottles and source tarballs.",
             "Safe to clean; Homebrew will re-fetch bottles if needed.", 45),
        item("npm Package Cache", "Node & Web", ".npm/_cacache", 210 * MiB, RiskLevel::low, true,
             true, "Global npm tarball and index cache.",
             "Safe to clean; packages re-download when needed.", 6),
        item("Cargo Crate Download Cache", "Rust / Cargo", ".cargo/registry/cache", 96 * MiB,
             RiskLevel::low, true, false, "Downloaded .crate archive packages.",
             "Safe to clean; Cargo will fetch crates on demand.", 30),
    };
}

// Routes the services the pictures steer through `fixtures`; the rest stay the real ones. The
// update check answers "up to date" without the network.
void installFixtures(AppServices& services, const std::shared_ptr<Fixtures>& fixtures) {
    services.hasFullDiskAccess = [fixtures] { return fixtures->fullDiskAccess.load(); };
    services.checkForUpdate = [](const std::string&) {
        return UpdateCheckResult{UpdateCheckResult::Kind::upToDate, std::nullopt, {}};
    };
    services.scanDeveloperStorage = [fixtures, home = services.home] {
        return fixtures->noDeveloperItems ? std::vector<DeveloperStorageItem>{}
                                          : developerItems(home);
    };
    services.findDuplicates = [fixtures, find = services.findDuplicates](
                                  const DiskNodePtr& root, std::int64_t minimum,
                                  DuplicateResolutionRule rule) {
        if (fixtures->holdDuplicates) {
            fixtures->duplicatesHold->wait();
        }
        return fixtures->noDuplicates ? std::vector<DuplicateCluster>{} : find(root, minimum, rule);
    };
    services.getAuditHistory = [fixtures, audit = services.getAuditHistory] {
        return fixtures->noHistory ? std::vector<CleanupAuditEntry>{} : audit();
    };
    services.getSnapshots = [fixtures, snapshots = services.getSnapshots] {
        return fixtures->noHistory ? std::vector<StorageSnapshot>{} : snapshots();
    };
}

// The search's empty state before any scan; taken on the welcome screen.
bool takeSearchShotBeforeScan(MainWindow& window, AppState& state, const QString& folder) {
    state.setSearchText("holiday");
    settle(600);
    const bool ok = save(window, folder, QStringLiteral("search-empty-before-scan"));
    state.setSearchText("");
    settle(200);
    return ok;
}

// The frame around the finished scan: the toolbar at the narrowest and a wide width, search
// results and their empty state, both banners, the cleanup prompt and the three small modals.
bool takeWindowShots(MainWindow& window, AppState& state, Fixtures& fixtures,
                     const QString& folder) {
    bool ok = true;
    state.setActiveModal(std::nullopt);
    state.navigateBreadcrumb(0);
    state.setStorageVisualMode(StorageVisualMode::treemap);
    window.resize(1050, window.minimumHeight());
    settle(500);
    ok = save(window, folder, QStringLiteral("toolbar-1050")) && ok;
    window.resize(1600, 900);
    settle(500);
    ok = save(window, folder, QStringLiteral("toolbar-1600")) && ok;
    window.resize(1280, 800);
    settle(400);
    ok = save(window, folder, QStringLiteral("cleanup-prompt")) && ok;

    state.setSearchText("Northern");
    settle(800);
    ok = save(window, folder, QStringLiteral("search-results")) && ok;
    state.setSearchText("quarterly-report");
    settle(800);
    ok = save(window, folder, QStringLiteral("search-empty")) && ok;
    state.setSearchText("");

    // Both banners: an update the check found, and the one-time permission notice a home
    // without full access raises.
    state.setAvailableUpdate(AppUpdateInfo{"2.1", "https://example.org/get"});
    fixtures.fullDiskAccess = false;
    state.checkDiskPermissions();
    state.setShowOneTimePermissionNotice(true);
    settle(500);
    ok = save(window, folder, QStringLiteral("banners")) && ok;
    state.setAvailableUpdate(std::nullopt);
    state.setShowOneTimePermissionNotice(false);
    fixtures.fullDiskAccess = true;
    state.checkDiskPermissions();

    const std::pair<ActiveModal, const char*> modals[] = {
        {ActiveModal::shortcuts, "modal-shortcuts"},
        {ActiveModal::theme, "modal-theme"},
        {ActiveModal::systemMonitor, "modal-monitor"},
    };
    for (const auto& [modal, name] : modals) {
        state.setActiveModal(modal);
        // The monitor shows its figures after its first samples.
        settle(modal == ActiveModal::systemMonitor ? 3500 : 500);
        if (window.sheet() != nullptr) {
            ok = save(*window.sheet(), folder, QString::fromLatin1(name)) && ok;
        }
        state.setActiveModal(std::nullopt);
        settle(200);
    }
    return ok;
}

// Opens `modal` and waits until `ready` holds; null when the window shows no sheet.
template <typename Ready>
QDialog* openSheet(MainWindow& window, AppState& state, ActiveModal modal, Ready ready) {
    state.openTool(modal);
    settleUntil(ready);
    return window.sheet();
}

// Presses `label` in the open sheet, pictures the window with the question it asks over the
// sheet, and answers "Cancel".
bool takeQuestionShot(MainWindow& window, const QString& label, const QString& folder,
                      const QString& name) {
    QDialog* sheet = window.sheet();
    StyledButton* button = sheet != nullptr ? findButton(sheet, label) : nullptr;
    if (button == nullptr) {
        return false;
    }
    button->click();
    settle(600);
    ConfirmationDialog* question = nullptr;
    for (auto* shown : window.findChildren<ConfirmationDialog*>()) {
        question = shown->isVisible() ? shown : question;
    }
    const bool ok = question != nullptr && saveScreen(window, folder, name);
    if (question != nullptr) {
        question->reject();
    }
    settle(200);
    return ok;
}

bool closeSheet(MainWindow& window, AppState& state) {
    state.setActiveModal(std::nullopt);
    settle(300);
    return window.sheet() == nullptr;
}

// Every tool screen with its data, empty, and with its question open; the duplicate search also
// while it runs. Ends with a real cleanup, whose moves the history then lists.
bool takeToolShots(MainWindow& window, AppState& state, Fixtures& fixtures, const QString& folder) {
    bool ok = true;
    window.resize(1280, 800);
    const auto shoot = [&](const QString& name) {
        QDialog* sheet = window.sheet();
        ok = sheet != nullptr && save(*sheet, folder, name) && ok;
    };

    openSheet(window, state, ActiveModal::cleanup, [] { return true; });
    shoot(QStringLiteral("smart-cleanup"));
    ok = takeQuestionShot(window, QStringLiteral("Clean Safely to Trash"), folder,
                          QStringLiteral("smart-cleanup-confirm")) &&
         ok;
    closeSheet(window, state);

    openSheet(window, state, ActiveModal::largeFiles, [] { return true; });
    shoot(QStringLiteral("large-files"));
    state.chooseLargeFileThreshold(LargeFileThreshold::gb5);
    settle(500);
    shoot(QStringLiteral("large-files-empty"));
    state.chooseLargeFileThreshold(LargeFileThreshold::mb100);
    closeSheet(window, state);

    openSheet(window, state, ActiveModal::duplicates, [] { return true; });
    shoot(QStringLiteral("duplicates-empty"));
    fixtures.holdDuplicates = true;
    state.scanDuplicates();
    settleUntil([&] { return state.isScanningDuplicates(); });
    shoot(QStringLiteral("duplicates-loading"));
    fixtures.holdDuplicates = false;
    fixtures.duplicatesHold->release();
    settleUntil([&] { return !state.isScanningDuplicates(); });
    // The copies of the first clusters ticked, as a user reviewing them would.
    const auto clusters = state.duplicateClusters();
    for (std::size_t i = 0; i < clusters.size() && i < 3; ++i) {
        for (const auto& item : clusters[i].items) {
            if (!item.isOriginal) {
                state.setDuplicateSelected(clusters[i].id, item.id, true);
            }
        }
    }
    settle(300);
    shoot(QStringLiteral("duplicates"));
    ok = takeQuestionShot(window, QStringLiteral("Clean Selected Duplicates"), folder,
                          QStringLiteral("duplicates-confirm")) &&
         ok;
    closeSheet(window, state);

    openSheet(window, state, ActiveModal::developer,
              [&] { return state.hasScannedDeveloperStorage() && !state.isScanningDeveloper(); });
    shoot(QStringLiteral("developer"));
    ok = takeQuestionShot(window, QStringLiteral("Move Selected to Trash"), folder,
                          QStringLiteral("developer-confirm")) &&
         ok;
    fixtures.noDeveloperItems = true;
    state.scanDeveloperStorage();
    settleUntil([&] { return !state.isScanningDeveloper(); });
    shoot(QStringLiteral("developer-empty"));
    closeSheet(window, state);

    openSheet(window, state, ActiveModal::apps,
              [&] { return !state.installedApps().empty() && !state.isScanningApps(); });
    state.setSelectedAppForInspection(std::nullopt);
    settle(300);
    shoot(QStringLiteral("apps-no-selection"));
    // An AppImage with its settings and caches, whose question tells what moves.
    for (const auto& app : state.installedApps()) {
        if (!app.relatedItems.empty() &&
            QString::fromStdString(app.bundleURL.filename().string())
                .endsWith(QStringLiteral(".AppImage"), Qt::CaseInsensitive)) {
            state.setSelectedAppForInspection(app);
            break;
        }
    }
    settle(500);
    shoot(QStringLiteral("apps-inspector"));
    ok = takeQuestionShot(window, QStringLiteral("Uninstall"), folder,
                          QStringLiteral("apps-uninstall-confirm")) &&
         ok;
    closeSheet(window, state);

    // Three protected places the user added, then none.
    const std::filesystem::path home =
        state.rootNode() ? state.rootNode()->url() : std::filesystem::path();
    int pending = 0;
    for (const char* relative : {"Dokumente/Berichte", "Pictures/2026", ".ssh/known_hosts"}) {
        ++pending;
        state.addProtectedPath((home / relative).string(), [&](auto) { --pending; });
    }
    settleUntil([&] { return pending == 0; });
    openSheet(window, state, ActiveModal::settings, [] { return true; });
    shoot(QStringLiteral("settings-protected"));
    closeSheet(window, state);
    for (const char* relative : {"Dokumente/Berichte", "Pictures/2026", ".ssh/known_hosts"}) {
        ++pending;
        state.removeProtectedPath((home / relative).string(), [&](auto) { --pending; });
    }
    settleUntil([&] { return pending == 0; });
    openSheet(window, state, ActiveModal::settings, [] { return true; });
    shoot(QStringLiteral("settings-empty"));
    closeSheet(window, state);

    fixtures.noHistory = true;
    openSheet(window, state, ActiveModal::history, [] { return true; });
    shoot(QStringLiteral("history-empty"));
    closeSheet(window, state);
    fixtures.noHistory = false;

    // A real cleanup of the plan's ticked candidates: the audit log the history lists, and the
    // plan's empty state afterwards.
    bool cleaned = false;
    state.runCleanup(false, [&] { cleaned = true; });
    settleUntil([&] { return cleaned; }, 30000);
    state.setCleanupPlan(CleanupPlan{});
    openSheet(window, state, ActiveModal::cleanup, [] { return true; });
    shoot(QStringLiteral("smart-cleanup-empty"));
    closeSheet(window, state);
    openSheet(window, state, ActiveModal::history, [] { return true; });
    shoot(QStringLiteral("history"));
    closeSheet(window, state);
    return ok;
}

// How many folder levels lie below `node`.
int folderDepth(const DiskNodePtr& node) {
    int depth = 0;
    for (const auto& child : node->children) {
        if (child->isDirectory()) {
            depth = std::max(depth, 1 + folderDepth(child));
        }
    }
    return depth;
}

// The folder child of `node` with the most levels below it; null when it has none.
DiskNodePtr folderToEnter(const DiskNodePtr& node) {
    DiskNodePtr deepest;
    for (const auto& child : node->children) {
        if (child->isDirectory() && (!deepest || folderDepth(child) > folderDepth(deepest))) {
            deepest = child;
        }
    }
    return deepest;
}

// The window at its smallest with the result header after entering three folders; the treemap
// of the scan root at that size (its narrow folder headers); a focused sidebar button after Tab;
// the flame graph of a folder of 120 files of falling sizes (most of them thinner than a point).
bool saveHeaderFocusAndFlameShots(MainWindow& window, AppState& state, const QString& folder) {
    state.setActiveModal(std::nullopt);
    state.navigateBreadcrumb(0);
    window.resize(window.minimumSize());
    state.setStorageVisualMode(StorageVisualMode::treemap);
    settle(400);
    bool ok = save(window, folder, QStringLiteral("treemap-narrow-headers-1050x700"));
    state.setStorageVisualMode(StorageVisualMode::folders);
    for (int level = 0; level < 3; ++level) {
        if (const DiskNodePtr next = folderToEnter(state.currentTreemapRoot())) {
            state.drillDownIntoNode(next);
        }
    }
    settle(400);
    ok = save(window, folder, QStringLiteral("header-three-levels-1050x700")) && ok;

    window.resize(1280, 800);
    window.activateWindow();
    settle(400);
    if (auto* first = window.sidebar()->findChild<QAbstractButton*>()) {
        first->setFocus(Qt::TabFocusReason);
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(first, &tab);
    }
    settle(300);
    ok = save(window, folder, QStringLiteral("focus-sidebar-button")) && ok;

    const std::filesystem::path many =
        std::filesystem::temp_directory_path() /
        ("ridar-120-children-" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(many);
    for (int i = 0; i < 120; ++i) {
        // Sparse files: logical sizes that cost no space, from 400 MB down to 3 MB.
        std::filesystem::path file = many / ("part-" + std::to_string(i + 1) + ".bin");
        std::ofstream{file};
        std::filesystem::resize_file(file, 400'000'000ULL / static_cast<unsigned>(i + 1));
    }
    state.startScan(many);
    settleUntil([&] { return state.scanState().kind() == ScanState::Kind::completed; });
    ok = state.scanState().kind() == ScanState::Kind::completed && ok;
    state.setStorageVisualMode(StorageVisualMode::flame);
    settle(400);
    ok = save(window, folder, QStringLiteral("flame-120-children")) && ok;
    std::filesystem::remove_all(many);
    return ok;
}

// The treemap of a folder of thin tiles (files of falling sizes beside one large one, and
// folders with long names whose headers are narrow), the result header three folders deep at
// 1280 points, and the undo toast over the treemap while the inspector shows.
bool saveTreemapDetailShots(MainWindow& window, AppState& state, const QString& folder) {
    const std::filesystem::path thin =
        std::filesystem::temp_directory_path() /
        ("ridar-thin-tiles-" + std::to_string(QCoreApplication::applicationPid()));
    const auto sparseFile = [](const std::filesystem::path& file, std::uintmax_t size) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream{file};
        std::filesystem::resize_file(file, size);
    };
    sparseFile(thin / "disk-image-of-the-old-laptop.img", 9'000'000'000ULL);
    for (int i = 0; i < 40; ++i) {
        sparseFile(thin / ("recording-" + std::to_string(i + 1) + ".wav"),
                   900'000'000ULL / static_cast<unsigned>(i + 1));
    }
    for (int f = 0; f < 4; ++f) {
        const std::string name = "Camera-import-from-the-summer-holiday-" + std::to_string(f + 1);
        for (int i = 0; i < 6; ++i) {
            sparseFile(thin / name / ("IMG_" + std::to_string(4000 + i) + ".jpg"),
                       (300'000'000ULL >> f) / static_cast<unsigned>(i + 1));
        }
    }
    window.resize(1280, 800);
    state.setActiveModal(std::nullopt);
    state.startScan(thin);
    settleUntil([&] { return state.scanState().kind() == ScanState::Kind::completed; });
    bool ok = state.scanState().kind() == ScanState::Kind::completed;
    state.setStorageVisualMode(StorageVisualMode::treemap);
    state.setSelectedNodeForInspection(nullptr);
    settle(600);
    ok = save(window, folder, QStringLiteral("treemap-thin-tiles-1280")) && ok;

    const DiskNodePtr root = state.currentTreemapRoot();
    DiskNodePtr victim;
    for (const auto& child : root ? root->children : std::vector<DiskNodePtr>{}) {
        if (!child->isDirectory()) {
            victim = child;
        }
    }
    if (victim) {
        state.setSelectedNodeForInspection(root->children.front());
        state.trashNode(victim);
        settleUntil([&] { return state.lastTrashed().has_value(); }, 5000);
        ok = save(window, folder, QStringLiteral("toast-with-inspector-1280")) && ok;
    }
    std::filesystem::remove_all(thin);

    const std::filesystem::path deep =
        std::filesystem::temp_directory_path() /
        ("ridar-deep-" + std::to_string(QCoreApplication::applicationPid()));
    sparseFile(deep / "Projects-of-the-studio" / "Documents-for-the-client" /
                   "Camera-import-2026-06-14-from-the-card" / "IMG_4001.jpg",
               5'000'000);
    state.startScan(deep);
    settleUntil([&] { return state.scanState().kind() == ScanState::Kind::completed; });
    for (int level = 0; level < 3; ++level) {
        if (const DiskNodePtr next = folderToEnter(state.currentTreemapRoot())) {
            state.drillDownIntoNode(next);
        }
    }
    settle(400);
    ok = save(window, folder, QStringLiteral("crumbs-three-levels-1280")) && ok;
    std::filesystem::remove_all(deep);
    return ok;
}

// The trail a Drill Down from the search results leaves, into a folder deep in another branch,
// from the scan root and from inside another folder; a trail of long names scrolled to its
// start, its middle and its end at the smallest width; the uninstaller's inspector and question
// for an application with a long one-word name; an alert whose title is one long word.
bool saveTrailAndLongNameShots(MainWindow& window, AppState& state, const QString& folder) {
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() /
        ("ridar-trail-" + std::to_string(QCoreApplication::applicationPid()));
    const auto sparseFile = [](const std::filesystem::path& file, std::uintmax_t size) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream{file};
        std::filesystem::resize_file(file, size);
    };
    const std::filesystem::path reports = home / "Documents/Work/Clients/Quarterly Reports";
    sparseFile(reports / "Q3-summary.pdf", 40'000'000);
    sparseFile(reports / "Q2-summary.pdf", 31'000'000);
    sparseFile(home / "Documents/Work/Clients/Northwind Traders/contract.pdf", 12'000'000);
    sparseFile(home / "Documents/Letters/landlord.odt", 2'000'000);
    sparseFile(home / "Downloads/setup-tools.tar.gz", 140'000'000);
    sparseFile(home / "Downloads/Installers/editor.deb", 90'000'000);
    sparseFile(home / "Pictures/2026/IMG_2041.jpg", 60'000'000);
    sparseFile(home / "Northwind-Traders-Archive/Client-Correspondence-2026/"
                      "Quarterly-Statements-and-Invoices/Scanned-Receipts-from-the-Spring/r.pdf",
               5'000'000);
    // Wide enough for the whole trail to show beside the header's other controls.
    window.resize(1600, 900);
    state.setActiveModal(std::nullopt);
    state.startScan(home);
    settleUntil([&] { return state.scanState().kind() == ScanState::Kind::completed; });
    bool ok = state.scanState().kind() == ScanState::Kind::completed;
    state.setStorageVisualMode(StorageVisualMode::treemap);
    const auto child = [](const DiskNodePtr& node, const std::string& name) {
        for (const auto& each : node ? node->children : std::vector<DiskNodePtr>{}) {
            if (each->name() == name) {
                return each;
            }
        }
        return DiskNodePtr();
    };
    for (const char* from : {"", "Downloads"}) {
        state.navigateBreadcrumb(0);
        if (*from != '\0') {
            state.drillDownIntoNode(child(state.rootNode(), from));
        }
        state.setSearchText("Quarterly Reports");
        settleUntil([&] { return !window.searchResultsView()->rows().empty(); }, 5000);
        StyledButton* drill = window.searchResultsView()->rows().empty()
                                  ? nullptr
                                  : findButton(window.searchResultsView()->rows().front(),
                                               QStringLiteral("Drill Down"));
        ok = drill != nullptr && ok;
        if (drill != nullptr) {
            drill->click();
        }
        settle(500);
        const QString name =
            QStringLiteral("trail-search-drilldown-from-") +
            (*from != '\0' ? QString::fromLatin1(from).toLower() : QStringLiteral("root"));
        ok = save(window, folder, name) && ok;
        if (auto* shown = window.findChild<CrumbTrail*>()) {
            ok = save(*shown->parentWidget(), folder, name + QStringLiteral("-header")) && ok;
        }
    }

    // The trail of long names at the smallest window, scrolled along.
    state.navigateBreadcrumb(0);
    DiskNodePtr next = child(state.rootNode(), "Northwind-Traders-Archive");
    while (next) {
        state.drillDownIntoNode(next);
        next = folderToEnter(next);
    }
    window.resize(window.minimumSize());
    settle(500);
    auto* trail = window.findChild<CrumbTrail*>();
    const std::pair<double, const char*> stops[] = {{1.0, "end"}, {0.5, "middle"}, {0.0, "start"}};
    for (const auto& [share, name] : stops) {
        if (trail == nullptr) {
            ok = false;
            break;
        }
        QScrollBar* bar = trail->horizontalScrollBar();
        bar->setValue(static_cast<int>(bar->maximum() * share));
        settle(200);
        ok = save(window, folder, QStringLiteral("crumbs-scrolled-") + QString::fromLatin1(name)) &&
             ok;
        ok = save(*trail->parentWidget(), folder,
                  QStringLiteral("crumbs-scrolled-header-") + QString::fromLatin1(name)) &&
             ok;
    }
    window.resize(1280, 800);
    std::filesystem::remove_all(home);

    // An application whose name is one long word.
    const QString longName =
        QStringLiteral("Orchestral-Composition-Suite-Professional-Edition-2026.AppImage");
    openSheet(window, state, ActiveModal::apps,
              [&] { return !state.installedApps().empty() && !state.isScanningApps(); });
    InstalledApp app;
    app.id = Uuid::random();
    app.name = longName.toStdString();
    app.version = "2026.1";
    app.bundleIdentifier = "org.example.orchestral-composition-suite";
    app.bundleURL = home / "Applications" / app.name;
    app.appSize = 1'240'000'000;
    auto apps = state.installedApps();
    apps.insert(apps.begin(), app);
    state.setInstalledApps(apps);
    state.setSelectedAppForInspection(app);
    settle(500);
    if (QDialog* sheet = window.sheet()) {
        ok = save(*sheet, folder, QStringLiteral("apps-inspector-long-name")) && ok;
    }
    ok = takeQuestionShot(window, QStringLiteral("Uninstall"), folder,
                          QStringLiteral("apps-uninstall-long-name-confirm")) &&
         ok;
    closeSheet(window, state);

    state.setUserAlert(
        UserAlert("Orchestral_Composition_Suite_Professional_Edition_2026.AppImage",
                  "/home/me/Applications/Orchestral_Composition_Suite_Professional_Edition_2026/"
                  "Orchestral_Composition_Suite_Professional_Edition_2026.AppImage"));
    settle(600);
    ok = saveScreen(window, folder, QStringLiteral("alert-one-word-title")) && ok;
    state.setUserAlert(std::nullopt);
    settle(200);
    return ok;
}

} // namespace

// The flame graph of the home at 1050 wide, the mind map at 1050, and the treemap in "Cyberpunk
// Neon": names beside their sizes, scroll bars, labels on light tiles.
bool saveNameAndLabelShots(MainWindow& window, AppState& state, const QString& folder) {
    window.resize(1050, window.minimumHeight());
    state.setStorageVisualMode(StorageVisualMode::flame);
    settle(400);
    bool ok = save(window, folder, QStringLiteral("flame-home-1050"));
    state.setStorageVisualMode(StorageVisualMode::mindmap);
    settle(400);
    ok = save(window, folder, QStringLiteral("mindmap-home-1050")) && ok;
    window.resize(1280, 800);
    const TreemapTheme theme = state.currentTheme();
    state.setCurrentTheme(TreemapTheme::cyberpunk);
    state.setStorageVisualMode(StorageVisualMode::treemap);
    settle(400);
    ok = save(window, folder, QStringLiteral("treemap-cyberpunk-1280")) && ok;
    state.setCurrentTheme(theme);
    settle(200);
    return ok;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ridar-screenshots <output-folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    applyDarkAppearance(app);

    auto hold = std::make_shared<ScanHold>();
    AppServices services = AppServices::real();
    services.makeScanner = [hold]() -> std::shared_ptr<DiskScanning> {
        return std::make_shared<HeldScanner>(hold);
    };
    auto fixtures = std::make_shared<Fixtures>();
    installFixtures(services, fixtures);
    AppState state(services);
    MainWindow window(state);
    window.resize(1280, 800);
    window.show();
    settle(800);
    bool ok = save(window, folder, QStringLiteral("01-welcome"));
    ok = takeSearchShotBeforeScan(window, state, folder) && ok;

    state.startScan(services.home);
    QElapsedTimer waited;
    waited.start();
    while (state.scanState().filesScanned() <= 100 && state.scanState().isScanning() &&
           waited.elapsed() < 10000) {
        settle(20);
    }
    settle(300);
    ok = save(window, folder, QStringLiteral("02-scanning")) && ok;
    hold->release();
    waited.restart();
    while (state.scanState().kind() != ScanState::Kind::completed && waited.elapsed() < 20000) {
        settle(20);
    }
    settle(500);
    int index = 3;
    for (StorageVisualMode mode : allStorageVisualModes()) {
        state.setStorageVisualMode(mode);
        settle(400);
        const QString name =
            QStringLiteral("%1-completed-%2")
                .arg(index++, 2, 10, QLatin1Char('0'))
                .arg(QString::fromUtf8(rawValue(mode).data(),
                                       static_cast<qsizetype>(rawValue(mode).size()))
                         .toLower()
                         .remove(QLatin1Char(' ')));
        ok = save(window, folder, name) && ok;
    }
    // The flame graph of the home 1440 points wide: narrow bars beside sizes they cannot hold.
    window.resize(1440, 900);
    state.setStorageVisualMode(StorageVisualMode::flame);
    settle(400);
    ok = save(window, folder, QStringLiteral("flame-home-1440")) && ok;
    ok = saveNameAndLabelShots(window, state, folder) && ok;
    window.resize(1280, 800);
    // A folder entered, so the trail and the back button show.
    state.setStorageVisualMode(StorageVisualMode::treemap);
    if (const auto& root = state.currentTreemapRoot()) {
        for (const auto& child : root->children) {
            if (child->isDirectory() && !child->children.empty()) {
                state.drillDownIntoNode(child);
                break;
            }
        }
    }
    settle(400);
    ok = save(window, folder, QStringLiteral("10-drilled-treemap")) && ok;
    state.setActiveModal(ActiveModal::cleanup);
    settle(400);
    if (window.toolSheet() != nullptr) {
        ok = save(*window.toolSheet(), folder, QStringLiteral("11-sheet")) && ok;
    }
    // The smallest window the frame allows.
    state.setActiveModal(std::nullopt);
    state.navigateBreadcrumb(0);
    state.setStorageVisualMode(StorageVisualMode::folders);
    window.resize(window.minimumSize());
    settle(400);
    std::printf("smallest window: %d x %d\n", window.width(), window.height());
    ok = save(window, folder, QStringLiteral("12-smallest-window")) && ok;
    ok = takeWindowShots(window, state, *fixtures, folder) && ok;
    ok = takeToolShots(window, state, *fixtures, folder) && ok;
    ok = saveHeaderFocusAndFlameShots(window, state, folder) && ok;
    ok = saveTreemapDetailShots(window, state, folder) && ok;
    ok = saveTrailAndLongNameShots(window, state, folder) && ok;
    return ok ? 0 : 1;
}
