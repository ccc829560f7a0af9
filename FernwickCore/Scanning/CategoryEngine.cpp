#include "FernwickCore/Scanning/CategoryEngine.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace fernwick {
namespace {

// Every path test looks for a text that begins with "/", so one pass over the slashes of the
// path finds all of them; the cascade then reads the bits in rule order.
enum Needle : std::uint8_t {
    kTrash,
    kTrashes,
    kDerivedData,
    kXcodeArchives,
    kSimulatorDevices,
    kDockerApp,
    kDockerDot,
    kOllamaModels,
    kLmStudioModels,
    kHuggingFace,
    kNpmCache,
    kPnpmStore,
    kYarnCache,
    kBunCache,
    kGradleCaches,
    kAndroidBuildCache,
    kHomebrewCache,
    kCargoCache,
    kRustupDownloads,
    kSwiftPMCache,
    kPipCache,
    kUvCache,
    kLibraryCaches,
    kLibraryLogs,
    kVarLog,
    kPrivateVarFolders,
    kPrivateTmp,
    kLibraryContainers,
    kApplicationSupport,
    kDownloadsFolder,
    kNeedleCount,
};

struct NeedleText {
    Needle needle;
    std::string_view text;
};

constexpr std::array<NeedleText, kNeedleCount> kNeedles = {{
    {kTrash, "/.Trash"},
    {kTrashes, "/.Trashes"},
    {kDerivedData, "/Developer/Xcode/DerivedData"},
    {kXcodeArchives, "/Developer/Xcode/Archives"},
    {kSimulatorDevices, "/Developer/CoreSimulator/Devices"},
    {kDockerApp, "/com.docker.docker"},
    {kDockerDot, "/.docker"},
    {kOllamaModels, "/.ollama/models"},
    {kLmStudioModels, "/.cache/lm-studio/models"},
    {kHuggingFace, "/.cache/huggingface"},
    {kNpmCache, "/.npm/_cacache"},
    {kPnpmStore, "/.pnpm-store"},
    {kYarnCache, "/.yarn/cache"},
    {kBunCache, "/.bun/install/cache"},
    {kGradleCaches, "/.gradle/caches"},
    {kAndroidBuildCache, "/.android/build-cache"},
    {kHomebrewCache, "/Caches/Homebrew"},
    {kCargoCache, "/.cargo/registry/cache"},
    {kRustupDownloads, "/.rustup/downloads"},
    {kSwiftPMCache, "/Library/Caches/org.swift.swiftpm"},
    {kPipCache, "/.cache/pip"},
    {kUvCache, "/.cache/uv"},
    {kLibraryCaches, "/Library/Caches"},
    {kLibraryLogs, "/Library/Logs"},
    {kVarLog, "/var/log"},
    {kPrivateVarFolders, "/private/var/folders"},
    {kPrivateTmp, "/private/tmp"},
    {kLibraryContainers, "/Library/Containers"},
    {kApplicationSupport, "/Library/Application Support"},
    {kDownloadsFolder, "/Downloads/"},
}};

// The needles grouped by the character after their leading "/", so a slash followed by any
// other character costs one table lookup.
struct NeedleIndex {
    std::array<std::uint8_t, 256> first{}; // start in `order` per character
    std::array<std::uint8_t, 256> count{}; // needles per character
    std::array<std::uint8_t, kNeedleCount> order{};
};

constexpr NeedleIndex makeNeedleIndex() {
    NeedleIndex index;
    std::uint8_t next = 0;
    for (int c = 0; c < 256; ++c) {
        index.first[static_cast<std::size_t>(c)] = next;
        for (const auto& entry : kNeedles) {
            if (static_cast<unsigned char>(entry.text[1]) == c) {
                index.order[next++] = static_cast<std::uint8_t>(entry.needle);
                ++index.count[static_cast<std::size_t>(c)];
            }
        }
    }
    return index;
}

constexpr NeedleIndex kNeedleIndex = makeNeedleIndex();

std::uint32_t findNeedles(std::string_view path) {
    std::uint32_t found = 0;
    const std::size_t size = path.size();
    const char* data = path.data();
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (data[i] != '/') {
            continue;
        }
        const auto next = static_cast<unsigned char>(data[i + 1]);
        const std::size_t first = kNeedleIndex.first[next];
        const std::size_t last = first + kNeedleIndex.count[next];
        for (std::size_t k = first; k < last; ++k) {
            const std::uint8_t needle = kNeedleIndex.order[k];
            const std::string_view text = kNeedles[needle].text;
            // The third character tells most needles of a group apart before any memcmp.
            if (size - i >= text.size() && data[i + 2] == text[2] &&
                std::memcmp(data + i, text.data(), text.size()) == 0) {
                found |= std::uint32_t{1} << needle;
            }
        }
    }
    return found;
}

