// GUI-thread times of the tool screens on large data, under the offscreen platform (release):
//  - Large Files with 100,000 listed files out of a 1,000,000-node tree: opening the sheet to its
//    first painted frame, the paths folded for the filter (on a worker), each keystroke of typing
//    "mov" and erasing it, a one-page scroll frame, a threshold chip: the click, the longest the
//    GUI thread stays busy at a stretch until the list found by the worker shows (its arrival
//    included), and how long that takes in all;
//  - Duplicate Finder with 10,000 clusters of 3 copies: opening, a tick (row, header and footer
//    repainted), a scroll frame;
//  - Cleanup History with 1,000 audit entries and 1,000 snapshots: opening to the first frame after
//    the loads, a scroll frame.
// Each figure: median and maximum of 5 runs (or more), in milliseconds, as time passed and as the
// GUI thread's processor time. The load average is printed before and after.

#include "FernwickUI/Kit/Chip.h"
#include "FernwickUI/Kit/PaintedCardList.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Tools/DuplicatesModel.h"
#include "FernwickUI/Tools/DuplicatesView.h"
#include "FernwickUI/Tools/HistoryView.h"
#include "FernwickUI/Tools/LargeFilesModel.h"
#include "FernwickUI/Tools/LargeFilesView.h"
#include "bench/ui/BenchSupport.h"
#include "tests/Support/TreeBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;

using namespace fernwick::bench;

namespace {

// One measurement: the time that passed, and the processor time the GUI thread used in it (on a
// loaded machine the first also counts the time other processes held the cores).
struct Timing {
    double wall = 0;
    double cpu = 0;
};

void report(const char* what, const std::vector<Timing>& timings) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Timing& timing : timings) {
        wall.push_back(timing.wall);
        cpu.push_back(timing.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-60s median %7.2f max %7.2f ms | GUI thread median %7.2f max %7.2f ms (n=%zu)\n",
                what, wall[wall.size() / 2], wall.back(), cpu[cpu.size() / 2], cpu.back(),
                wall.size());
}

Timing timed(const std::function<void()>& work) {
    QElapsedTimer clock;
    const double cpu = threadCpuMs();
    clock.start();
    work();
    return {static_cast<double>(clock.nsecsElapsed()) / 1e6, threadCpuMs() - cpu};
}

// 1,000 folders of 1,000 files; every tenth file is at least 100 MiB.
DiskNodePtr bigTree() {
    const std::filesystem::path base = "/bench/home";
    std::vector<DiskNodePtr> folders;
    for (int f = 0; f < 1000; ++f) {
        const auto folder = base / ("Folder " + std::to_string(f));
        std::vector<DiskNodePtr> files;
        files.reserve(1000);
        for (int i = 0; i < 1000; ++i) {
            const bool large = i % 10 == 0;
            const std::int64_t size =
                large ? 104857600 + static_cast<std::int64_t>((f * 7919 + i) % 9973) * 1048576
                      : 4096 + i;
            const char* extension = i % 3 == 0 ? ".mov" : (i % 3 == 1 ? ".iso" : ".bin");
            files.push_back(test::makeNode(folder / ("file " + std::to_string(i) + extension),
                                           false, size, StorageCategory::videos));
        }
        folders.push_back(
            test::makeNode(folder, true, 0, StorageCategory::other, std::move(files)));
    }
    auto root = test::makeNode(base, true, 0, StorageCategory::other, std::move(folders));
    root->recalculateTotalSize();
    return root;
}

class FixedScanner final : public DiskScanning {
public:
    explicit FixedScanner(DiskNodePtr root) : m_root(std::move(root)) {}
    DiskNodePtr scan(const std::filesystem::path&, int,
                     std::function<void(const ScanProgress&)>) override {
        return m_root;
    }
    void cancel() override {}

private:
    DiskNodePtr m_root;
};

void settle(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
}

void clickAt(QWidget* viewport, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
}

Timing scrollPage(QAbstractScrollArea* area) {
    QScrollBar* bar = area->verticalScrollBar();
    return timed([&] {
        bar->setValue(bar->value() + bar->pageStep());
        area->viewport()->repaint();
    });
}

