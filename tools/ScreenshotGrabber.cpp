// Saves pictures of the real main window for tools/screenshots: the welcome screen, a scan in
// progress and the finished scan in each visual mode. Run it with HOME and the XDG folders
// pointed at a fixture home; it scans that home. Usage: ridar-screenshots <output-folder>

#include "FernwickCore/Scanning/AsyncDiskScanner.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/State/AppServices.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QThread>

#include <condition_variable>
#include <cstdio>
#include <mutex>

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

} // namespace

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
    AppState state(services);
    MainWindow window(state);
    window.resize(1280, 800);
    window.show();
    settle(800);
    bool ok = save(window, folder, QStringLiteral("01-welcome"));

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
    return ok ? 0 : 1;
}
