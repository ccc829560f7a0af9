// Time to show a folder of 10,000 children in each visual mode (set the root, which lays it out,
// and draw the first frame) and to draw a later frame (a hover change). Offscreen, 1000 × 700.
//
//   visual_modes_paint [children]

#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Visualisations/BubbleNodeView.h"
#include "FernwickUI/Visualisations/FlameGraphHierarchyView.h"
#include "FernwickUI/Visualisations/FolderCardView.h"
#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"
#include "FernwickUI/Visualisations/MindMapBranchView.h"
#include "FernwickUI/Visualisations/SunburstRadialView.h"

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

// The machine's load average over the last minute, as the kernel reports it (-1 if unknown).
double loadAverage() {
    double load = -1;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1) {
            load = -1;
        }
        std::fclose(file);
    }
    return load;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double maximum(const std::vector<double>& values) {
    return *std::max_element(values.begin(), values.end());
}

// Wall-clock and GUI-thread CPU milliseconds of one call.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

template <typename Work> Cost timed(Work&& work) {
    QElapsedTimer timer;
    const double cpu = threadCpuMs();
    timer.start();
    work();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, threadCpuMs() - cpu};
}

void moveTo(QWidget& view, QPointF point) {
    QMouseEvent move(QEvent::MouseMove, point, view.mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}

// Shown in a 1000 × 700 window: "switch" sets the root (layout) and paints the whole view, as
// a change of mode or of the shown folder does; "hover" moves the pointer and paints the whole
// view (an upper bound: the views repaint only what the hover changed).
template <typename View> void measure(const char* name, const DiskNodePtr& root) {
    constexpr int kRuns = 20;
    const QByteArray only = qgetenv("VISUAL_MODE");
    if (!only.isEmpty() && only != name) {
        return;
    }
    std::vector<double> switchWall;
    std::vector<double> switchCpu;
    std::vector<double> hoverWall;
    std::vector<double> hoverCpu;
    View view;
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    for (int run = 0; run < kRuns; ++run) {
        view.setRoot(nullptr);
        QApplication::processEvents();
        const auto shown = timed([&] {
            view.setRoot(root);
            view.repaint();
        });
        switchWall.push_back(shown.wall);
        switchCpu.push_back(shown.cpu);
        moveTo(view, QPointF(200, 150));
        QApplication::processEvents();
        const auto hovered = timed([&] {
            moveTo(view, QPointF(run % 2 ? 520 : 480, run % 2 ? 330 : 370));
            view.repaint();
        });
        hoverWall.push_back(hovered.wall);
        hoverCpu.push_back(hovered.cpu);
    }
    std::printf("| %s | %.1f (%.1f) | %.1f (%.1f) | %.2f (%.2f) | %.2f (%.2f) |\n", name,
                median(switchWall), maximum(switchWall), median(switchCpu), maximum(switchCpu),
                median(hoverWall), maximum(hoverWall), median(hoverCpu), maximum(hoverCpu));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    applyDarkAppearance(app);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const double loadStart = loadAverage();
    const auto root = makeTree(count);
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
                loadAverage(), QThread::idealThreadCount());
    return 0;
}