template <typename Screen>
Timing openSheet(AppState& state, MainWindow& window, ActiveModal modal, Screen*& screen,
                 const std::function<bool(Screen*)>& loaded = {}) {
    state.setActiveModal(std::nullopt);
    QCoreApplication::processEvents();
    return timed([&] {
        state.openTool(modal);
        settle([&] {
            screen = window.toolSheet() ? window.toolSheet()->findChild<Screen*>() : nullptr;
            return screen != nullptr && (!loaded || loaded(screen));
        });
        window.toolSheet()->repaint();
    });
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    usePrivateHome(home);
    QApplication app(argc, argv);
    applyDarkAppearance(app);
    std::printf("load average before: %.2f\n", loadAverage());

    const DiskNodePtr root = bigTree();
    std::vector<DuplicateCluster> clusters;
    for (int c = 0; c < 10000; ++c) {
        DuplicateCluster cluster;
        cluster.id = Uuid::random();
        cluster.fileSize = 1000000;
        for (int i = 0; i < 3; ++i) {
            DuplicateFileItem item;
            item.id = Uuid::random();
            item.url = "/bench/dups/set " + std::to_string(c) + "/copy " + std::to_string(i);
            item.size = cluster.fileSize;
            item.isOriginal = i == 0;
            cluster.items.push_back(item);
        }
        clusters.push_back(std::move(cluster));
    }
    std::vector<CleanupAuditEntry> audit(1000);
    std::vector<StorageSnapshot> snapshots(1000);
    for (std::size_t i = 0; i < 1000; ++i) {
        audit[i].id = Uuid::random();
        audit[i].originalURL = "/bench/home/cache " + std::to_string(i);
        audit[i].reclaimedBytes = static_cast<std::int64_t>(i) * 1000;
        audit[i].status = "Successfully moved to Trash";
        snapshots[i].id = Uuid::random();
        snapshots[i].totalUsedBytes = 700000000000;
        snapshots[i].totalFreeBytes = 300000000000;
    }

    AppServices services = AppServices::real();
    services.makeScanner = [root] { return std::make_shared<FixedScanner>(root); };
    services.generateSmartCleanupPlan = [](const DiskNodePtr&) { return CleanupPlan{}; };
    services.recordSnapshot = [](auto, auto, auto) {};
    services.getAuditHistory = [audit] { return audit; };
    services.getSnapshots = [snapshots] { return snapshots; };
    services.findDuplicates = [clusters](auto&&...) { return clusters; };
    AppState state(services);
    MainWindow window(state);
    window.resize(1440, 900);
    window.show();
    state.startScan();
    settle([&] {
        return state.scanState().kind() == ScanState::Kind::completed &&
               !state.largeFiles().empty();
    });
    std::printf("tree: 1,000,000 files; large files listed: %zu\n", state.largeFiles().size());

    // Large files.
    std::vector<Timing> open, ready, keys, scroll, chips, chipBusy, chipDone;
    LargeFilesView* large = nullptr;
    for (int run = 0; run < 5; ++run) {
        open.push_back(openSheet(state, window, ActiveModal::largeFiles, large));
        ready.push_back(timed([&] { settle([&] { return large->model()->pathsPrepared(); }); }));
        QLineEdit* field = large->filterField();
        for (const char* key : {"m", "o", "v"}) {
            keys.push_back(timed([&] {
                field->insert(QString::fromLatin1(key));
                large->list()->viewport()->repaint();
            }));
        }
        for (int i = 0; i < 3; ++i) {
            keys.push_back(timed([&] {
                field->backspace();
                large->list()->viewport()->repaint();
            }));
        }
        scroll.push_back(scrollPage(large->list()));
        for (const int chip : {1, 0}) {
            const auto before = state.largeFiles().size();
            Timing busiest;
            const auto busy = [&](const Timing& stretch) {
                busiest.wall = std::max(busiest.wall, stretch.wall);
                busiest.cpu = std::max(busiest.cpu, stretch.cpu);
            };
            chipDone.push_back(timed([&] {
                chips.push_back(timed([&] {
                    large->chips()[static_cast<std::size_t>(chip)]->click();
                    large->repaint();
                }));
                while (state.largeFiles().size() == before) {
                    busy(timed([] { QCoreApplication::processEvents(QEventLoop::AllEvents); }));
                }
                busy(timed([&] { large->repaint(); }));
            }));
            chipBusy.push_back(busiest);
        }
    }
    report("large files: open to first frame (100,000 rows)", open);
    report("large files: filter texts ready, after the first frame (worker)", ready);
    report("large files: filter keystroke (type 'mov', erase)", keys);
    report("large files: one-page scroll frame", scroll);
    report("large files: threshold chip, the click (GUI thread)", chips);
    report("large files: chip, longest GUI-thread stretch until shown", chipBusy);
    report("large files: chip, until the list shows (worker, 1,000,000)", chipDone);

    // Duplicates.
    state.setDuplicateClusters(clusters);
    open.clear();
    scroll.clear();
    std::vector<Timing> ticks;
    DuplicatesView* duplicates = nullptr;
    for (int run = 0; run < 5; ++run) {
        open.push_back(openSheet(state, window, ActiveModal::duplicates, duplicates));
        RowList* list = duplicates->list();
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum() / 2);
        scroll.push_back(scrollPage(list));
        const QModelIndex first = list->indexAt(QPoint(10, 60));
        int target = first.row();
        while (!duplicates->model()
                    ->data(duplicates->model()->index(target), Qt::CheckStateRole)
                    .isValid()) {
            ++target;
        }
        const QPoint at = list->actionRect(target, DuplicatesView::tick).center();
        const int before = list->verticalScrollBar()->value();
        ticks.push_back(timed([&] {
            clickAt(list->viewport(), at);
            duplicates->repaint();
        }));
        if (list->verticalScrollBar()->value() != before) {
            std::printf("scroll position moved on a tick!\n");
        }
    }
    report("duplicates: open to first frame (10,000 x 3)", open);
    report("duplicates: tick (row, header, footer repainted)", ticks);
    report("duplicates: one-page scroll frame", scroll);

    // History.
    open.clear();
    scroll.clear();
    HistoryView* history = nullptr;
    for (int run = 0; run < 5; ++run) {
        open.push_back(openSheet<HistoryView>(
            state, window, ActiveModal::history, history,
            [](HistoryView* view) { return view->timelineList()->rowCount() == 1000; }));
        history->verticalScrollBar()->setValue(history->verticalScrollBar()->maximum() / 3);
        scroll.push_back(scrollPage(history));
    }
    report("history: open to first frame after the loads (1,000 + 1,000)", open);
    report("history: one-page scroll frame", scroll);
    std::printf("load average after: %.2f\n", loadAverage());
    return 0;
}
