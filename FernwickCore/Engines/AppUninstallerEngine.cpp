#include "FernwickCore/Engines/AppUninstallerEngine.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/DirectorySize.h"
#include "FernwickCore/Platform/DomainError.h"
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/PropertyList.h"
#include "FernwickCore/Platform/Trash.h"

#include <algorithm>
#include <sys/stat.h>

namespace fernwick {
namespace {

// A name that stays one component inside the folder it is appended to. Bundle
// identifiers come from downloaded bundles: "", ".", "..", or one holding "/"
// or NUL would name the folder itself or a place outside it.
bool isSingleComponent(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

// Bytes of an item: a folder's allocated bytes below it (hidden items and
// bundle contents included), a file's length, 0 when nothing is there.
std::int64_t calculateSize(const std::filesystem::path& url) {
    struct stat info {};
    if (::stat(url.c_str(), &info) != 0) {
        return 0;
    }
    if (!S_ISDIR(info.st_mode)) {
        // The item's own attributes: a symbolic link to a file counts as the link.
        return ::lstat(url.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
    }
    return measureDirectory(url, /*skipHidden=*/false).allocatedBytes;
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

} // namespace

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
    std::vector<InstalledApp> apps;
    for (const auto& folder : {m_systemApplications, m_environment.home / "Applications"}) {
        for (const std::string& entry :
             listFolderNames(folder, /*skipHidden=*/true).value_or(std::vector<std::string>())) {
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
            app.relatedItems = findAssociatedItems(app.name, app.bundleIdentifier);
            apps.push_back(std::move(app));
        }
    }
    std::stable_sort(apps.begin(), apps.end(), [](const InstalledApp& a, const InstalledApp& b) {
        return a.totalSize() > b.totalSize();
    });
    return apps;
}

std::vector<AppAssociatedItem>
AppUninstallerEngine::findAssociatedItems(const std::string& appName,
                                          const std::optional<std::string>& bundleID) const {
    const std::filesystem::path library = m_environment.home / "Library";
    const std::string id = bundleID && isSingleComponent(*bundleID) ? *bundleID : std::string();
    std::vector<AppAssociatedItem> items;
    const auto add = [&](const char* folder, const std::string& component, std::string name,
                         AppArtifactKind kind, AssociationConfidence confidence, bool selected) {
        if (!isSingleComponent(component)) {
            return;
        }
        const std::filesystem::path base = library / folder;
        const std::filesystem::path path = base / component;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || paths::standardize(path).parent_path() != base) {
            return;
        }
        items.push_back({Uuid::random(), std::move(name), path, calculateSize(path), kind,
                         confidence, selected});
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
    return items;
}

void AppUninstallerEngine::uninstallApp(const InstalledApp& app, bool removeRelated) const {
    if (app.isRunning) {
        throw DomainError("Fernwick", 409,
                          app.name + " is currently running. Please quit the application before "
                                     "uninstalling.");
    }
    const CheckedTrashMove bundle = m_safety->moveToTrashChecked(app.bundleURL, {}, *m_trash);
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
            // A refused or failed leftover stays where it is; the uninstall still
            // succeeds.
            (void)m_safety->moveToTrashChecked(item.url, {}, *m_trash);
        }
    }
}

} // namespace fernwick