constexpr bool has(std::uint32_t found, Needle needle) {
    return (found & (std::uint32_t{1} << needle)) != 0;
}

constexpr std::array<std::string_view, 12> kInstallerExtensions = {
    "dmg", "pkg", "iso",      "appinstaller", "ipa",        "xip",
    "deb", "rpm", "appimage", "flatpak",      "flatpakref", "snap"};
constexpr std::array<std::string_view, 7> kVideoExtensions = {"mov", "mp4",  "m4v", "mkv",
                                                              "avi", "webm", "flv"};
constexpr std::array<std::string_view, 11> kPhotoExtensions = {
    "png", "jpg", "jpeg", "heic", "raw", "cr2", "nef", "gif", "tiff", "webp", "svg"};
constexpr std::array<std::string_view, 7> kAudioExtensions = {"mp3", "aac",  "wav", "flac",
                                                              "m4a", "aiff", "ogg"};
constexpr std::array<std::string_view, 7> kArchiveExtensions = {"zip", "tar", "gz", "bz2",
                                                                "xz",  "7z",  "rar"};
constexpr std::array<std::string_view, 12> kDocumentExtensions = {
    "pdf", "pages", "numbers", "key", "docx", "xlsx", "pptx", "txt", "md", "csv", "json", "rtf"};

// Longer than any listed extension: such an extension can match no list.
constexpr std::size_t kLongestExtension = 12;

// Rules 20 to 25 as one lookup: the lists share no extension, so the rule of the list holding
// an extension is the first that holds. Grouped by first character like the needles.
struct ExtensionEntry {
    std::string_view extension;
    std::uint8_t rule;
};

template <std::size_t Count>
constexpr void appendList(std::array<ExtensionEntry, 56>& all, std::size_t& next,
                          const std::array<std::string_view, Count>& list, std::uint8_t rule) {
    for (const auto extension : list) {
        all[next++] = {extension, rule};
    }
}

struct ExtensionIndex {
    std::array<std::uint8_t, 256> first{};
    std::array<std::uint8_t, 256> count{};
    std::array<ExtensionEntry, 56> entries{};
};

constexpr ExtensionIndex makeExtensionIndex() {
    std::array<ExtensionEntry, 56> all{};
    std::size_t next = 0;
    appendList(all, next, kInstallerExtensions, 20);
    appendList(all, next, kVideoExtensions, 21);
    appendList(all, next, kPhotoExtensions, 22);
    appendList(all, next, kAudioExtensions, 23);
    appendList(all, next, kArchiveExtensions, 24);
    appendList(all, next, kDocumentExtensions, 25);
    ExtensionIndex index;
    std::uint8_t placed = 0;
    for (int c = 0; c < 256; ++c) {
        index.first[static_cast<std::size_t>(c)] = placed;
        for (const auto& entry : all) {
            if (static_cast<unsigned char>(entry.extension[0]) == c) {
                index.entries[placed++] = entry;
                ++index.count[static_cast<std::size_t>(c)];
            }
        }
    }
    return index;
}

constexpr ExtensionIndex kExtensionIndex = makeExtensionIndex();

// The rule (20 to 25) of the list holding `extension` (lower case, not empty); 0 for none.
int extensionRule(std::string_view extension) {
    const auto c = static_cast<unsigned char>(extension[0]);
    const std::size_t first = kExtensionIndex.first[c];
    const std::size_t last = first + kExtensionIndex.count[c];
    for (std::size_t k = first; k < last; ++k) {
        if (kExtensionIndex.entries[k].extension == extension) {
            return kExtensionIndex.entries[k].rule;
        }
    }
    return 0;
}

struct Rule {
    std::string_view ruleId;
    StorageCategory category;
    RiskLevel riskLevel;
    double confidence;
    int version;
    bool isCleanupEligible;
    std::string_view explanation;
    std::string_view recommendation; // empty: none
};

using C = StorageCategory;
using R = RiskLevel;

