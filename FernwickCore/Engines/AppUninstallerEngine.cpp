#include "FernwickCore/Engines/AppUninstallerEngine.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/DesktopEntry.h"
#include "FernwickCore/Platform/DirectorySize.h"
#include "FernwickCore/Platform/DomainError.h"
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/PropertyList.h"
#include "FernwickCore/Platform/Trash.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <utility>

namespace fernwick {
namespace {

// A name that stays one component inside the folder it is appended to. Bundle
// identifiers come from downloaded bundles: "", ".", "..", or one holding "/"
// or NUL would name the folder itself or a place outside it.
bool isSingleComponent(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// Bytes of an item, measured the way the scanner walks: a folder's allocated bytes below it
// (hidden items and bundle contents included, no link below it followed), a file's length, a
// symbolic link's own length (what it points to is never measured: ~/.config/Tool -> / is not
// a walk of the whole file system), 0 when nothing is there.
std::int64_t calculateSize(const std::filesystem::path& url) {
    struct stat info {};
    if (::lstat(url.c_str(), &info) != 0) {
        return 0;
    }
    if (!S_ISDIR(info.st_mode)) {
        return static_cast<std::int64_t>(info.st_size);
    }
    // O_NOFOLLOW: a folder swapped for a link after the lstat is not entered.
    return measureOpenDirectory(
               ::open(url.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
               /*skipHidden=*/false)
        .allocatedBytes;
}

struct BundleFacts {
    std::optional<std::string> identifier;
    std::optional<std::string> version;
};

// What the bundle's Info.plist says; nothing when the entry is not a folder or
// holds no readable property list.
BundleFacts readBundle(const std::filesystem::path& bundle) {
    struct stat info {};
    if (::stat(bundle.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return {};
    }
    auto strings = readPropertyListFile(bundle / "Contents" / "Info.plist");
    if (!strings) {
        strings = readPropertyListFile(bundle / "Info.plist"); // a bundle without Contents/
    }
    if (!strings) {
        return {};
    }
    BundleFacts facts;
    if (auto found = strings->find("CFBundleIdentifier"); found != strings->end()) {
        facts.identifier = found->second;
    }
    if (auto found = strings->find("CFBundleShortVersionString"); found != strings->end()) {
        facts.version = found->second;
    }
    return facts;
}

// The suffix of an AppImage's file name (isAppImageName).
constexpr std::string_view kAppImageSuffix = ".appimage";

struct AppImageName {
    std::string name;
    std::optional<std::string> version;
};

// "<name>-<version>[-<arch>]": a "-" followed by a digit starts the version, and a final
// architecture is dropped from it. Any other shape is all name.
AppImageName parseAppImageName(const std::string& stem) {
    constexpr std::array<std::string_view, 6> kArchitectures = {"-x86_64", "-aarch64", "-amd64",
                                                                "-arm64",  "-i386",    "-armhf"};
    for (std::size_t dash = stem.find('-'); dash != std::string::npos;
         dash = stem.find('-', dash + 1)) {
        if (dash == 0 || dash + 1 == stem.size() || stem[dash + 1] < '0' || stem[dash + 1] > '9') {
            continue;
        }
        std::string version = stem.substr(dash + 1);
        for (const std::string_view arch : kArchitectures) {
            if (version.size() > arch.size() && version.ends_with(arch)) {
                version.resize(version.size() - arch.size());
                break;
            }
        }
        return {stem.substr(0, dash), std::move(version)};
    }
    return {stem, std::nullopt};
}

// An AppImage runs when a process names it in APPIMAGE= or executes the file itself.
bool isAppImageRunning(const std::filesystem::path& file,
                       const std::vector<std::filesystem::path>& executables,
                       const std::vector<std::filesystem::path>& appImages) {
    const std::filesystem::path resolved = paths::resolveSymlinks(file);
    const auto named = [&](const std::filesystem::path& path) {
        const std::filesystem::path standardized = paths::standardize(path);
        return standardized == file || standardized == resolved;
    };
    return std::any_of(executables.begin(), executables.end(), named) ||
           std::any_of(appImages.begin(), appImages.end(), named);
}

bool isRegularFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The entry's own inode and device, a final link not followed; zeros when it cannot be read.
FileIdentity identity(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? FileIdentity::of(info) : FileIdentity{};
}

void recordBundleIdentity(InstalledApp& app) {
    const FileIdentity found = identity(app.bundleURL);
    app.bundleInode = found.inode;
    app.bundleDeviceID = found.device;
    app.bundleModified = found.modified;
}

} // namespace

/// Adds one leftover per row whose place exists, in the order the rows are tried.
class AppUninstallerEngine::Leftovers {
public:
    /// An item for `base`/`component` when something is there and the name stays a single
    /// component directly inside `base`; with `once`, never a second item for one file.
    void add(const std::filesystem::path& base, const std::string& component, std::string name,
             AppArtifactKind kind, AssociationConfidence confidence, bool selected,
             bool once = false) {
        if (!isSingleComponent(component)) {
            return;
        }
        const std::filesystem::path path = base / component;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || paths::standardize(path).parent_path() != base) {
            return;
        }
        // The entry itself, not what a link there points to: two links to one folder are two.
        const FileIdentity found = identity(path);
        if (once && !m_seen.insert({found.device, found.inode}).second) {
            return;
        }
        m_items.push_back({Uuid::random(), std::move(name), path, calculateSize(path), kind,
                           confidence, selected, found.inode, found.device, found.modified});
    }
    /// The launcher as the listing read it, with the identity of the file it read.
    void addLauncher(const std::filesystem::path& folder, const DesktopLauncher& launcher) {
        const std::filesystem::path path = folder / launcher.name;
        m_items.push_back({Uuid::random(), "Desktop Launcher", path, calculateSize(path),
                           AppArtifactKind::applicationSupport,
                           AssociationConfidence::stronglyAssociated, true, launcher.inode,
                           launcher.deviceID, launcher.modified});
    }
    std::vector<AppAssociatedItem> take() { return std::move(m_items); }

private:
    std::vector<AppAssociatedItem> m_items;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_seen;
};

AppUninstallerEngine::AppUninstallerEngine(Environment environment,
                                           std::shared_ptr<const SafetyEngine> safety,
                                           std::shared_ptr<const Trash> trash,
                                           RunningPrograms running,
                                           std::filesystem::path systemApplications)
    : m_environment(std::move(environment)), m_safety(std::move(safety)), m_trash(std::move(trash)),
      m_running(std::move(running)), m_systemApplications(std::move(systemApplications)) {}

std::shared_ptr<AppUninstallerEngine> AppUninstallerEngine::shared() {
    static const auto instance = std::make_shared<AppUninstallerEngine>(
        Environment::current(), SafetyEngine::shared(), Trash::shared());
    return instance;
}

std::vector<InstalledApp> AppUninstallerEngine::scanInstalledApplications() const {
    const std::vector<std::filesystem::path> executables = m_running.executables();
    const std::vector<std::filesystem::path> appImages = m_running.appImages();
    // Read once here, not once per AppImage: a home with many of both stays quick.
    const std::vector<DesktopLauncher> launchers =
        readDesktopLaunchers(m_environment.dataHome / "applications");
    // Before anything is read: what changes after this is told by its change time.
    const TimePoint listed = listingStart();
    std::vector<InstalledApp> apps;
    for (const auto& folder : {m_systemApplications, m_environment.home / "Applications"}) {
        for (const std::string& entry :
             listFolderNames(folder, /*skipHidden=*/true).value_or(std::vector<std::string>())) {
            if (isAppImageName(entry) && isRegularFile(folder / entry)) {
                apps.push_back(appImage(folder / entry, entry, executables, appImages, launchers));
                continue;
            }
            if (paths::lowercased(paths::extension(entry)) != "app") {
                continue;
            }
            const std::filesystem::path bundle = folder / entry;
            InstalledApp app;
            app.id = Uuid::random();
            app.name = entry.substr(0, entry.size() - 4);
            app.bundleURL = bundle;
            const BundleFacts facts = readBundle(bundle);
            app.bundleIdentifier = facts.identifier;
            app.version = facts.version;
            app.isRunning = facts.identifier && !facts.identifier->empty() &&
                            RunningPrograms::anyAtOrUnder(executables, bundle);
            app.appSize = calculateSize(bundle);
            recordBundleIdentity(app);
            app.relatedItems = findAssociatedItems(app.name, app.bundleIdentifier);
            apps.push_back(std::move(app));
        }
    }
    for (auto& app : apps) {
        app.listedAt = listed;
    }
    std::stable_sort(apps.begin(), apps.end(), [](const InstalledApp& a, const InstalledApp& b) {
        return a.totalSize() > b.totalSize();
    });
    return apps;
}

InstalledApp AppUninstallerEngine::appImage(const std::filesystem::path& file,
                                            const std::string& entry,
                                            const std::vector<std::filesystem::path>& executables,
                                            const std::vector<std::filesystem::path>& appImages,
                                            const std::vector<DesktopLauncher>& launchers) const {
    AppImageName parsed = parseAppImageName(entry.substr(0, entry.size() - kAppImageSuffix.size()));
    InstalledApp app;
    app.id = Uuid::random();
    app.name = std::move(parsed.name);
    app.bundleURL = file;
    app.version = std::move(parsed.version);
    app.isRunning = isAppImageRunning(file, executables, appImages);
    app.appSize = calculateSize(file);
    recordBundleIdentity(app);
    app.relatedItems = findAssociatedItems(app.name, std::nullopt);

    // After the given rows, the places this platform's applications keep their data in.
    Leftovers leftovers;
    using Kind = AppArtifactKind;
    constexpr auto probably = AssociationConfidence::probablyAssociated;
    const std::string lower = paths::lowercased(app.name);
    const auto byName = [&](const std::filesystem::path& base, const char* label, Kind kind) {
        for (const std::string& component : {app.name, lower}) {
            leftovers.add(base, component, label + component + ")", kind, probably, false, true);
        }
    };
    byName(m_environment.configHome, "App Support (", Kind::applicationSupport);
    byName(m_environment.dataHome, "App Support (", Kind::applicationSupport);
    byName(m_environment.cacheHome, "Cache (", Kind::caches);
    const std::filesystem::path launcherFolder = m_environment.dataHome / "applications";
    for (const DesktopLauncher& launcher : launchers) {
        if (launcher.program == file.native()) {
            leftovers.addLauncher(launcherFolder, launcher);
        }
    }
    for (auto& item : leftovers.take()) {
        app.relatedItems.push_back(std::move(item));
    }
    return app;
}

std::vector<AppAssociatedItem>
AppUninstallerEngine::findAssociatedItems(const std::string& appName,
                                          const std::optional<std::string>& bundleID) const {
    const std::filesystem::path library = m_environment.home / "Library";
    const std::string id = bundleID && isSingleComponent(*bundleID) ? *bundleID : std::string();
    Leftovers items;
    const auto add = [&](const char* folder, const std::string& component, std::string name,
                         AppArtifactKind kind, AssociationConfidence confidence, bool selected) {
        items.add(library / folder, component, std::move(name), kind, confidence, selected);
    };
    using Kind = AppArtifactKind;
    constexpr auto strongly = AssociationConfidence::stronglyAssociated;
    if (!id.empty()) {
        add("Caches", id, "Cache (" + id + ")", Kind::caches, strongly, true);
        add("Application Support", id, "App Support (" + id + ")", Kind::applicationSupport,
            strongly, true);
    }
    add("Application Support", appName, "App Support (" + appName + ")", Kind::applicationSupport,
        AssociationConfidence::probablyAssociated, false);
    if (!id.empty()) {
        add("Containers", id, "Sandbox Container", Kind::containers, strongly, true);
        add("Saved Application State", id + ".savedState", "Saved Application State",
            Kind::savedState, strongly, true);
        add("Preferences", id + ".plist", "Preferences Plist", Kind::preferences, strongly, true);
        add("Logs", id, "App Diagnostic Logs", Kind::logs, strongly, true);
    }
    return items.take();
}

void AppUninstallerEngine::uninstallApp(const InstalledApp& app, bool removeRelated,
                                        const CheckedTrashMover& mover) const {
    if (app.isRunning) {
        throw DomainError("Fernwick", 409,
                          app.name + " is currently running. Please quit the application before "
                                     "uninstalling.");
    }
    // Each item with the identity recorded when it was listed: one replaced since is refused.
    const auto move = [&](const std::string& name, const std::filesystem::path& url,
                          const FileIdentity& recorded) {
        return mover ? mover(name, url, recorded)
                     : m_safety->moveToTrashChecked(url, recorded, *m_trash);
    };
    const CheckedTrashMove bundle = move(app.name, app.bundleURL, app.bundleIdentity());
    if (bundle.refused()) {
        throw DomainError("Fernwick", 403,
                          "Application cannot be removed: " + bundle.validation.reason);
    }
    if (!bundle.moved()) {
        throw DomainError("Trash", 1, bundle.failure);
    }
    if (!removeRelated) {
        return;
    }
    for (const auto& item : app.relatedItems) {
        if (item.isSelected) {
            // A refused or failed leftover stays where it is (one replaced since the
            // listing among them); the uninstall still succeeds.
            (void)move(item.name, item.url, item.identity().listedSince(app.listedAt));
        }
    }
}

} // namespace fernwick
