// GUI-thread cost of changing the scan tree and of navigating it:
//  1. one move to the Trash and one undo on a tree of 1,011,011 nodes (1,010 folders of 1,000
//     files): the time the GUI thread spends before the move starts and after it returns (the
//     move itself runs on a worker), beside a full re-sum of that tree, and the time it spends
//     publishing the treemap layout a worker computed afterwards;
//  2. one navigation step (into a folder and back) in treemap mode on a tree of 20,000 files:
//     median and max, and how often the canvas was refreshed per step.
// Usage: tree-change-bench [rounds]   (default 15)

#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"
#include "bench/ui/BenchSupport.h"
#include "tests/Support/TreeBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;

using namespace fernwick::bench;

namespace {

// `folders` folders of `files` files below `base`; sizes spread over four orders of magnitude.
DiskNodePtr wideTree(const std::string& base, int folders, int files) {
    std::vector<DiskNodePtr> children;
    children.reserve(static_cast<std::size_t>(folders));
    for (int i = 0; i < folders; ++i) {
        children.push_back(
            test::makeFolderOfFiles(base + "/d" + std::to_string(i), files, [i](int j) {
                return 1000 + (static_cast<std::int64_t>(i + j) * 7919 % 10007) * 97;
            }));
    }
    return test::makeFolder(base, std::move(children));
}

struct Pools {
    QThreadPool quick;
    QThreadPool longWork;
    void settle() {
        for (int round = 0; round < 4; ++round) {
            quick.waitForDone();
            longWork.waitForDone();
            QCoreApplication::processEvents();
        }
    }
};

void measureTrash(const std::string& home, int rounds) {
    // One real file among a million virtual ones: the file the rounds trash and restore.
    const std::string base = home + "/scan";
    std::filesystem::create_directories(base + "/d0");
    const std::string victimPath = base + "/d0/victim.bin";
    std::ofstream(victimPath) << std::string(4096, 'x');
    struct stat info {};
    ::lstat(victimPath.c_str(), &info);

    QElapsedTimer clock;
    clock.start();
    const DiskNodePtr root = wideTree(base, 1010, 1000);
    const DiskNodePtr victim = test::makeFile(victimPath, 4096);
    test::writable(victim->inode) = info.st_ino;
    test::writable(root->children.front()->children).push_back(victim);
    root->recalculateTotalSize();
    const double built = msSince(clock);
    const std::size_t nodes = root->allDescendants().size() + 1;

    std::vector<double> fullResums;
    for (int i = 0; i < 5; ++i) {
        clock.start();
        root->recalculateTotalSize();
        fullResums.push_back(msSince(clock));
    }

    Pools pools;
    AppServices services = AppServices::real();
    services.quickWork = &pools.quick;
    services.longWork = &pools.longWork;
    AppState state(services);
    state.setRootNode(root);
    state.setCurrentTreemapRoot(root);
    state.setTreemapBreadcrumbs({root});
    state.setSelectedNodeForInspection(root);
    pools.settle();

    std::vector<double> trashes;
    std::vector<double> undos;
    std::vector<double> publishes;
    for (int round = 0; round < rounds; ++round) {
        clock.start();
        state.trashNode(victim);
        double gui = msSince(clock);
        pools.quick.waitForDone(); // the move, on a worker
        clock.start();
        QCoreApplication::processEvents();
        gui += msSince(clock);
        trashes.push_back(gui);
        pools.quick.waitForDone(); // the layout, on a worker
        clock.start();
        QCoreApplication::processEvents();
        publishes.push_back(msSince(clock));
        if (!state.lastTrashed() || victim->size != 0) {
            std::printf("round %d: the move did not happen\n", round);
            return;
        }
        pools.settle();

        clock.start();
        state.undoLastTrash();
        gui = msSince(clock);
        pools.quick.waitForDone();
        clock.start();
        QCoreApplication::processEvents();
        gui += msSince(clock);
        undos.push_back(gui);
        pools.settle();
        if (victim->size != 4096) {
            std::printf("round %d: the undo did not happen\n", round);
            return;
        }
    }
    std::printf("tree of %zu nodes (built in %.0f ms); a full re-sum of it: median %.2f ms\n",
                nodes, built, percentile(fullResums, 0.5));
    std::printf("  move to the Trash, GUI thread: median %.3f ms, max %.3f ms (%d rounds; "
                "%zu nodes re-summed)\n",
                percentile(trashes, 0.5), percentile(trashes, 1.0), rounds,
                state.scanTree().lastResummed());
    std::printf("  undo, GUI thread:              median %.3f ms, max %.3f ms\n",
                percentile(undos, 0.5), percentile(undos, 1.0));
    std::printf("  layout published after a move, GUI thread: median %.3f ms, max %.3f ms\n",
                percentile(publishes, 0.5), percentile(publishes, 1.0));
}

void measureNavigation(int rounds) {
    Pools pools;
    AppServices services = AppServices::real();
    services.quickWork = &pools.quick;
    services.longWork = &pools.longWork;
    AppState state(services);
    MainWindow window(state);
    window.resize(1440, 900);
    window.show();
    QCoreApplication::processEvents();

    const DiskNodePtr root = wideTree("/bench/nav", 20, 1000);
    state.setRootNode(root);
    state.setCurrentTreemapRoot(root);
    state.setTreemapBreadcrumbs({root});
    state.setSelectedNodeForInspection(root);
    state.setScanState(ScanState::completed());
    state.setStorageVisualMode(StorageVisualMode::treemap);
    pools.settle();
    window.repaint();

    ResultCanvas* canvas = window.resultCanvas();
    std::vector<double> steps;
    int refreshes = 0;
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        const DiskNodePtr folder = root->children[static_cast<std::size_t>(round) % 20];
        for (int direction = 0; direction < 2; ++direction) {
            const int before = canvas->refreshCount();
            clock.start();
            if (direction == 0) {
                state.drillDownIntoNode(folder);
            } else {
                state.navigateBack();
            }
            QCoreApplication::processEvents(); // lays out and paints the canvas
            steps.push_back(msSince(clock));
            refreshes += canvas->refreshCount() - before;
        }
    }
    std::printf("navigation step, treemap of 20,000 files: median %.2f ms, max %.2f ms, "
                "%.2f canvas refreshes per step (%zu steps)\n",
                percentile(steps, 0.5), percentile(steps, 1.0),
                static_cast<double>(refreshes) / static_cast<double>(steps.size()), steps.size());
}

} // namespace

int main(int argc, char** argv) {
    // A private home, so the benchmark never reads or writes the user's preferences or Trash.
    QTemporaryDir home;
    usePrivateHome(home);
    QApplication app(argc, argv);
    applyDarkAppearance(app);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    measureTrash(home.path().toStdString(), rounds);
    measureNavigation(rounds);
    return 0;
}