constexpr std::array<Rule, 27> kRules = {{
    {"app-bundle", C::applications, R::medium, 1.0, 2, false, "Installed Application Bundle (", ""},
    {"trash-storage", C::trash, R::low, 1.0, 1, true, "Files currently in the Trash",
     "Empty Trash to recover allocated disk space."},
    {"xcode-deriveddata", C::xcode, R::low, 0.98, 2, true,
     "Xcode DerivedData (Build index, intermediate artifacts, module caches)",
     "Xcode will automatically rebuild these files during the next build."},
    {"xcode-archives", C::xcode, R::medium, 0.95, 1, true, "Xcode Build Archives",
     "Keep only releases you still need to symbolicate or distribute."},
    {"xcode-simulators", C::xcode, R::low, 0.95, 1, true,
     "iOS / watchOS / tvOS Simulator Device Data",
     "Simulators can be reset or regenerated via Xcode."},
    {"docker-vm-storage", C::docker, R::medium, 0.95, 2, false,
     "Docker VM Disk Image, overlay containers and build cache",
     "Prune dangling images and build cache with docker system prune."},
    {"ai-model-weights", C::ollamaModels, R::medium, 0.95, 2, true,
     "Locally downloaded LLM/AI neural network weights",
     "Unused models can be removed and re-downloaded later."},
    {"node-modules", C::nodeModules, R::low, 1.0, 2, true,
     "JavaScript / TypeScript dependencies folder",
     "Can be recreated at any time with npm, yarn, or pnpm install."},
    {"package-manager-cache", C::packageManagers, R::low, 0.95, 2, true,
     "Package Manager Global Download Cache",
     "Safe to clean; packages will re-download when needed."},
    {"gradle-cache", C::androidStudio, R::low, 0.95, 1, true, "Gradle Build and Dependency Cache",
     "Gradle will automatically re-download dependencies."},
    {"homebrew-bottles", C::packageManagers, R::low, 0.98, 1, true,
     "Homebrew Download Bottle Cache",
     "Safe to clean; Homebrew will re-fetch formula bottles if needed."},
    {"cargo-cache", C::developerData, R::low, 0.95, 1, true,
     "Rust / Cargo downloaded crate archive cache",
     "Cargo will rebuild targets when cargo build is run."},
    {"swiftpm-cache", C::developerData, R::low, 0.95, 1, true,
     "Swift Package Manager module and repository cache",
     "SwiftPM will re-fetch dependencies as needed."},
    {"python-cache", C::developerData, R::low, 0.98, 1, true,
     "Python bytecode cache & pip/uv package downloads", "Safe to clean."},
    {"app-caches", C::caches, R::low, 0.9, 1, true, "Application Cache",
     "Applications will regenerate caches as needed."},
    {"log-files", C::logs, R::low, 0.95, 1, true, "Diagnostic & System Log files",
     "Old logs can be safely removed."},
    {"temporary-files", C::temporaryFiles, R::low, 0.9, 1, true, "System & App Temporary Files",
     "Safe to clean."},
    {"sandbox-container", C::containers, R::medium, 0.95, 1, false,
     "Sandboxed Application Data Container", ""},
    {"app-support", C::applicationSupport, R::medium, 0.9, 1, false,
     "Application Support Files & Databases", ""},
    {"installers-dmg", C::installers, R::low, 0.95, 1, true, "Software Installer / Disk Image (",
     "If already installed, this installer can be moved to Trash."},
    {"media-video", C::videos, R::high, 1.0, 1, false, "Video File", ""},
    {"media-photo", C::photos, R::high, 1.0, 1, false, "Image File", ""},
    {"media-audio", C::audio, R::high, 1.0, 1, false, "Audio Recording / Music", ""},
    {"archive-file", C::archives, R::medium, 0.9, 1, false, "Compressed Archive", ""},
    {"user-document", C::documents, R::high, 0.95, 1, false, "Document / User File", ""},
    {"downloads-folder", C::downloads, R::medium, 0.85, 1, false, "Downloaded Item", ""},
    {"general-fallback", C::other, R::medium, 0.5, 1, false, "General File / Folder", ""},
}};

constexpr int kAppBundleRule = 1;
constexpr int kInstallerRule = 20;

