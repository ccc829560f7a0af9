// Responsiveness of the developer cleaner under the offscreen platform: the longest gap between
// ticks of a 10 ms timer on the GUI thread while 200 ticked items (real folders in a temporary
// home, each with a few files) are moved to that home's Trash, the developer storage is rescanned
// and the list is shown again.
// Usage: tools-bench [items]   (default 200)

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Tools/DeveloperCleanerView.h"
#include "bench/ui/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;

using namespace fernwick::bench;

namespace {

StyledButton* findButton(QWidget* parent, const QString& label) {
    for (auto* button : parent->findChildren<StyledButton*>()) {
        if (button->label() == label) {
            return button;
        }
    }
    return nullptr;
}

// Records the longest single delivery of an event on the GUI thread, in processor time (so the
// machine's load, which delays the thread, does not count) and in wall time.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        if (m_depth++ > 0 || !recording) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        // Read before delivery: a deferred delete destroys the receiver.
        const char* className = receiver->metaObject()->className();
        const int type = static_cast<int>(event->type());
        const double cpu = threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        const bool handled = QApplication::notify(receiver, event);
        const double spent = threadCpuMs() - cpu;
        if (spent > longestCpu) {
            longestCpu = spent;
            longestWall = static_cast<double>(wall.nsecsElapsed()) / 1e6;
            longestWhat = std::string(className) + " event " + std::to_string(type);
        }
        --m_depth;
        return handled;
    }

    bool recording = false;
    double longestCpu = 0;
    double longestWall = 0;
    std::string longestWhat;

private:
    int m_depth = 0;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    applyDarkAppearance(app);
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;

    QTemporaryDir home;
    const std::filesystem::path root = home.path().toStdString();
    const Environment env = Environment::forHome(root);
    auto preferences = std::make_shared<PreferencesStore>(env.preferencesFile());
    std::vector<DeveloperStorageItem> catalogue;
    for (int i = 0; i < count; ++i) {
        const auto folder = root / "caches" / ("cache-" + std::to_string(i));
        std::filesystem::create_directories(folder / "nested");
        for (int f = 0; f < 4; ++f) {
            std::ofstream(folder / "nested" / ("part-" + std::to_string(f))) << "cached bytes";
        }
        DeveloperStorageItem item;
        item.name = "cache-" + std::to_string(i);
        item.groupName = i % 3 == 0 ? "Node & Web" : "Build Caches";
        item.path = folder.string();
        item.size = 1000 + i;
        item.explanation = "Rebuilt on demand by the build tool.";
        item.recommendedAction = "Safe to remove.";
        item.canClean = true;
        item.isSelected = true;
        catalogue.push_back(item);
    }

    AppServices services;
    services.safety = std::make_shared<SafetyEngine>(env, preferences);
    services.trash = std::make_shared<Trash>(env);
    services.preferences = preferences;
    services.hasFullDiskAccess = [] { return true; };
    services.home = root;
    services.scanDeveloperStorage = [&catalogue] {
        // What is left of the catalogue, with fresh ids, as the engine reports it.
        std::vector<DeveloperStorageItem> left;
        for (auto item : catalogue) {
            if (std::filesystem::exists(item.path)) {
                item.id = Uuid::random();
                left.push_back(item);
            }
        }
        return left;
    };
    AppState state(services);
    bool loaded = false;
    state.scanDeveloperStorage([&loaded] { loaded = true; });
    while (!loaded) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    DeveloperCleanerView view(state, ToolSeams{});
    view.resize(960, 680);
    view.show();
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    double lastTick = 0;
    double start = 0;
    std::vector<double> gaps;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        gaps.push_back(now - lastTick);
        if (std::getenv("TOOLS_BENCH_TRACE") != nullptr && now - lastTick > 20) {
            std::printf("  gap %.1f ms ending at %.1f ms\n", now - lastTick, now - start);
        }
        lastTick = now;
    });

    StyledButton* clean = findButton(&view, QStringLiteral("Move Selected to Trash"));
    const double loadBefore = loadAverage();
    clean->click();
    auto* dialog = view.confirmation();
    if (dialog == nullptr) {
        std::fprintf(stderr, "no confirmation\n");
        return 1;
    }
    lastTick = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    start = lastTick;
    ticker.start(10);
    const double cpuBefore = threadCpuMs();
    app.recording = true;
    dialog->destructiveButton()->click();
    // Done when the rescan after the moves has been published.
    QElapsedTimer limit;
    limit.start();
    while ((state.isScanningDeveloper() ||
            state.developerItems().size() == static_cast<std::size_t>(count)) &&
           limit.elapsed() < 120000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    QApplication::processEvents();
    const double total = static_cast<double>(clock.nsecsElapsed()) / 1e6 - start;
    const double guiCpu = threadCpuMs() - cpuBefore;
    app.recording = false;
    ticker.stop();

    std::printf("developer clean of %d items (load average %.1f before, %.1f after)\n", count,
                loadBefore, loadAverage());
    std::printf("  moved: %zu left of %d, alert: %s, total %.0f ms, GUI-thread processor time "
                "%.1f ms\n",
                state.developerItems().size(), count,
                state.userAlert() ? state.userAlert()->title.c_str() : "none", total, guiCpu);
    std::printf("  10 ms timer during the clean: %zu ticks, longest gap %.1f ms, p99 %.1f ms, "
                "median %.1f ms\n",
                gaps.size(), percentile(gaps, 1.0), percentile(gaps, 0.99), percentile(gaps, 0.5));
    std::printf("  longest single event on the GUI thread: %.1f ms processor time (%.1f ms wall), "
                "%s\n",
                app.longestCpu, app.longestWall, app.longestWhat.c_str());
    return 0;
}
