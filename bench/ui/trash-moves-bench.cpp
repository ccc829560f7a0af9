// Responsiveness of the GUI thread while each of the five removals moves its items to the Trash:
// the longest gap between ticks of a 10 ms timer while AppState (real scanner, cleanup engine,
// duplicate finder and uninstaller over a private home) moves `items` single nodes one after
// the other, runs a cleanup of `items` candidates, cleans `items` duplicate copies, cleans
// `items` developer folders and uninstalls `items` AppImages one after the other, each with the
// follow-ups on the tree, the plan, the large files and the Trash count.
// Usage: trash-moves-bench [items]   (default 200)

#include "FernwickCore/Engines/AppUninstallerEngine.h"
#include "FernwickCore/Engines/CleanupEngine.h"
#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/Clock.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "bench/ui/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;
using namespace fernwick::bench;
namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& head, std::int64_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << head;
    if (size > static_cast<std::int64_t>(head.size())) {
        fs::resize_file(path, static_cast<std::uintmax_t>(size)); // the rest a hole
    }
}

void makeHome(const fs::path& root, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        writeFile(root / "single" / ("f" + n + ".bin"), "single " + n, 4096);
        writeFile(root / "code" / ("p" + n) / "node_modules/m.js", "module " + n, 60LL << 20);
        writeFile(root / "dups" / ("g" + n) / "a.bin", "group " + n, 60000);
        writeFile(root / "dups" / ("g" + n) / "copy/a.bin", "group " + n, 60000);
        writeFile(root / "dev" / ("cache" + n) / "blob", "cache " + n, 3000);
        const fs::path image = root / "Applications" / ("App" + n + "-1.0-x86_64.AppImage");
        writeFile(image, "image " + n, 900);
        ::chmod(image.c_str(), 0755);
        writeFile(root / ".local/share/applications" / ("App" + n + ".desktop"),
                  "[Desktop Entry]\nType=Application\nExec=\"" + image.string() + "\"\n", 0);
    }
    // The copies are younger: the first of each group stays as the original.
    for (int i = 0; i < count; ++i) {
        const fs::path original = root / "dups" / ("g" + std::to_string(i)) / "a.bin";
        const timespec times[2] = {{1'000'000, 0}, {1'000'000, 0}};
        ::utimensat(AT_FDCWD, original.c_str(), times, 0);
    }
}

// Runs `operation` (which calls its argument when finished) while a 10 ms timer ticks, and
// prints the longest gap between ticks.
void measure(const char* name, int count, AppState& state,
             const std::function<void(std::function<void()>)>& operation) {
    QElapsedTimer clock;
    clock.start();
    double lastTick = 0;
    std::vector<double> gaps;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = msSince(clock);
        gaps.push_back(now - lastTick);
        lastTick = now;
    });
    const double loadBefore = loadAverage();
    const double cpuBefore = threadCpuMs();
    ticker.start(10);
    bool finished = false;
    operation([&finished] { finished = true; });
    while (!finished) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    // The follow-ups queued last (the Trash count) are part of the operation too.
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    ticker.stop();
    std::printf("%-22s %4d items: total %6.0f ms, GUI-thread processor time %6.1f ms, "
                "longest timer gap %5.1f ms, p99 %5.1f ms (load %.1f before, %.1f after); "
                "Trash count %lld, alert: %s\n",
                name, count, msSince(clock), threadCpuMs() - cpuBefore, percentile(gaps, 1.0),
                percentile(gaps, 0.99), loadBefore, loadAverage(),
                static_cast<long long>(state.trashItemCount()),
                state.userAlert() ? state.userAlert()->title.c_str() : "none");
    state.setUserAlert(std::nullopt);
}