// The extension of `name` in lower case (ASCII), written to `out`; empty when there is none
// or when it is too long to be in any list.
std::string_view lowerExtension(std::string_view name, std::array<char, kLongestExtension>& out) {
    const std::string_view extension = paths::extensionView(name);
    if (extension.size() > out.size()) {
        return {};
    }
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const char c = extension[i];
        out[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return {out.data(), extension.size()};
}

constexpr std::string_view kDownloadsEnding = "/Downloads";

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The part of `path` after `prefix` when `path` begins with it; nullopt otherwise (and always
// for an empty prefix).
std::optional<std::string_view> below(std::string_view path, std::string_view prefix) {
    if (prefix.empty() || !path.starts_with(prefix)) {
        return std::nullopt;
    }
    return path.substr(prefix.size());
}

bool startsWith(const std::optional<std::string_view>& rest, std::string_view start) {
    return rest && rest->starts_with(start);
}

// Where a path lies among this platform's folders; the cascade reads it beside the needles.
struct PlaceHits {
    std::optional<std::string_view> inCache; // the rest of the path below <XDG cache>/
    std::optional<std::string_view> inData;  // below <XDG data>/
    bool inConfig = false;
    bool inVarApp = false;

    PlaceHits() = default;
    PlaceHits(std::string_view path, const CategoryEngine::Places& places) {
        // Most paths lie outside all the places (they all begin with the home's "/."): one
        // comparison tells.
        if (!path.starts_with(places.common)) {
            return;
        }
        inCache = below(path, places.cache);
        inData = below(path, places.data);
        inConfig = below(path, places.config).has_value();
        inVarApp = below(path, places.varApp).has_value();
    }

    // The home Trash folder itself and everything in it.
    bool homeTrash() const {
        return inData && (*inData == "Trash" || inData->starts_with("Trash/"));
    }
    bool packageCache() const {
        return startsWith(inCache, "yarn/") || startsWith(inCache, "pnpm/") ||
               startsWith(inData, "pnpm/store/");
    }
};

// Rules 3 to 14 of the cascade: developer tools' build products, caches and models; 0 when none
// holds.
int developerRule(std::uint32_t found, const PlaceHits& at, std::string_view name,
                  bool isDirectory) {
    if (has(found, kDerivedData)) {
        return 3;
    }
    if (has(found, kXcodeArchives)) {
        return 4;
    }
    if (has(found, kSimulatorDevices)) {
        return 5;
    }
    if (has(found, kDockerApp) || has(found, kDockerDot)) {
        return 6;
    }
    if (has(found, kOllamaModels) || has(found, kLmStudioModels) || has(found, kHuggingFace)) {
        return 7;
    }
    if (isDirectory && name == "node_modules") {
        return 8;
    }
    if (has(found, kNpmCache) || has(found, kPnpmStore) || has(found, kYarnCache) ||
        has(found, kBunCache) || at.packageCache()) {
        return 9;
    }
    if (has(found, kGradleCaches) || has(found, kAndroidBuildCache)) {
        return 10;
    }
    if (has(found, kHomebrewCache) || startsWith(at.inCache, "Homebrew/")) {
        return 11;
    }
    if (has(found, kCargoCache) || has(found, kRustupDownloads)) {
        return 12;
    }
    if (has(found, kSwiftPMCache) || startsWith(at.inCache, "org.swift.swiftpm/")) {
        return 13;
    }
    if (name == "__pycache__" || has(found, kPipCache) || has(found, kUvCache)) {
        return 14;
    }
    return 0;
}

// Rules 15 to 19 of the cascade: the system's and the applications' caches, logs, temporary
// files and data; 0 when none holds.
int placeRule(std::uint32_t found, const PlaceHits& at, std::string_view name) {
    // The XDG cache folder holds, by definition, data that can be regenerated.
    if (has(found, kLibraryCaches) || at.inCache) {
        return 15;
    }
    if (has(found, kLibraryLogs) || has(found, kVarLog)) {
        return 16;
    }
    if (has(found, kPrivateVarFolders) || has(found, kPrivateTmp) || name.starts_with("tmp_")) {
        return 17;
    }
    if (has(found, kLibraryContainers) || at.inVarApp) {
        return 18;
    }
    if (has(found, kApplicationSupport) || at.inData || at.inConfig) {
        return 19;
    }
    return 0;
}

// The cascade: the number (1 to 27) of the first rule whose test holds. `found`: the needles in
// the whole path; `at`: where the path lies among the places; `inDownloads`: the path ends with
// "/Downloads".
int decide(std::uint32_t found, const PlaceHits& at, std::string_view name,
           std::string_view extension, bool isDirectory, bool isPackage, bool inDownloads) {
    if (isPackage && extension == "app") {
        return 1;
    }
    if (has(found, kTrash) || has(found, kTrashes) || at.homeTrash()) {
        return 2;
    }
    if (const int rule = developerRule(found, at, name, isDirectory); rule != 0) {
        return rule;
    }
    if (const int rule = placeRule(found, at, name); rule != 0) {
        return rule;
    }
    if (!extension.empty()) {
        if (const int rule = extensionRule(extension); rule != 0) {
            return rule;
        }
    }
    if (has(found, kDownloadsFolder) || inDownloads) {
        return 26;
    }
    return 27;
}

// A folder as a prefix of the paths below it; empty stays empty.
std::string prefixOf(const std::filesystem::path& folder) {
    std::string text = folder.native();
    if (!text.empty() && text.back() != '/') {
        text += '/';
    }
    return text;
}

} // namespace

CategoryEngine::CategoryEngine(const Environment& env)
    : m_places{prefixOf(env.cacheHome),
               prefixOf(env.dataHome),
               prefixOf(env.configHome),
               env.home.empty() ? std::string() : prefixOf(env.home / ".var" / "app"),
               {}} {
    bool first = true;
    for (const std::string* place :
         {&m_places.cache, &m_places.data, &m_places.config, &m_places.varApp}) {
        if (place->empty()) {
            continue;
        }
        if (first) {
            m_places.common = *place;
            first = false;
        }
        std::size_t same = 0;
        while (same < m_places.common.size() && same < place->size() &&
               m_places.common[same] == (*place)[same]) {
            ++same;
        }
        m_places.common.resize(same);
    }
    // What the rules read after a place is shorter than 32 bytes ("org.swift.swiftpm/").
    for (const std::string* place :
         {&m_places.cache, &m_places.data, &m_places.config, &m_places.varApp}) {
        m_trailHead = std::max(m_trailHead, place->size() + 32);
    }
}

const CategoryEngine& CategoryEngine::shared() {
    static const CategoryEngine instance(Environment::current());
    return instance;
}

CategoryVerdict CategoryEngine::verdict(std::string_view standardizedPath, std::string_view name,
                                        bool isDirectory, bool isPackage) const {
    std::array<char, kLongestExtension> buffer{};
    const std::string_view extension = lowerExtension(name, buffer);
    const int rule =
        decide(findNeedles(standardizedPath), PlaceHits(standardizedPath, m_places), name,
               extension, isDirectory, isPackage, endsWith(standardizedPath, kDownloadsEnding));
    const Rule& entry = kRules[static_cast<std::size_t>(rule - 1)];
    return {entry.category, entry.riskLevel, entry.confidence, rule};
}

PathTrail CategoryEngine::trail(std::string_view standardizedPath, std::size_t headBytes) const {
    PathTrail out;
    out.found = findNeedles(standardizedPath);
    out.whole = standardizedPath.size() <= headBytes;
    out.head = standardizedPath.substr(0, headBytes);
    const std::size_t kept = std::min(standardizedPath.size(), kTrailTail);
    out.tail =
        out.whole ? out.head : std::string(standardizedPath.substr(standardizedPath.size() - kept));
    return out;
}

PathTrail CategoryEngine::childTrail(const PathTrail& folder, std::string_view name,
                                     std::size_t headBytes) const {
    // Every needle found in the sub-folder's path either lies in the folder's (already in
    // `found`) or ends after it, and then begins within the folder's kept tail.
    PathTrail out;
    std::string window;
    paths::joinInto(window, folder.tail, name);
    out.found = folder.found | findNeedles(window);
    out.whole = folder.whole && window.size() <= headBytes;
    if (out.whole) {
        out.head = window;
        out.tail = std::move(window);
        return out;
    }
    out.head = folder.whole ? window.substr(0, headBytes) : folder.head;
    out.tail = window.substr(window.size() - std::min(window.size(), kTrailTail));
    return out;
}

FolderRules CategoryEngine::folderRules(const PathTrail& folder) const {
    // An item's path is `base` followed by its name, and a name holds no "/": every text that
    // begins with "/" either lies in `base`, or begins at one of its slashes and runs on into the
    // name (its last slash is taken item by item).
    std::string base;
    paths::joinInto(base, folder.tail, {});
    FolderRules out;
    out.found = folder.found | findNeedles(base);
    for (std::size_t i = 0; i + 1 < base.size(); ++i) {
        if (base[i] != '/') {
            continue;
        }
        const std::string_view started = std::string_view(base).substr(i);
        const auto next = static_cast<unsigned char>(base[i + 1]);
        const std::size_t first = kNeedleIndex.first[next];
        for (std::size_t k = first; k < first + kNeedleIndex.count[next]; ++k) {
            const std::uint8_t needle = kNeedleIndex.order[k];
            const std::string_view text = kNeedles[needle].text;
            if (text.size() > started.size() && text.starts_with(started)) {
                out.continued.emplace_back(std::uint32_t{1} << needle, text.substr(started.size()));
            }
        }
    }
    // A long path's places are read from its kept head alone; a whole one's from the item's
    // path, which can lie in a place only when `base` could begin one.
    if (!folder.whole) {
        out.places = FolderRules::Places::folder;
        out.text = folder.head;
    } else if (base.size() < m_places.common.size() || base.starts_with(m_places.common)) {
        out.places = FolderRules::Places::item;
        out.text = std::move(base);
    }
    return out;
}

CategoryVerdict CategoryEngine::verdict(const FolderRules& folder, std::string_view name,
                                        bool isDirectory, bool isPackage,
                                        std::string& window) const {
    std::uint32_t found = folder.found;
    for (const auto& [bit, rest] : folder.continued) {
        if (name.starts_with(rest)) {
            found |= bit;
        }
    }
    // The texts that begin at the slash before the name.
    if (!name.empty()) {
        const auto next = static_cast<unsigned char>(name[0]);
        const std::size_t first = kNeedleIndex.first[next];
        for (std::size_t k = first; k < first + kNeedleIndex.count[next]; ++k) {
            const std::uint8_t needle = kNeedleIndex.order[k];
            const std::string_view rest = kNeedles[needle].text.substr(1);
            // As in findNeedles, the next character tells most needles apart before a memcmp.
            if (name.size() >= rest.size() && name[1] == rest[1] && name.starts_with(rest)) {
                found |= std::uint32_t{1} << needle;
            }
        }
    }
    PlaceHits at;
    if (folder.places == FolderRules::Places::folder) {
        at = PlaceHits(folder.text, m_places);
    } else if (folder.places == FolderRules::Places::item) {
        window.assign(folder.text);
        window.append(name);
        at = PlaceHits(window, m_places);
    }
    std::array<char, kLongestExtension> buffer{};
    const std::string_view extension = lowerExtension(name, buffer);
    // The path ends with "/Downloads" exactly when the name (holding no "/") is "Downloads".
    const int rule = decide(found, at, name, extension, isDirectory, isPackage,
                            name == kDownloadsEnding.substr(1));
    const Rule& entry = kRules[static_cast<std::size_t>(rule - 1)];
    return {entry.category, entry.riskLevel, entry.confidence, rule};
}

CategoryClassification CategoryEngine::classify(const std::filesystem::path& url, bool isDirectory,
                                                bool isPackage) const {
    const std::string standardized = paths::standardizedText(url.native());
    const std::string name = paths::lastComponent(url);
    std::array<char, kLongestExtension> buffer{};
    const std::string_view extension = lowerExtension(name, buffer);
    const int rule =
        decide(findNeedles(standardized), PlaceHits(standardized, m_places), name, extension,
               isDirectory, isPackage, endsWith(standardized, kDownloadsEnding));
    const Rule& entry = kRules[static_cast<std::size_t>(rule - 1)];

    CategoryClassification out;
    out.category = entry.category;
    out.riskLevel = entry.riskLevel;
    out.confidence = entry.confidence;
    out.explanation = std::string(entry.explanation);
    if (rule == kAppBundleRule) {
        out.explanation += name;
        out.explanation += ')';
    } else if (rule == kInstallerRule) {
        // Only listed (ASCII) extensions reach this rule, so ASCII upper-casing is exact.
        for (const char c : extension) {
            out.explanation += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
        out.explanation += ')';
    }
    if (!entry.recommendation.empty()) {
        out.cleanupRecommendation = std::string(entry.recommendation);
    }
    out.ruleId = std::string(entry.ruleId);
    out.ruleVersion = entry.version;
    out.isCleanupEligible = entry.isCleanupEligible;
    return out;
}

} // namespace fernwick
