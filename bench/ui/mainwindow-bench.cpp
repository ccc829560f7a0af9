// Responsiveness of the real main window under the offscreen platform:
//  1. while a scan of /usr runs, the longest gap between ticks of a 10 ms timer on the GUI thread;
//  2. for a folder of 10,000 children, the time to lay out and paint the treemap canvas, and to
//     switch to each visual mode and paint it.
// Usage: mainwindow-bench [folder-to-scan]   (default /usr)

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "tests/Support/TreeBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;

namespace {

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

// A folder of `count` children: every tenth a folder of five files, sizes spread over four
// orders of magnitude.
DiskNodePtr wideFolder(int count) {
    const std::filesystem::path base = "/bench/wide";
    std::vector<DiskNodePtr> children;
    children.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::int64_t size = 1000 + (static_cast<std::int64_t>(i) * 7919 % 10007) * 997;
        const auto url = base / ("item-" + std::to_string(i));
        const auto category = static_cast<StorageCategory>(i % 20);
        if (i % 10 == 0) {
            std::vector<DiskNodePtr> files;
            for (int j = 0; j < 5; ++j) {
                files.push_back(
                    test::makeNode(url / ("f" + std::to_string(j)), false, size / 5 + j, category));
            }
            children.push_back(test::makeNode(url, true, 0, category, std::move(files)));
        } else {
            children.push_back(test::makeNode(url.string() + ".dat", false, size, category));
        }
    }
    return test::makeNode(base, true, 0, StorageCategory::other, std::move(children));
}

void measureScan(AppState& state, const std::filesystem::path& target) {
    QElapsedTimer clock;
    std::vector<double> gaps;
    double lastTick = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        gaps.push_back(now - lastTick);
        lastTick = now;
    });
    QEventLoop loop;
    QObject::connect(&state, &AppState::scanStateChanged, &loop, [&] {
        if (!state.scanState().isScanning()) {
            loop.quit();
        }
    });
    clock.start();
    ticker.start();
    state.startScan(target);
    loop.exec();
    ticker.stop();
    const double seconds = static_cast<double>(clock.elapsed()) / 1000;
    const auto& root = state.rootNode();
    std::printf("scan of %s: %.2f s, %lld items, state %s\n", target.c_str(), seconds,
                root ? static_cast<long long>(root->itemCount) : 0LL,
                state.scanState().kind() == ScanState::Kind::completed ? "completed"
                                                                       : "not completed");
    std::printf("  10 ms timer during the scan: %zu ticks, longest gap %.1f ms, p99 %.1f ms, "
                "median %.1f ms\n",
                gaps.size(), percentile(gaps, 1.0), percentile(gaps, 0.99), percentile(gaps, 0.5));
}

void measureCanvas(AppState& state, MainWindow& window) {
    const DiskNodePtr root = wideFolder(10000);
    state.setRootNode(root);
    state.setCurrentTreemapRoot(root);
    state.setTreemapBreadcrumbs({root});
    state.setSelectedNodeForInspection(root);
    state.setScanState(ScanState::completed());
    state.setStorageVisualMode(StorageVisualMode::treemap);
    QCoreApplication::processEvents();
    window.repaint();

    TreemapCanvas* canvas = window.resultCanvas()->treemapCanvas();
    std::vector<double> frames;
    QElapsedTimer clock;
    for (int round = 0; round < 30; ++round) {
        clock.start();
        canvas->setRoot(state.currentTreemapRoot());
        window.repaint();
        frames.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("treemap canvas, 10,000 children (%zu tiles): layout and paint "
                "median %.2f ms, max %.2f ms\n",
                canvas->tileView()->layout().tiles().size(), percentile(frames, 0.5),
                percentile(frames, 1.0));

    // Each switch gives the mode's view the shown node again. Pass 0 also announces the shown
    // node anew in the mode left just before (as a navigation does); pass 1 only switches.
    for (int pass = 0; pass < 2; ++pass) {
        for (StorageVisualMode mode : allStorageVisualModes()) {
            std::vector<double> switches;
            for (int round = 0; round < 5; ++round) {
                state.setStorageVisualMode(StorageVisualMode::treemap == mode
                                               ? StorageVisualMode::list
                                               : StorageVisualMode::treemap);
                if (pass == 0) {
                    state.setCurrentTreemapRoot(root);
                }
                QCoreApplication::processEvents();
                window.repaint();
                clock.start();
                state.setStorageVisualMode(mode);
                QCoreApplication::processEvents();
                window.repaint();
                switches.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            }
            std::printf("  %s %-8s and paint: median %.2f ms, max %.2f ms\n",
                        pass == 0 ? "after navigation, switch to" : "switch to                  ",
                        rawValue(mode).data(), percentile(switches, 0.5),
                        percentile(switches, 1.0));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    // A private home, so the benchmark never reads or writes the user's preferences or Trash.
    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit().constData(), 1);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyDarkAppearance(app);
    const std::filesystem::path target = argc > 1 ? argv[1] : "/usr";

    AppState state(AppServices::real());
    MainWindow window(state);
    window.resize(1440, 900);
    window.show();
    QCoreApplication::processEvents();

    measureScan(state, target);
    measureCanvas(state, window);
    return 0;
}
