#include "FernwickUI/State/AppServices.h"

#include "FernwickCore/Engines/AppUninstallerEngine.h"
#include "FernwickCore/Engines/HistoryStore.h"
#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickCore/Scanning/AsyncDiskScanner.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace fernwick::ui {

namespace {

// The disk scanner, with the protected locations read from the safety engine at each scan.
class DiskScannerAdapter final : public DiskScanning {
public:
    explicit DiskScannerAdapter(std::function<ProtectedPrefixesSnapshot()> snapshotProvider)
        : m_scanner(std::move(snapshotProvider)) {}

    DiskNodePtr scan(const std::filesystem::path& rootURL, int maxDepth,
                     std::function<void(const ScanProgress&)> onProgress) override {
        return m_scanner.scan(rootURL, maxDepth, onProgress);
    }
    void cancel() override { m_scanner.cancel(); }

private:
    AsyncDiskScanner m_scanner;
};

QUrl fileURL(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.native()));
}

// The file manager's ShowItems call over D-Bus; the parent folder opened as a fallback.
void showInFileManager(const std::filesystem::path& path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileURL(path).toString()} << QString();
    // Asynchronous, so a slow or missing file manager never blocks the window.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, parent = fileURL(path.parent_path())] {
                         if (watcher->isError()) {
                             QDesktopServices::openUrl(parent);
                         }
                         watcher->deleteLater();
                     });
}

} // namespace

std::shared_ptr<DiskScanning>
makeDiskScanner(std::function<ProtectedPrefixesSnapshot()> snapshotProvider) {
    return std::make_shared<DiskScannerAdapter>(std::move(snapshotProvider));
}

bool AppServices::desktopMayOpen(const QUrl& address) {
    const QString scheme = address.scheme().toLower();
    return address.isValid() &&
           (scheme == QLatin1String("https") || scheme == QLatin1String("file"));
}

AppServices AppServices::real() {
    AppServices services;
    auto safety = SafetyEngine::shared();
    services.makeScanner = [safety]() -> std::shared_ptr<DiskScanning> {
        return makeDiskScanner([safety] { return safety->getProtectedPrefixesSnapshot(); });
    };
    services.generateSmartCleanupPlan = [](const DiskNodePtr& root) {
        return CleanupEngine::shared()->generateSmartCleanupPlan(root);
    };
    services.executeCleanup = [](const CleanupPlan& plan, bool isDryRun,
                                 const CheckedTrashMover& mover) {
        return CleanupEngine::shared()->executeCleanup(plan, isDryRun, mover);
    };
    services.getAuditHistory = [] { return CleanupEngine::shared()->getAuditHistory(); };
    services.getSnapshots = [] { return HistoryStore::shared()->getSnapshots(); };
    services.clearSnapshots = [] { HistoryStore::shared()->clearSnapshots(); };
    services.recordSnapshot = [](std::int64_t used, std::int64_t free,
                                 std::map<std::string, std::int64_t> breakdown) {
        HistoryStore::shared()->recordSnapshot(used, free, std::move(breakdown));
    };
    services.findDuplicates = [](const DiskNodePtr& root, std::int64_t minFileSize,
                                 DuplicateResolutionRule rule) {
        return DuplicateFinderEngine::shared()->findDuplicates(root, minFileSize, rule);
    };
    services.scanDeveloperStorage = [] {
        return DeveloperStorageEngine::shared()->scanDeveloperStorage();
    };
    services.scanInstalledApplications = [] {
        return AppUninstallerEngine::shared()->scanInstalledApplications();
    };
    services.uninstallApp = [](const InstalledApp& app, bool removeRelated,
                               const CheckedTrashMover& mover) {
        AppUninstallerEngine::shared()->uninstallApp(app, removeRelated, mover);
    };
    services.sampleMetrics = [] { return SystemMonitor::shared()->sampleMetrics(); };
    services.checkForUpdate = [](const std::string& manifestURL) {
        return UpdateChecker::check(manifestURL);
    };
    services.currentVersion = UpdateChecker::currentVersion();
    services.safety = safety;
    services.trash = Trash::shared();
    services.preferences = PreferencesStore::shared();
    services.revealInFileManager = showInFileManager;
    services.openURL = [](const QUrl& address) {
        return desktopMayOpen(address) && QDesktopServices::openUrl(address);
    };
    services.hasFullDiskAccess = [] { return AsyncDiskScanner::hasFullDiskAccess(); };
    services.home = Environment::current().home;
    services.updateManifestURL = UpdateChecker::defaultManifestURL();
    return services;
}

} // namespace fernwick::ui
