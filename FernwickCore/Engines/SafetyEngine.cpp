#include "FernwickCore/Engines/SafetyEngine.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fernwick {
namespace {

constexpr const char* kSystemReason = "Path is a protected system component: ";
constexpr const char* kPersonalReason = "Protected sensitive user location: ";
constexpr const char* kUserListReason = "Path is in your custom Protected Items list";
constexpr const char* kRootReason = "Root filesystem path cannot be modified";
constexpr const char* kHomeReason = "User home root cannot be modified";
constexpr const char* kMissingReason =
    "Target no longer exists or is inaccessible (may have been moved or removed)";
constexpr const char* kMismatchReason = Trash::kIdentityMismatchReason;
constexpr const char* kSymlinkFailedReason = "Failed to verify symlink destination: ";
constexpr const char* kSymlinkReason = "Symlink points to protected system component";
constexpr const char* kReadOnlyReason = "Volume is mounted read-only; operations refused";

// At or under, where a location written with a trailing "/" (the root, or a user entry stored
// that way) covers everything that begins with it.
bool atOrUnder(const std::string& path, const std::string& location) {
    if (!location.empty() && location.back() == '/') {
        return path == location.substr(0, location.size() - 1) ||
               path.compare(0, location.size(), location) == 0;
    }
    return paths::isAtOrUnder(path, location);
}

bool strictlyUnder(const std::string& path, const std::string& location) {
    return path != location && atOrUnder(path, location);
}

// A file URL's standardized path: a relative path is taken from the working folder, as a file
// URL made from it would be; "." and ".." are removed without reading the file system.
std::filesystem::path standardizedURL(const std::filesystem::path& url) {
    if (url.empty() || url.is_absolute()) {
        return paths::standardize(url);
    }
    std::error_code ec;
    return paths::standardize(std::filesystem::absolute(url, ec));
}

// statvfs(3) follows links, as statfs(2) does.
std::optional<bool> statvfsReadOnly(const std::filesystem::path& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return (info.f_flag & ST_RDONLY) != 0;
}

// One protected location and the forms it is compared in: first as written (or as the home
// folder makes it), then in its other forms (the other home, its links resolved). `name` is the
// text the reason quotes.
struct Location {
    std::string name;
    std::vector<std::string> forms;
};

// The first location of `list` at or under which one of `targets` lies (`below` false), or
// which lies strictly under one of them (`below` true). The forms as written are tried through
// the whole list first, so the location named is the one the written lists would name.
const Location* findMatch(const std::vector<Location>& list,
                          const std::vector<std::string>& targets, bool below) {
    const auto matches = [&](const std::string& form) {
        return std::any_of(targets.begin(), targets.end(), [&](const std::string& target) {
            return below ? strictlyUnder(form, target) : atOrUnder(target, form);
        });
    };
    for (const auto& location : list) {
        if (matches(location.forms.front())) {
            return &location;
        }
    }
    for (const auto& location : list) {
        if (std::any_of(location.forms.begin() + 1, location.forms.end(), matches)) {
            return &location;
        }
    }
    return nullptr;
}

Result<std::string> readLinkText(const std::filesystem::path& link) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(link.c_str(), text.data(), text.size());
        if (length < 0) {
            return SystemError::fromErrno("readlink " + link.string());
        }
        if (static_cast<std::size_t>(length) < text.size()) {
            text.resize(static_cast<std::size_t>(length));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// Where the entry itself lies: its folder with every link resolved, and its own name. For an
// item that is not a link this equals the fully resolved path; for a link it is where the link
// lives, which is what a move to the Trash takes away.
std::string realPlace(const std::filesystem::path& standardized) {
    const std::string name = paths::lastComponent(standardized);
    if (name.empty()) {
        return standardized.string();
    }
    const std::string folder = paths::resolveSymlinks(standardized.parent_path()).string();
    return folder == "/" ? "/" + name : folder + "/" + name;
}

void addForm(std::vector<std::string>& forms, const std::string& form) {
    if (std::find(forms.begin(), forms.end(), form) == forms.end()) {
        forms.push_back(form);
    }
}

std::string resolved(const std::string& path) {
    return paths::resolveSymlinks(path).string();
}

// `base` (already resolved) followed by `suffix`, with links resolved: a few lstat(2) calls
// settle the usual case in which no link lies on the way.
std::string resolvedBelow(const std::string& base, const std::string& suffix) {
    std::string current = base;
    std::size_t start = 0;
    while (start < suffix.size()) {
        const std::size_t slash = suffix.find('/', start);
        const std::size_t end = slash == std::string::npos ? suffix.size() : slash;
        if (end > start) {
            const std::string next = current + "/" + suffix.substr(start, end - start);
            struct stat info {};
            if (::lstat(next.c_str(), &info) != 0) {
                return base + suffix; // the rest does not exist, so nothing in it is a link
            }
            if (S_ISLNK(info.st_mode)) {
                return resolved(base + suffix);
            }
            current = next;
        }
        start = end + 1;
    }
    return current;
}

} // namespace

// ---------------------------------------------------------------------------------------------

SafetyValidationResult SafetyValidationResult::approved(std::filesystem::path canonicalPath,
                                                        std::uint64_t inode,
                                                        std::uint64_t deviceID) {
    SafetyValidationResult result;
    result.isSafe = true;
    result.reason = SafetyEngine::kApprovedReason;
    result.riskLevel = RiskLevel::low;
    result.canonicalPath = std::move(canonicalPath);
    result.inode = inode;
    result.deviceID = deviceID;
    return result;
}

SafetyValidationResult SafetyValidationResult::rejected(std::string reason, RiskLevel risk) {
    SafetyValidationResult result;
    result.reason = std::move(reason);
    result.riskLevel = risk;
    return result;
}

ForbiddenOperationRegistry::Verdict
ForbiddenOperationRegistry::isForbidden(const std::string& path, const Environment& env) {
    const std::string standardized = paths::standardize(paths::expandTilde(path, env.home));
    if (standardized.empty() || standardized == "/") {
        return {true, kRootReason};
    }
    // The home folder may be reached through a link (/home -> /var/home): both forms are it.
    if (standardized == env.home.native() || standardized == env.homeResolved.native()) {
        return {true, kHomeReason};
    }
    return {false, std::nullopt};
}

// ---------------------------------------------------------------------------------------------

struct SafetyEngine::Checked {
    SafetyValidationResult result;
    /// The path the check examined (the standardized URL); what the move must act on.
    std::filesystem::path standardized;
};

SafetyEngine::SafetyEngine(Environment env, std::shared_ptr<PreferencesStore> preferences,
                           ReadOnlyVolumeProbe readOnlyProbe, ReadLink readLink)
    : m_env(std::move(env)), m_preferences(std::move(preferences)),
      m_readOnlyProbe(readOnlyProbe ? std::move(readOnlyProbe) : statvfsReadOnly),
      m_readLink(readLink ? std::move(readLink) : readLinkText),
      m_registry(ProtectedPathRegistry::forEnvironment(m_env)) {
    // The system's own layout does not change while the program runs; resolving it once keeps
    // the check cheap for long cleanup runs.
    for (const auto& prefix : m_registry.systemProtectedPrefixes) {
        m_systemResolved.push_back(resolved(prefix));
    }
    if (m_preferences) {
        if (auto stored = m_preferences->stringArray(kUserProtectedPathsKey)) {
            m_userProtectedPaths.insert(stored->begin(), stored->end());
        }
    }
}

std::shared_ptr<SafetyEngine> SafetyEngine::shared() {
    static const auto instance =
        std::make_shared<SafetyEngine>(Environment::current(), PreferencesStore::shared());
    return instance;
}

void SafetyEngine::addProtectedPath(const std::string& path) {
    changeUserList(path, true);
}

void SafetyEngine::removeProtectedPath(const std::string& path) {
    changeUserList(path, false);
}

void SafetyEngine::changeUserList(const std::string& path, bool add) {
    const std::string standardized = paths::standardize(paths::expandTilde(path, m_env.home));
    const std::lock_guard write(m_writeMutex);
    std::set<std::string> copy;
    {
        const std::lock_guard lock(m_mutex);
        if (add) {
            m_userProtectedPaths.insert(standardized);
        } else if (m_userProtectedPaths.erase(path) == 0) {
            // A stored entry is taken as it stands and may not be standardized ("/x/A/"): the
            // exact string the list shows must remove it.
            m_userProtectedPaths.erase(standardized);
        }
        copy = m_userProtectedPaths;
    }
    persist(copy);
}

void SafetyEngine::persist(const std::set<std::string>& paths) const {
    // The outcome of the write is ignored: memory stays authoritative for this run.
    if (m_preferences) {
        (void)m_preferences->setStringArray(kUserProtectedPathsKey,
                                            std::vector<std::string>(paths.begin(), paths.end()));
    }
}

std::set<std::string> SafetyEngine::userPaths() const {
    const std::lock_guard lock(m_mutex);
    return m_userProtectedPaths;
}

std::vector<std::string> SafetyEngine::getProtectedPaths() const {
    const auto set = userPaths(); // std::set orders by bytes, which is ordinal and case-sensitive
    return {set.begin(), set.end()};
}

ProtectedPrefixesSnapshot SafetyEngine::getProtectedPrefixesSnapshot() const {
    const auto set = userPaths();
    return {m_registry.systemProtectedPrefixes, {set.begin(), set.end()}};
}

bool SafetyEngine::isProtected(const std::filesystem::path& url) const {
    const std::string path = standardizedURL(url).string();
    for (const auto& entry : userPaths()) {
        if (path == entry || path.compare(0, entry.size() + (entry.ends_with('/') ? 0 : 1),
                                          entry.ends_with('/') ? entry : entry + "/") == 0) {
            return true;
        }
    }
    for (const auto& location : m_registry.systemProtectedPrefixes) {
        if (paths::isAtOrUnder(path, location)) {
            return true;
        }
    }
    for (const auto& home : {m_env.home.native(), m_env.homeResolved.native()}) {
        for (const auto& suffix : m_registry.userProtectedSuffixes) {
            if (paths::isAtOrUnder(path, home + suffix)) {
                return true;
            }
        }
    }
    return false;
}

SafetyValidationResult
SafetyEngine::validateTargetForDeletion(const std::filesystem::path& url,
                                        std::optional<std::uint64_t> expectedInode) const {
    return check(url, expectedInode).result;
}

CheckedTrashMove SafetyEngine::moveToTrashChecked(const std::filesystem::path& url,
                                                  std::optional<std::uint64_t> expectedInode,
                                                  const Trash& trash) const {
    Checked checked = check(url, expectedInode);
    CheckedTrashMove outcome{checked.result, std::nullopt, {}};
    if (!checked.result.isSafe) {
        return outcome;
    }
    auto moved = trash.moveToTrash(checked.standardized,
                                   FileIdentity{checked.result.deviceID, checked.result.inode});
    if (moved) {
        outcome.trashedURL = std::move(*moved);
    } else {
        outcome.failure = moved.error().message();
    }
    return outcome;
}

// NOLINTNEXTLINE(readability-function-cognitive-complexity): written before the limit
SafetyEngine::Checked SafetyEngine::check(const std::filesystem::path& url,
                                          std::optional<std::uint64_t> expectedInode) const {
    const auto refuse = [](std::string reason, RiskLevel risk) {
        return Checked{SafetyValidationResult::rejected(std::move(reason), risk), {}};
    };
    // 1 and 2: the item as named (no links resolved) and with every link resolved.
    const std::filesystem::path standardized = standardizedURL(url);
    const std::string S = standardized.string();
    const std::string R = paths::resolveSymlinks(standardized).string();
    // Every test below also looks at where the entry really lies: a link reached through a
    // linked folder (~/etc-link/passwd-link) is taken from the real folder (/etc).
    std::vector<std::string> targets = {R, S};
    addForm(targets, realPlace(standardized));
    const std::string home = m_env.home.string();
    const std::string homeResolved = m_env.homeResolved.string();

    // 3: the root and the home folder.
    for (const auto& target : targets) {
        if (const auto verdict = ForbiddenOperationRegistry::isForbidden(target, m_env);
            verdict.forbidden) {
            return refuse(verdict.reason.value_or("Forbidden path"), RiskLevel::high);
        }
    }

    // The three lists, each location with its forms. A location reached through a link (the
    // home folder at /var/home, a ~/Documents that links elsewhere, /bin -> /usr/bin) protects
    // what it really is as well as what it is called.
    std::vector<Location> system;
    for (std::size_t i = 0; i < m_registry.systemProtectedPrefixes.size(); ++i) {
        Location location{m_registry.systemProtectedPrefixes[i],
                          {m_registry.systemProtectedPrefixes[i]}};
        addForm(location.forms, m_systemResolved[i]);
        system.push_back(std::move(location));
    }
    std::vector<Location> personal;
    for (const auto& suffix : m_registry.userProtectedSuffixes) {
        Location location{suffix, {home + suffix}};
        addForm(location.forms, homeResolved + suffix);
        addForm(location.forms, resolvedBelow(homeResolved, suffix));
        personal.push_back(std::move(location));
    }
    std::vector<Location> user;
    for (const auto& entry : userPaths()) {
        Location location{entry, {entry}};
        if (!entry.empty() && entry.front() == '/') {
            addForm(location.forms, resolved(entry));
        }
        user.push_back(std::move(location));
    }

    // 4: system locations; 5: personal locations; 6: the user's list.
    if (const Location* hit = findMatch(system, targets, false)) {
        return refuse(kSystemReason + hit->name, RiskLevel::high);
    }
    if (const Location* hit = findMatch(personal, targets, false)) {
        return refuse(kPersonalReason + hit->name, RiskLevel::high);
    }
    if (std::any_of(targets.begin(), targets.end(),
                    [&](const std::string& target) { return isProtected(target); }) ||
        findMatch(user, targets, false) != nullptr) {
        return refuse(kUserListReason, RiskLevel::high);
    }

    // Moving a folder carries everything below it: refuse a target that holds a protected
    // location or the home folder.
    if (const Location* hit = findMatch(system, targets, true)) {
        return refuse(kSystemReason + hit->name, RiskLevel::high);
    }
    if (findMatch({Location{home, {home, homeResolved}}}, targets, true) != nullptr) {
        return refuse(kHomeReason, RiskLevel::high);
    }
    if (const Location* hit = findMatch(personal, targets, true)) {
        return refuse(kPersonalReason + hit->name, RiskLevel::high);
    }
    if (const Location* hit = findMatch(user, targets, true)) {
        return refuse(std::string(kUserListReason) + ": " + hit->name, RiskLevel::high);
    }

    // 7: the item itself, a final link not followed.
    struct stat info {};
    if (S.empty() || ::lstat(S.c_str(), &info) != 0) {
        return refuse(kMissingReason, RiskLevel::medium);
    }
    // 8: the item scanned is the item here.
    if (expectedInode && *expectedInode != 0 &&
        *expectedInode != static_cast<std::uint64_t>(info.st_ino)) {
        return refuse(kMismatchReason, RiskLevel::high);
    }
    // 9: a link's stored destination must not name a system location. A relative destination
    // stays relative here; step 2 has already followed it.
    const bool isLink = S_ISLNK(info.st_mode);
    if (isLink) {
        const auto destination = m_readLink(standardized);
        if (!destination) {
            const auto& error = destination.error();
            return refuse(kSymlinkFailedReason + (error.detail.empty()
                                                      ? std::string(std::strerror(error.code))
                                                      : error.detail),
                          RiskLevel::medium);
        }
        const std::string text =
            paths::standardize(paths::expandTilde(*destination, m_env.home)).string();
        if (findMatch(system, {text}, false) != nullptr) {
            return refuse(kSymlinkReason, RiskLevel::high);
        }
    }
    // 10: a read-only volume. A link lives in its folder's volume, whatever it points to, so
    // that folder is asked as well.
    if (m_readOnlyProbe(standardized).value_or(false) ||
        (isLink && m_readOnlyProbe(standardized.parent_path()).value_or(false))) {
        return refuse(kReadOnlyReason, RiskLevel::high);
    }

    return Checked{SafetyValidationResult::approved(R, static_cast<std::uint64_t>(info.st_ino),
                                                    static_cast<std::uint64_t>(info.st_dev)),
                   standardized};
}

} // namespace fernwick
