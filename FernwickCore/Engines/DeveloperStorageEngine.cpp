#include "FernwickCore/Engines/DeveloperStorageEngine.h"

#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickCore/Platform/DirectoryReader.h"
#include "FernwickCore/Platform/DirectorySize.h"
#include "FernwickCore/Platform/UniqueFd.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace fernwick {
namespace {

constexpr std::int64_t kMiB = std::int64_t{1024} * 1024;
constexpr std::int64_t kDerivedDataThreshold = 10 * kMiB;
constexpr std::int64_t kDockerThreshold = 100 * kMiB;
// 72 hours: a build folder touched more recently than this is likely still in use.
constexpr auto kRecentBuildWindow = std::chrono::seconds(259'200);

// Where a row's place lies on this platform when nothing is at the given path.
enum class LinuxBase { none, cache, data };

struct FixedPlace {
    const char* relativePath;
    LinuxBase linuxBase;
    const char* linuxRelativePath; // below the XDG folder named by linuxBase
    std::int64_t threshold;
    const char* name;
    const char* groupName;
    RiskLevel riskLevel;
    bool canClean;
    bool isSelected;
    bool likelyActive;
    const char* explanation;
    const char* recommendedAction;
};

// The catalogue in its order; the Docker row comes between the CocoaPods and Ollama rows.
constexpr std::size_t kDockerPosition = 4;
constexpr std::array<FixedPlace, 14> kFixedPlaces{{
    {"/Library/Developer/Xcode/Archives", LinuxBase::none, nullptr, 50 * kMiB,
     "Xcode Release Archives", "Xcode Archives", RiskLevel::medium, true, false, true,
     "Historical build archives used for App Store uploads and symbolication.",
     "Review old releases. Remove only if symbols are no longer needed."},
    {"/Library/Developer/CoreSimulator/Devices", LinuxBase::none, nullptr, 100 * kMiB,
     "iOS Simulator Devices & Runtimes", "iOS Simulators", RiskLevel::medium, false, false, false,
     "Installed simulator runtimes, test devices and app caches.",
     "Use 'xcrun simctl erase all' or review in Xcode Settings > Components."},
    {"/Library/Caches/org.swift.swiftpm", LinuxBase::cache, "org.swift.swiftpm", 25 * kMiB,
     "Swift Package Manager Cache", "SwiftPM", RiskLevel::low, true, false, false,
     "Cached Git checkouts and binary artifacts for Swift packages.",
     "Safe to clean; packages will be re-fetched on build."},
    {"/Library/Caches/CocoaPods", LinuxBase::none, nullptr, 25 * kMiB,
     "CocoaPods Specs & Download Cache", "CocoaPods", RiskLevel::low, true, false, false,
     "Downloaded pod archives and specs repository cache.",
     "Safe to clean; run 'pod cache clean --all'."},
    {"/.ollama/models", LinuxBase::none, nullptr, 100 * kMiB, "Ollama Local LLM Models",
     "AI Models", RiskLevel::medium, false, false, true,
     "Downloaded GGUF neural network weights for Ollama.",
     "Review installed models using 'ollama list' in Terminal."},
    {"/.cache/huggingface/hub", LinuxBase::none, nullptr, 100 * kMiB, "Hugging Face Model Cache",
     "AI Models", RiskLevel::medium, false, false, false,
     "Downloaded transformer models and datasets.",
     "Clean only unused models via 'huggingface-cli delete-cache'."},
    {"/.npm/_cacache", LinuxBase::none, nullptr, 50 * kMiB, "npm Package Cache", "Node & Web",
     RiskLevel::low, true, false, false, "Global npm tarball and index cache.",
     "Safe to clean; packages re-download when needed."},
    {"/Library/pnpm/store", LinuxBase::data, "pnpm/store", 100 * kMiB,
     "pnpm Content-Addressable Store", "Node & Web", RiskLevel::medium, false, false, true,
     "Hardlinked package store shared across local projects.",
     "Use 'pnpm store prune' to safely remove unreferenced packages."},
    {"/.gradle/caches", LinuxBase::none, nullptr, 100 * kMiB, "Gradle Build & Dependency Cache",
     "Android & Gradle", RiskLevel::low, true, false, false,
     "Downloaded JARs, AARs, and compilation transforms.",
     "Safe to clean; Gradle will re-fetch dependencies."},
    {"/.cargo/registry/cache", LinuxBase::none, nullptr, 50 * kMiB, "Cargo Crate Download Cache",
     "Rust / Cargo", RiskLevel::low, true, false, false, "Downloaded .crate archive packages.",
     "Safe to clean; Cargo will fetch crates on demand."},
    {"/go/pkg/mod/cache", LinuxBase::none, nullptr, 50 * kMiB, "Go Module Download Cache", "Go",
     RiskLevel::low, false, false, false, "Downloaded Go module zip archives.",
     "Run 'go clean -modcache' in Terminal."},
    {"/Library/Caches/pip", LinuxBase::cache, "pip", 50 * kMiB, "Python pip Wheel Cache", "Python",
     RiskLevel::low, true, false, false, "Cached Python wheel and sdist downloads.",
     "Safe to clean; run 'pip cache purge'."},
    {"/Library/Caches/JetBrains", LinuxBase::cache, "JetBrains", 100 * kMiB,
     "JetBrains IDE System & Index Caches", "JetBrains", RiskLevel::low, false, false, false,
     "IntelliJ, PyCharm, WebStorm indices and syntax caches.",
     "Use 'File > Invalidate Caches' inside JetBrains IDEs."},
    {"/Library/Caches/Homebrew", LinuxBase::cache, "Homebrew", 50 * kMiB, "Homebrew Bottle Cache",
     "Package Managers", RiskLevel::low, true, true, false,
     "Downloaded formula bottles and source tarballs.",
     "Safe to clean; Homebrew will re-fetch bottles if needed."},
}};

constexpr const char* kDockerRunningExplanation =
    "Docker Desktop is currently active. Deleting the VM file directly while running causes "
    "immediate kernel filesystem crashes and container loss.";
constexpr const char* kDockerStoppedExplanation =
    "Docker VM file stores all container images, volumes, and layer caches. Directly trashing "
    "the VM file deletes all local containers and databases.";
constexpr const char* kDockerCliAction =
    "Run 'docker system prune -a --volumes' in Terminal to reclaim space safely without "
    "breaking Docker.";
// The given three, then Docker Desktop's disk on this platform.
constexpr std::array<const char*, 4> kDockerDiskCandidates{
    "/Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw",
    "/Library/Containers/com.docker.docker/Data/vms/0/Docker.raw",
    "/Library/Containers/com.docker.docker/Data/vms/0/data/Docker.qcow2",
    "/.docker/desktop/vms/0/data/Docker.raw",
};

// Something (file or folder) exists there; a dangling symbolic link does not count.
bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The home folder as a prefix for the catalogue's "/..." suffixes: no trailing separator.
std::string homePrefix(const std::filesystem::path& home) {
    std::string text = home.string();
    while (!text.empty() && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

struct Measurement {
    std::int64_t size = 0;
    TimePoint lastModified;
    /// The place is a symbolic link: measured as the link alone, never offered for cleaning.
    bool isLink = false;
};

// The entry `name` of the open folder `parent`, examined as `info` (links not followed), measured
// the way the scanner walks: a folder through a descriptor opened without following a link,
// everything below it unfollowed; a symbolic link as the link alone (its own allocated bytes,
// nothing below it); any other file as nothing below it.
Measurement measureEntry(int parent, const char* name, const struct stat& info, TimePoint now) {
    if (S_ISLNK(info.st_mode)) {
        return {static_cast<std::int64_t>(info.st_blocks) * 512, now, true};
    }
    if (!S_ISDIR(info.st_mode)) {
        return {0, now};
    }
    const DirectorySize walked = measureOpenDirectory(
        ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
        /*skipHidden=*/true);
    return {walked.allocatedBytes, walked.newestModification.value_or(now)};
}

// A catalogue place reached from its base folder without passing through a symbolic link: the
// folder holding it, its name there and what is there (links not followed).
struct Place {
    UniqueFd folder;
    std::string name;
    struct stat info {};
};

// The place `relative` below `base` (the base itself followed), or nullopt when nothing is there.
// Each folder on the way is opened with O_NOFOLLOW, so a place that lies beyond a symbolic link
// (~/.npm a link to "/", say) is not reached at all. The place itself may be a link; like a
// missing entry, a dangling one is nothing.
std::optional<Place> reachPlace(const std::filesystem::path& base, std::string_view relative) {
    Place place;
    place.folder = UniqueFd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<std::string> components;
    for (const auto& component : std::filesystem::path(relative).relative_path()) {
        components.push_back(component.string());
    }
    if (!place.folder || components.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        place.folder = UniqueFd(::openat(place.folder.get(), components[i].c_str(),
                                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!place.folder) {
            return std::nullopt;
        }
    }
    place.name = components.back();
    struct stat target {};
    if (::fstatat(place.folder.get(), place.name.c_str(), &place.info, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(place.folder.get(), place.name.c_str(), &target, 0) != 0) {
        return std::nullopt;
    }
    return place;
}

// Where a row's place is: the given path under the home, else this platform's counterpart (one
// item per row: the counterpart stands in only when nothing is at the given path); nullopt when
// nothing is at either.
std::optional<std::pair<std::string, Place>>
locatePlace(const FixedPlace& place, const std::string& home, const Environment& env) {
    if (auto found = reachPlace(home, place.relativePath)) {
        return std::pair{home + place.relativePath, std::move(*found)};
    }
    if (place.linuxBase == LinuxBase::none) {
        return std::nullopt;
    }
    const auto& base = place.linuxBase == LinuxBase::cache ? env.cacheHome : env.dataHome;
    // An XDG folder inside the home is reached from the home too: a linked ~/.cache is a link.
    std::string below = base.string();
    const bool inHome = below.starts_with(home + "/");
    below = inHome ? below.substr(home.size()) + "/" + place.linuxRelativePath
                   : std::string(place.linuxRelativePath);
    if (auto found = reachPlace(inHome ? std::filesystem::path(home) : base, below)) {
        return std::pair{(base / place.linuxRelativePath).string(), std::move(*found)};
    }
    return std::nullopt;
}

// One item per build folder of the Xcode derived data larger than its threshold.
std::vector<DeveloperStorageItem> buildFolderItems(const std::string& home, TimePoint now) {
    constexpr const char* kDerivedData = "/Library/Developer/Xcode/DerivedData";
    const auto derivedData = reachPlace(home, kDerivedData);
    const UniqueFd buildFolders(derivedData && S_ISDIR(derivedData->info.st_mode)
                                    ? ::openat(derivedData->folder.get(), derivedData->name.c_str(),
                                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                    : -1);
    DirectoryReader reader;
    // Unreadable, missing or reached through a link: no build folders (the entries stay empty).
    if (buildFolders) {
        (void)reader.read(buildFolders.get(), /*skipHidden=*/false);
    }
    std::vector<DeveloperStorageItem> items;
    for (const auto& entry : reader.entries()) {
        struct stat info {};
        if (::fstatat(buildFolders.get(), entry.name.data(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const Measurement found = measureEntry(buildFolders.get(), entry.name.data(), info, now);
        if (found.size <= kDerivedDataThreshold) {
            continue;
        }
        const std::string name(entry.name);
        std::string path = home + kDerivedData;
        path += '/';
        path += name;
        const bool recent = now - found.lastModified < kRecentBuildWindow;
        items.push_back(
            {Uuid::random(), name, "Xcode DerivedData", path, found.size, RiskLevel::low,
             "Xcode build intermediates, module indices and index cache.",
             recent ? "Recently built. Clean only if rebuilding project."
                    : "Safe to clean; Xcode will regenerate on next build.",
             !found.isLink, !recent, found.lastModified, recent, FileIdentity::of(info)});
    }

    return items;
}

} // namespace

std::string DeveloperStorageItem::formattedSize() const {
    return formatByteCount(size);
}

DeveloperStorageEngine::DeveloperStorageEngine(Environment environment,
                                               std::shared_ptr<const Clock> clock,
                                               std::filesystem::path systemRoot)
    : m_environment(std::move(environment)), m_clock(std::move(clock)),
      m_systemRoot(std::move(systemRoot)) {}

std::shared_ptr<DeveloperStorageEngine> DeveloperStorageEngine::shared() {
    static const auto instance = std::make_shared<DeveloperStorageEngine>(Environment::current());
    return instance;
}

std::filesystem::path DeveloperStorageEngine::systemPath(const char* absolute) const {
    return m_systemRoot / std::filesystem::path(absolute).relative_path();
}

DockerStatusInfo DeveloperStorageEngine::checkDockerStatus() const {
    const std::string home = homePrefix(m_environment.home);
    DockerStatusInfo status;
    status.isRunning = exists(systemPath("/var/run/docker.sock").string()) ||
                       exists(home + "/.docker/run/docker.sock") ||
                       exists(home + "/.docker/desktop/docker.sock");
    for (const char* candidate : kDockerDiskCandidates) {
        const std::string path = home + candidate;
        if (exists(path)) {
            status.isInstalled = true;
            status.vmDiskPath = path;
            struct stat info {};
            // The apparent size: a sparse disk image counts its full length.
            status.diskSizeBytes = ::lstat(path.c_str(), &info) == 0 ? info.st_size : 0;
            break;
        }
    }
    if (!status.vmDiskPath) {
        status.isInstalled = exists(systemPath("/Applications/Docker.app").string());
    }
    status.explanation = status.isRunning ? kDockerRunningExplanation : kDockerStoppedExplanation;
    status.guidedCliAction = kDockerCliAction;
    return status;
}

std::vector<DeveloperStorageItem> DeveloperStorageEngine::scanDeveloperStorage() const {
    const std::string home = homePrefix(m_environment.home);
    const TimePoint now = m_clock->now();
    // Before anything is read: what changes after this is told by its change time.
    const TimePoint listed = listingStart();

    std::vector<DeveloperStorageItem> items = buildFolderItems(home, now);

    const auto addDocker = [&] {
        const DockerStatusInfo docker = checkDockerStatus();
        if (!docker.isInstalled || docker.diskSizeBytes <= kDockerThreshold) {
            return;
        }
        items.push_back({Uuid::random(),
                         std::string("Docker VM Virtual Disk (") +
                             (docker.isRunning ? "Running" : "Stopped") + ")",
                         "Docker", docker.vmDiskPath.value_or(std::string()), docker.diskSizeBytes,
                         RiskLevel::high, docker.explanation, docker.guidedCliAction, false, false,
                         now, docker.isRunning, FileIdentity{}});
    };

    for (std::size_t i = 0; i < kFixedPlaces.size(); ++i) {
        if (i == kDockerPosition) {
            addDocker();
        }
        const FixedPlace& place = kFixedPlaces[i];
        const auto located = locatePlace(place, home, m_environment);
        if (!located) {
            continue;
        }
        const auto& [path, reached] = *located;
        const Measurement found =
            measureEntry(reached.folder.get(), reached.name.c_str(), reached.info, now);
        if (found.size <= place.threshold) {
            continue;
        }
        items.push_back({Uuid::random(), place.name, place.groupName, path, found.size,
                         place.riskLevel, place.explanation, place.recommendedAction,
                         place.canClean && !found.isLink, place.isSelected, found.lastModified,
                         place.likelyActive, FileIdentity::of(reached.info)});
    }

    for (auto& item : items) {
        if (item.identity.isKnown()) {
            item.identity.listedAt = listed;
        }
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const DeveloperStorageItem& a, const DeveloperStorageItem& b) {
                         return a.size > b.size;
                     });
    return items;
}

} // namespace fernwick
