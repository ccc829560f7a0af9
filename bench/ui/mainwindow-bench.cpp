// Responsiveness of the real main window under the offscreen platform:
//  1. while a scan of /usr runs, the longest gap between ticks of a 10 ms timer on the GUI thread;
//  2. for a folder of 10,000 children (or --canvas N: N children, no scan), the time to lay out
//     and paint the treemap canvas, to switch to each visual mode and paint it, and to move the
//     pointer over the mode's view and paint the window (median and max of 20); and the first
//     switch to each mode after a drill-down into a folder of as many children;
//  3. with --search: after scanning the folder (e.g. a tree from bench/make-home-tree), ten
//     characters typed into the search field 100 ms apart: the GUI thread's time per keystroke,
//     the longest gap of the 10 ms timer meanwhile, and the same ten queries walked
//     synchronously on the GUI thread for comparison.
// Usage: mainwindow-bench [folder-to-scan]   (default /usr)
//        mainwindow-bench --canvas children   (only 2., for a folder of that many children)
//        mainwindow-bench --search folder-to-scan [query]   (default query "qqqqqqqqqq")

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/MainWindow/SearchField.h"
#include "FernwickUI/MainWindow/TopToolbar.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "FernwickUI/Visualisations/VisualisationView.h"
#include "bench/ui/BenchSupport.h"
#include "tests/Support/TreeBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;

using namespace fernwick::bench;

namespace {

// A folder of `count` children: every tenth a folder of five files, sizes spread over four
// orders of magnitude.
DiskNodePtr wideFolder(int count, const std::filesystem::path& base = "/bench/wide") {
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

// The gaps between the ticks of a 10 ms timer on the GUI thread, from `start()` on.
struct TickGaps {
    QElapsedTimer clock;
    QTimer ticker;
    std::vector<double> gaps;
    double lastTick = 0;

    TickGaps() {
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            const double tick = now();
            gaps.push_back(tick - lastTick);
            lastTick = tick;
        });
    }
    void start() {
        clock.start();
        ticker.start();
    }
    void stop() { ticker.stop(); }
    // Milliseconds since `start()`.
    double now() const { return static_cast<double>(clock.nsecsElapsed()) / 1e6; }
    void print(const char* when) const {
        std::printf("  10 ms timer %s: %zu ticks, longest gap %.1f ms, p99 %.1f ms, "
                    "median %.1f ms\n",
                    when, gaps.size(), percentile(gaps, 1.0), percentile(gaps, 0.99),
                    percentile(gaps, 0.5));
    }
};

void measureScan(AppState& state, const std::filesystem::path& target) {
    TickGaps ticks;
    QEventLoop loop;
    QObject::connect(&state, &AppState::scanStateChanged, &loop, [&] {
        if (!state.scanState().isScanning()) {
            loop.quit();
        }
    });
    ticks.start();
    state.startScan(target);
    loop.exec();
    ticks.stop();
    const double seconds = ticks.now() / 1000;
    const auto& root = state.rootNode();
    std::printf("scan of %s: %.2f s, %lld items, state %s\n", target.c_str(), seconds,
                root ? static_cast<long long>(root->itemCount) : 0LL,
                state.scanState().kind() == ScanState::Kind::completed ? "completed"
                                                                       : "not completed");
    ticks.print("during the scan");
}

constexpr int kRounds = 20;

