// Time to show a folder of 10,000 children in each visual mode (set the root, which lays it out,
// and draw the first frame) and to draw a later frame (a hover change). Offscreen, 1000 × 700.
//
//   visual_modes_paint [children]

#include "bench/ui/BenchSupport.h"

#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Visualisations/BubbleNodeView.h"
#include "FernwickUI/Visualisations/FlameGraphHierarchyView.h"
#include "FernwickUI/Visualisations/FolderCardView.h"
#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"
#include "FernwickUI/Visualisations/MindMapBranchView.h"
#include "FernwickUI/Visualisations/SunburstRadialView.h"
#include "FernwickUI/Visualisations/VisualModes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;

namespace {

DiskNodePtr node(const std::string& path, std::int64_t size, bool isDirectory,
                 std::vector<DiskNodePtr> children = {}) {
    DiskNode::Fields fields;
    fields.id = Uuid::random();
    fields.url = path;
    fields.size = size;
    fields.isDirectory = isDirectory;
    fields.category = allStorageCategories()[std::hash<std::string>{}(path) % 25];
    fields.children = std::move(children);
    return DiskNode::make(std::move(fields));
}

// `count` children with long-tailed sizes; every tenth is a folder of twenty files.
DiskNodePtr makeTree(int count) {
    std::mt19937_64 random(7);
    std::vector<DiskNodePtr> children;
    for (int i = 0; i < count; ++i) {
        const std::string path = "/home/user/item" + std::to_string(i);
        const auto size =
            static_cast<std::int64_t>(1000 + random() % 1000000) * (i % 100 == 0 ? 200 : 1);
        if (i % 10 == 0) {
            std::vector<DiskNodePtr> files;
            std::int64_t total = 0;
            for (int j = 0; j < 20; ++j) {
                const auto fileSize = size / 20 + j;
                total += fileSize;
                files.push_back(node(path + "/f" + std::to_string(j), fileSize, false));
            }
            children.push_back(node(path, total, true, std::move(files)));
        } else {
            children.push_back(node(path + ".bin", size, false));
        }
    }
    std::int64_t total = 0;
    for (const auto& child : children) {
        total += child->size;
    }
    return node("/home/user", total, true, std::move(children));
}

// Wall-clock and GUI-thread CPU milliseconds of one call.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

template <typename Work> Cost timed(Work&& work) {
    QElapsedTimer timer;
    const double cpu = bench::threadCpuMs();
    timer.start();
    work();
    return {bench::msSince(timer), bench::threadCpuMs() - cpu};
}

void moveTo(QWidget& view, QPointF point) {
    QMouseEvent move(QEvent::MouseMove, point, view.mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}

// A view that prepares its picture on a worker says whether it is still doing so; the others
// have it ready when setRoot returns.
template <typename View> bool pending(const View& view) {
    if constexpr (requires { view.hasPendingTiles(); }) {
        return view.hasPendingTiles();
    } else {
        return false;
    }
}

// Sets the root and paints the whole view, as a change of mode or of the shown folder does.
// Kept out of line so that a profiler can count this work alone (callgrind --toggle-collect).
template <typename View> [[gnu::noinline]] Cost switchFrame(View& view, const DiskNodePtr& root) {
    return timed([&] {
        view.setRoot(root);
        view.repaint();
    });
}

// What happens after the switch until the view shows its tiles: each pass of the event loop is
// a stretch the GUI thread is busy (a result arriving, its repaint); the longest is returned.
struct Settled {
    Cost untilShown; ///< from the return of switchFrame until nothing is pending
    Cost longest;    ///< the longest single pass of the event loop meanwhile
};
template <typename View> [[gnu::noinline]] Settled settle(View& view) {
    Settled settled;
    settled.untilShown = timed([&] {
        while (pending(view)) {
            const Cost pass = timed([] { QApplication::processEvents(); });
            settled.longest.wall = std::max(settled.longest.wall, pass.wall);
            settled.longest.cpu = std::max(settled.longest.cpu, pass.cpu);
            if (pending(view)) {
                QThread::usleep(100);
            }
        }
    });
    return settled;
}

struct Samples {
    std::vector<double> wall;
    std::vector<double> cpu;
    void add(const Cost& cost) {
        wall.push_back(cost.wall);
        cpu.push_back(cost.cpu);
    }
    // "median (max)" of wall and of CPU, as two table cells.
    void print(const char* format) const {
        std::printf(format, bench::percentile(wall, 0.5), bench::percentile(wall, 1.0),
                    bench::percentile(cpu, 0.5), bench::percentile(cpu, 1.0));
    }
};

// Shown in a 1000 × 700 window: "switch" sets the root (layout) and paints the whole view, as
// a change of mode or of the shown folder does; "hover" moves the pointer and paints the whole
// view (an upper bound: the views repaint only what the hover changed). For a view that
// prepares its tiles on a worker, also the time until they show, the longest stretch of GUI
// work meanwhile and the first frame that shows them. VISUAL_SAVE=file.png saves that frame;
// VISUAL_EACH=1 prints every switch.
template <typename View> void measure(const char* name, const DiskNodePtr& root) {
    constexpr int kRuns = 20;
    const QByteArray only = qgetenv("VISUAL_MODE");
    if (!only.isEmpty() && only != name) {
        return;
    }
    Samples switched;
    Samples hovered;
    Samples untilShown;
    Samples arrival;
    Samples shownFrame;
    Samples everyFrame;
    View view;
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    for (int run = 0; run < kRuns; ++run) {
        view.setRoot(nullptr);
        QApplication::processEvents();
        const Cost shown = switchFrame(view, root);
        const Settled settled = settle(view);
        const Cost withTiles = timed([&] { view.repaint(); });
        switched.add(shown);
        if (qEnvironmentVariableIsSet("VISUAL_EACH")) {
            std::printf("%s switch %d: %.1f [%.1f]\n", name, run, shown.wall, shown.cpu);
        }
        untilShown.add(settled.untilShown);
        arrival.add(settled.longest);
        shownFrame.add(withTiles);
        everyFrame.add({std::max({shown.wall, settled.longest.wall, withTiles.wall}),
                        std::max({shown.cpu, settled.longest.cpu, withTiles.cpu})});
        moveTo(view, QPointF(200, 150));
        QApplication::processEvents();
        // The flame graph's rows lie near the top: there the pointer moves between a child's
        // bar and a grandchild's.
        constexpr bool rowsAtTop = std::is_same_v<View, FlameGraphHierarchyView>;
        const double y = rowsAtTop ? (run % 2 ? 60 : 100) : (run % 2 ? 330 : 370);
        hovered.add(timed([&] {
            moveTo(view, QPointF(run % 2 ? 520 : 480, y));
            view.repaint();
        }));
    }
    std::printf("| %s ", name);
    switched.print("| %.1f (%.1f) | %.1f (%.1f) ");
    hovered.print("| %.2f (%.2f) | %.2f (%.2f) |\n");
    if constexpr (requires { view.hasPendingTiles(); }) {
        std::printf("\n%s, wall (GUI CPU): ", name);
        untilShown.print("until the tiles show %.1f (%.1f) [%.1f (%.1f)]; ");
        arrival.print("longest GUI stretch meanwhile %.2f (%.2f) [%.2f (%.2f)]; ");
        shownFrame.print("frame showing them %.2f (%.2f) [%.2f (%.2f)]; ");
        everyFrame.print("every GUI stretch of a switch %.1f (%.1f) [%.1f (%.1f)]\n\n");
    }
    const QByteArray save = qgetenv("VISUAL_SAVE");
    if (!save.isEmpty()) {
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        view.render(&image);
        image.save(QString::fromLocal8Bit(save));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    applyDarkAppearance(app);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const double loadStart = bench::loadAverage();
    const auto root = makeTree(count);
    // As the application does at start, while a folder is chosen and scanned.
    warmUpVisualModes();
    bench::pumpEvents(500);
    std::printf("%d children, median (max) of 20, milliseconds (wall clock, GUI-thread CPU)\n\n",
                count);
    std::printf(
        "| Mode | switch wall | switch CPU | hover + full frame wall | hover + full frame CPU |\n"
        "|---|---|---|---|---|\n");
    measure<KelvaneNestedTileView>("Treemap", root);
    measure<FolderCardView>("Folders", root);
    measure<BubbleNodeView>("Bubbles", root);
    measure<SunburstRadialView>("Sunburst", root);
    measure<FlameGraphHierarchyView>("Flame", root);
    measure<MindMapBranchView>("Mind Map", root);
    std::printf("\nLoad average (1 min) at start %.1f, at end %.1f, on %d processors\n", loadStart,
                bench::loadAverage(), QThread::idealThreadCount());
    return 0;
}