// Calls `step(i, next)` for i = 0 .. count-1, each after the one before has finished.
void inTurn(int count, const std::function<void(int, std::function<void()>)>& step,
            std::function<void()> done) {
    auto index = std::make_shared<int>(0);
    auto next = std::make_shared<std::function<void()>>();
    *next = [index, count, step, done, next] {
        if (*index == count) {
            done();
            return;
        }
        step((*index)++, *next);
    };
    (*next)();
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    usePrivateHome(home);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    const fs::path root = home.path().toStdString();
    makeHome(root, count);

    const Environment env = Environment::forHome(root);
    auto preferences = std::make_shared<PreferencesStore>(env.preferencesFile());
    auto safety = std::make_shared<SafetyEngine>(env, preferences);
    auto trash = std::make_shared<Trash>(env);
    auto cleanup = std::make_shared<CleanupEngine>(safety, trash, Clock::system());
    auto finder = std::make_shared<DuplicateFinderEngine>();
    auto uninstaller = std::make_shared<AppUninstallerEngine>(
        env, safety, trash, RunningPrograms(root / "no-proc"), root / "no-system-apps");

    AppServices services;
    services.makeScanner = [safety] {
        return makeDiskScanner([safety] { return safety->getProtectedPrefixesSnapshot(); });
    };
    services.generateSmartCleanupPlan = [cleanup](const DiskNodePtr& tree) {
        return cleanup->generateSmartCleanupPlan(tree);
    };
    services.executeCleanup = [cleanup](const CleanupPlan& plan, bool dry,
                                        const CheckedTrashMover& mover) {
        return cleanup->executeCleanup(plan, dry, mover);
    };
    services.getAuditHistory = [cleanup] { return cleanup->getAuditHistory(); };
    services.findDuplicates = [finder](const DiskNodePtr& tree, std::int64_t min,
                                       DuplicateResolutionRule rule) {
        return finder->findDuplicates(tree, min, rule);
    };
    services.scanInstalledApplications = [uninstaller] {
        return uninstaller->scanInstalledApplications();
    };
    services.uninstallApp = [uninstaller](const InstalledApp& a, bool related,
                                          const CheckedTrashMover& mover) {
        uninstaller->uninstallApp(a, related, mover);
    };
    std::vector<DeveloperStorageItem> developer;
    for (int i = 0; i < count; ++i) {
        DeveloperStorageItem item;
        item.id = Uuid::random();
        item.name = "cache" + std::to_string(i);
        item.path = (root / "dev" / item.name).string();
        item.canClean = true;
        developer.push_back(item);
    }
    services.scanDeveloperStorage = [&developer] {
        std::vector<DeveloperStorageItem> left;
        for (const auto& item : developer) {
            if (fs::exists(item.path)) {
                left.push_back(item);
            }
        }
        return left;
    };
    services.safety = safety;
    services.trash = trash;
    services.preferences = preferences;
    services.hasFullDiskAccess = [] { return true; };
    services.home = root;
    AppState state(services);

    const auto wait = [](const std::function<void(std::function<void()>)>& operation) {
        bool finished = false;
        operation([&finished] { finished = true; });
        while (!finished) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
    };
    state.startScan();
    while (state.scanState().kind() != ScanState::Kind::completed) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    wait([&](auto done) { state.scanInstalledApps(done); });
    wait([&](auto done) { state.scanDuplicates(done); });
    std::printf("%zu nodes scanned, %zu cleanup candidates, %zu duplicate groups, %zu apps\n",
                state.scanTree().root() ? static_cast<std::size_t>(state.rootNode()->itemCount)
                                        : std::size_t{0},
                state.cleanupPlan().candidates.size(), state.duplicateClusters().size(),
                state.installedApps().size());

    measure("trashNode (one by one)", count, state, [&](std::function<void()> done) {
        inTurn(
            count,
            [&](int i, std::function<void()> next) {
                state.trashNode(
                    state.scanTree().find(
                        (root / "single" / ("f" + std::to_string(i) + ".bin")).native()),
                    std::move(next));
            },
            std::move(done));
    });
    measure("runCleanup", count, state, [&](std::function<void()> done) {
        for (const auto& candidate : state.cleanupPlan().candidates) {
            state.setCandidateSelected(candidate.id, true);
        }
        state.runCleanup(false, std::move(done));
    });
    measure("cleanDuplicates", count, state, [&](std::function<void()> done) {
        for (const auto& cluster : state.duplicateClusters()) {
            for (const auto& item : cluster.items) {
                state.setDuplicateSelected(cluster.id, item.id, !item.isOriginal);
            }
        }
        state.cleanDuplicates(std::move(done));
    });
    measure("cleanDeveloperItems", count, state,
            [&](std::function<void()> done) { state.cleanDeveloperItems(developer, done); });
    const std::vector<InstalledApp> apps = state.installedApps();
    measure("uninstallApp (one by one)", static_cast<int>(apps.size()), state,
            [&](std::function<void()> done) {
                inTurn(
                    static_cast<int>(apps.size()),
                    [&](int i, std::function<void()> next) {
                        state.uninstallApp(apps[static_cast<std::size_t>(i)], std::move(next));
                    },
                    std::move(done));
            });
    return 0;
}