void movePointer(QWidget& view, QPointF point) {
    QMouseEvent move(QEvent::MouseMove, point, view.mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}

// In each mode with a view of its own: the pointer moves between two points of the view and the
// whole window is painted, as a hover does at worst.
void measureHover(AppState& state, MainWindow& window) {
    for (StorageVisualMode mode : allStorageVisualModes()) {
        state.setStorageVisualMode(mode);
        QCoreApplication::processEvents();
        VisualisationView* view = window.resultCanvas()->visualisation(mode);
        if (view == nullptr) {
            continue;
        }
        if (mode == StorageVisualMode::treemap) {
            while (window.resultCanvas()->treemapCanvas()->tileView()->hasPendingTiles()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
        }
        window.repaint();
        movePointer(*view, QPointF(200, 150));
        QCoreApplication::processEvents();
        window.repaint();
        std::vector<double> hovers;
        QElapsedTimer clock;
        for (int round = 0; round < kRounds; ++round) {
            clock.start();
            // Points inside the view's visible part: the flame rows lie near its top.
            const QSize shown = view->visibleRegion().boundingRect().size();
            movePointer(*view, QPointF(shown.width() * (round % 2 ? 0.52 : 0.48),
                                       std::min(shown.height() * (round % 2 ? 0.47 : 0.53),
                                                round % 2 ? 60.0 : 100.0)));
            window.repaint();
            hovers.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        std::printf("  hover in %-8s and paint the window: median %.2f ms, max %.2f ms\n",
                    rawValue(mode).data(), percentile(hovers, 0.5), percentile(hovers, 1.0));
    }
}

// One frame of a switch: the change of mode, the layout it asks for and one paint of the whole
// window (an upper bound: the event loop paints only what changed). Kept out of line so that a
// profiler can count this work alone (callgrind --toggle-collect).
[[gnu::noinline]] void switchAndPaint(AppState& state, MainWindow& window, StorageVisualMode mode) {
    state.setStorageVisualMode(mode);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window.repaint();
}

// For each mode, 20 rounds of: another mode shown (the list for the treemap, else the treemap),
// `before(round)` done there and painted, then the switch to the mode timed; one line of median
// and max per mode, headed by `what`.
template <typename Before>
void measureSwitches(AppState& state, MainWindow& window, const char* what, Before before) {
    QElapsedTimer clock;
    for (StorageVisualMode mode : allStorageVisualModes()) {
        std::vector<double> switches;
        std::vector<double> processor; // the GUI thread's, which a busy host disturbs less
        for (int round = 0; round < kRounds; ++round) {
            state.setStorageVisualMode(StorageVisualMode::treemap == mode
                                           ? StorageVisualMode::list
                                           : StorageVisualMode::treemap);
            before(round);
            QCoreApplication::processEvents();
            window.repaint();
            const double cpu = threadCpuMs();
            clock.start();
            switchAndPaint(state, window, mode);
            switches.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            processor.push_back(threadCpuMs() - cpu);
        }
        std::printf("  %s %-8s and paint: median %.2f ms, max %.2f ms "
                    "[GUI thread processor median %.2f, max %.2f]\n",
                    what, rawValue(mode).data(), percentile(switches, 0.5),
                    percentile(switches, 1.0), percentile(processor, 0.5),
                    percentile(processor, 1.0));
        // MAINWINDOW_EACH=1 prints every round's wall time, to tell a first-time cost from noise.
        if (std::getenv("MAINWINDOW_EACH") != nullptr) {
            for (const double each : switches) {
                std::printf(" %.1f", each);
            }
            std::printf("\n");
        }
    }
}

// The first switch to each mode after a drill-down: from the top, holding two folders of
// `count` children each, the user drills into one of them in another mode, then switches; the
// next round goes back up and into the other folder, which the mode has not shown yet either.
void measureSwitchAfterDrillDown(AppState& state, MainWindow& window, int count) {
    const std::vector<DiskNodePtr> folders{wideFolder(count, "/bench/top/one"),
                                           wideFolder(count, "/bench/top/two")};
    const DiskNodePtr top = test::makeNode(std::filesystem::path("/bench/top"), true, 0,
                                           StorageCategory::other, folders);
    state.setRootNode(top);
    state.setCurrentTreemapRoot(top);
    state.setTreemapBreadcrumbs({top});
    state.setSelectedNodeForInspection(top);
    QCoreApplication::processEvents();
    measureSwitches(state, window, "after a drill-down, switch to", [&](int round) {
        state.navigateBack();
        state.drillDownIntoNode(folders[static_cast<std::size_t>(round % 2)]);
    });
}

void measureCanvas(AppState& state, MainWindow& window, int count) {
    const DiskNodePtr root = wideFolder(count);
    const DiskNodePtr other = wideFolder(count);
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
    std::vector<double> untilShown;
    QElapsedTimer clock;
    for (int round = 0; round < 30; ++round) {
        clock.start();
        canvas->setRoot(state.currentTreemapRoot());
        window.repaint();
        frames.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        // A large folder's tiles are laid out and drawn on a worker.
        while (canvas->tileView()->hasPendingTiles()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        window.repaint();
        untilShown.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("treemap canvas, %d children (%zu tiles): set the root and paint "
                "median %.2f ms, max %.2f ms; until the tiles show median %.2f ms, max %.2f ms\n",
                count, canvas->tileView()->layout().tiles().size(), percentile(frames, 0.5),
                percentile(frames, 1.0), percentile(untilShown, 0.5), percentile(untilShown, 1.0));

    // Each switch gives the mode's view the shown node. The first pass shows another folder of
    // as many children in the mode left just before, each round (as a navigation does), so that
    // the mode lays out a folder it has not shown; the second only switches.
    measureSwitches(state, window, "after navigation, switch to",
                    [&](int round) { state.setCurrentTreemapRoot(round % 2 == 0 ? other : root); });
    measureSwitches(state, window, "switch to                  ", [](int) {});
    measureHover(state, window);
    measureSwitchAfterDrillDown(state, window, count);
}

// Types `query` into the window's search field, one character every 100 ms, while a 10 ms
// timer ticks on the GUI thread.
void measureSearch(AppState& state, MainWindow& window, const QString& query) {
    QLineEdit* field = window.topToolbar()->searchField()->edit();
    field->setFocus();
    // Let the work that follows a scan (plan, large files, snapshot) finish first.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    TickGaps ticks;
    std::vector<double> keystrokes;
    QEventLoop loop;
    QTimer typist;
    typist.setInterval(100);
    int typed = 0;
    double lastKey = 0;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        const QString text = query.mid(typed, 1);
        QElapsedTimer key;
        key.start();
        QKeyEvent press(QEvent::KeyPress, text.at(0).toUpper().unicode(), Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, text.at(0).toUpper().unicode(), Qt::NoModifier, text);
        QCoreApplication::sendEvent(field, &press);
        QCoreApplication::sendEvent(field, &release);
        keystrokes.push_back(static_cast<double>(key.nsecsElapsed()) / 1e6);
        lastKey = ticks.now();
        if (++typed == query.size()) {
            typist.stop();
            // The final query once more: its answer comes when a whole walk is done.
            state.searchAsync(query.toStdString(), [&](std::vector<DiskNodePtr> found) {
                std::printf("  the final query answered %.1f ms after the last keystroke "
                            "(%zu matches)\n",
                            ticks.now() - lastKey, found.size());
                loop.quit();
            });
        }
    });
    ticks.start();
    typist.start();
    loop.exec();
    ticks.stop();
    std::printf("search field, %lld items, %lld characters typed 100 ms apart (\"%s\"):\n",
                static_cast<long long>(state.rootNode()->itemCount),
                static_cast<long long>(query.size()), qPrintable(field->text()));
    std::printf("  GUI time per keystroke: median %.2f ms, max %.2f ms\n",
                percentile(keystrokes, 0.5), percentile(keystrokes, 1.0));
    ticks.print("meanwhile");

    // The walk the search used to make on the GUI thread for each keystroke.
    std::vector<double> walks;
    for (int length = 1; length <= query.size(); ++length) {
        QElapsedTimer walk;
        walk.start();
        const auto found = state.searchMatchingNodes(query.left(length).toStdString());
        walks.push_back(static_cast<double>(walk.nsecsElapsed()) / 1e6);
        (void)found;
    }
    std::printf("  synchronous walk per keystroke (for comparison): median %.1f ms, max %.1f ms\n",
                percentile(walks, 0.5), percentile(walks, 1.0));
}

} // namespace

int main(int argc, char** argv) {
    // A private home, so the benchmark never reads or writes the user's preferences or Trash.
    QTemporaryDir home;
    usePrivateHome(home);
    QApplication app(argc, argv);
    applyDarkAppearance(app);
    const bool search = argc > 2 && std::string_view(argv[1]) == "--search";
    const bool canvasOnly = argc > 2 && std::string_view(argv[1]) == "--canvas";
    const std::filesystem::path target = search ? argv[2] : argc > 1 ? argv[1] : "/usr";

    AppState state(AppServices::real());
    MainWindow window(state);
    window.resize(1440, 900);
    window.show();
    QCoreApplication::processEvents();

    if (canvasOnly) {
        std::printf("load average (1 min) at start %.1f\n", loadAverage());
        measureCanvas(state, window, std::atoi(argv[2]));
        std::printf("load average (1 min) at end %.1f\n", loadAverage());
        return 0;
    }
    measureScan(state, target);
    if (search) {
        measureSearch(state, window,
                      argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("qqqqqqqqqq"));
        return 0;
    }
    measureCanvas(state, window, 10000);
    return 0;
}
