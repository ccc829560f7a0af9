#include "FernwickCore/Engines/SafetySteps.h"

#include "FernwickCore/Platform/MountTable.h"
#include "FernwickCore/Platform/PathUtils.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fernwick::safety {
namespace {

constexpr const char* kSystemReason = "Path is a protected system component: ";
constexpr const char* kPersonalReason = SafetyEngine::kPersonalReason;
constexpr const char* kUserListReason = "Path is in your custom Protected Items list";
constexpr const char* kMissingReason = SafetyEngine::kMissingReason;
constexpr const char* kMismatchReason = Trash::kIdentityMismatchReason;
constexpr const char* kChangedReason = Trash::kChangedSinceListingReason;
constexpr const char* kSymlinkFailedReason = "Failed to verify symlink destination: ";
constexpr const char* kSymlinkReason = "Symlink points to protected system component";
constexpr const char* kReadOnlyReason = "Volume is mounted read-only; operations refused";
constexpr const char* kMountReason = "Contains a mounted file system: ";

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

// readlinkat(2) on the entry the check examined, relative to its folder's descriptor.
Result<std::string> readLinkAt(int folderFd, const std::string& name) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t length = ::readlinkat(folderFd, name.c_str(), text.data(), text.size());
        if (length < 0) {
            return SystemError::fromErrno("readlink " + name);
        }
        if (static_cast<std::size_t>(length) < text.size()) {
            text.resize(static_cast<std::size_t>(length));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

void addForm(std::vector<std::string>& forms, const std::string& form) {
    if (std::find(forms.begin(), forms.end(), form) == forms.end()) {
        forms.push_back(form);
    }
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

std::string joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

SafetyValidationResult refusal(std::string reason, RiskLevel risk) {
    return SafetyValidationResult::rejected(std::move(reason), risk);
}

} // namespace

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

std::string resolved(const std::string& path) {
    return paths::resolveSymlinks(path).string();
}

Target resolveTarget(const std::filesystem::path& url) {
    Target target;
    target.standardized = standardizedURL(url);
    target.resolved = paths::resolveSymlinks(target.standardized).string();
    target.name = paths::lastComponent(target.standardized);
    if (target.name.empty()) {
        target.realPlace = target.standardized.string();
    } else {
        const std::filesystem::path folder = target.standardized.parent_path();
        target.folder = UniqueFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (target.folder) {
            if (auto real = descriptorPath(target.folder.get())) {
                target.realFolder = std::move(*real);
            }
        }
        // Without a folder (missing, or no /proc) the place is judged by its text; the item is
        // then refused at step 7 in any case when its folder could not be opened.
        if (target.realFolder.empty()) {
            target.realFolder = paths::resolveSymlinks(folder);
        }
        target.realPlace = joined(target.realFolder.string(), target.name);
    }
    // Every test also looks at where the entry really lies: a link reached through a linked
    // folder (~/etc-link/passwd-link) is taken from the real folder (/etc).
    target.forms = {target.resolved, target.standardized.string()};
    addForm(target.forms, target.realPlace);
    return target;
}

ProtectedPlaces buildProtectedPlaces(const ProtectedPathRegistry& registry,
                                     const std::vector<std::string>& systemResolved,
                                     const Environment& env,
                                     const std::set<std::string>& userEntries) {
    const std::string home = env.home.string();
    const std::string homeResolved = env.homeResolved.string();
    ProtectedPlaces places;
    for (std::size_t i = 0; i < registry.systemProtectedPrefixes.size(); ++i) {
        Location location{registry.systemProtectedPrefixes[i],
                          {registry.systemProtectedPrefixes[i]}};
        addForm(location.forms, systemResolved[i]);
        places.system.push_back(std::move(location));
    }
    for (const auto& suffix : registry.userProtectedSuffixes) {
        Location location{suffix, {home + suffix}};
        addForm(location.forms, homeResolved + suffix);
        addForm(location.forms, resolvedBelow(homeResolved, suffix));
        places.personal.push_back(std::move(location));
    }
    for (const auto& entry : userEntries) {
        Location location{entry, {entry}};
        if (!entry.empty() && entry.front() == '/') {
            addForm(location.forms, resolved(entry));
        }
        places.user.push_back(std::move(location));
    }
    places.home = Location{home, {home}};
    addForm(places.home.forms, homeResolved);
    return places;
}

std::optional<SafetyValidationResult>
refuseProtectedPlace(const Target& target, const ProtectedPlaces& places, const Environment& env,
                     const std::function<bool(const std::string&)>& isUserProtected) {
    const auto& targets = target.forms;
    for (const auto& form : targets) {
        if (const auto verdict = ForbiddenOperationRegistry::isForbidden(form, env);
            verdict.forbidden) {
            return refusal(verdict.reason.value_or("Forbidden path"), RiskLevel::high);
        }
    }
    if (const Location* hit = findMatch(places.system, targets, false)) {
        return refusal(kSystemReason + hit->name, RiskLevel::high);
    }
    if (const Location* hit = findMatch(places.personal, targets, false)) {
        return refusal(kPersonalReason + hit->name, RiskLevel::high);
    }
    if (std::any_of(targets.begin(), targets.end(), isUserProtected) ||
        findMatch(places.user, targets, false) != nullptr) {
        return refusal(kUserListReason, RiskLevel::high);
    }
    if (const Location* hit = findMatch(places.system, targets, true)) {
        return refusal(kSystemReason + hit->name, RiskLevel::high);
    }
    if (findMatch({places.home}, targets, true) != nullptr) {
        return refusal(kHomeReason, RiskLevel::high);
    }
    if (const Location* hit = findMatch(places.personal, targets, true)) {
        return refusal(kPersonalReason + hit->name, RiskLevel::high);
    }
    if (const Location* hit = findMatch(places.user, targets, true)) {
        return refusal(std::string(kUserListReason) + ": " + hit->name, RiskLevel::high);
    }
    return std::nullopt;
}

// A folder with a file system mounted at or below it: the move would carry the mount into the
// Trash, and emptying it would reach into that file system. Judged by where the entry really
// lies (a link to a mount point carries nothing along).
std::optional<SafetyValidationResult> refuseTrashPlace(const Target& target,
                                                       const Environment& env) {
    const std::filesystem::path homeTrash = env.dataHome / "Trash";
    const std::vector<std::filesystem::path> trashForms = {homeTrash,
                                                           paths::resolveSymlinks(homeTrash)};
    for (const auto& form : target.forms) {
        switch (trashPlace(form, trashForms)) {
        case TrashPlace::trashFolder:
            return refusal(SafetyEngine::kTrashFolderReason, RiskLevel::high);
        case TrashPlace::insideTrash:
            return refusal(SafetyEngine::kInTrashReason, RiskLevel::high);
        case TrashPlace::none:
            break;
        }
    }
    return std::nullopt;
}

bool refusesAsProtected(const SafetyValidationResult& result) {
    const std::string& reason = result.reason;
    return !result.isSafe && reason != kMissingReason && reason != kMismatchReason &&
           reason != kChangedReason && reason != SafetyEngine::kInTrashReason &&
           reason != SafetyEngine::kTrashFolderReason && reason != kReadOnlyReason &&
           !reason.starts_with(kSymlinkFailedReason);
}

std::optional<SafetyValidationResult> refuseMountBelow(const Target& target) {
    for (const auto& entry : readMountTable()) {
        if (paths::isAtOrUnder(entry.mountPoint.native(), target.realPlace)) {
            return refusal(kMountReason + entry.mountPoint.string(), RiskLevel::high);
        }
    }
    return std::nullopt;
}

SafetyValidationResult examineItem(const Target& target, const std::vector<Location>& system,
                                   const std::optional<FileIdentity>& recorded,
                                   const SafetyEngine::ReadLink& readLinkSeam,
                                   const SafetyEngine::ReadOnlyVolumeProbe& readOnlyProbe,
                                   const Environment& env) {
    // 7: the item itself, a final link not followed.
    struct stat info {};
    if (target.name.empty() || !target.folder ||
        ::fstatat(target.folder.get(), target.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return refusal(kMissingReason, RiskLevel::medium);
    }
    // 8: the item listed is the item here: a folder the same container, a file the same
    // contents (FileIdentity), as far as the listing recorded them.
    if (recorded) {
        const auto now = EntryState::at(target.folder.get(), target.name);
        switch (recorded->compare(now ? *now : EntryState::of(info))) {
        case FileIdentity::Verdict::same:
            break;
        case FileIdentity::Verdict::changed:
            return refusal(kChangedReason, RiskLevel::high);
        case FileIdentity::Verdict::replaced:
            return refusal(kMismatchReason, RiskLevel::high);
        }
    }
    // 9: a link's stored destination must not name a system location. A relative destination
    // stays relative here; step 2 has already followed it.
    const bool isLink = S_ISLNK(info.st_mode);
    if (isLink) {
        const auto destination = readLinkSeam ? readLinkSeam(target.standardized)
                                              : readLinkAt(target.folder.get(), target.name);
        if (!destination) {
            const auto& error = destination.error();
            return refusal(kSymlinkFailedReason + (error.detail.empty()
                                                       ? std::string(std::strerror(error.code))
                                                       : error.detail),
                           RiskLevel::medium);
        }
        const std::string text =
            paths::standardize(paths::expandTilde(*destination, env.home)).string();
        if (findMatch(system, {text}, false) != nullptr) {
            return refusal(kSymlinkReason, RiskLevel::high);
        }
    }
    // 10: a read-only volume. A link lives in its folder's volume, whatever it points to, so
    // that folder is asked as well.
    if (readOnlyProbe(target.standardized).value_or(false) ||
        (isLink && readOnlyProbe(target.standardized.parent_path()).value_or(false))) {
        return refusal(kReadOnlyReason, RiskLevel::high);
    }
    return SafetyValidationResult::approved(target.resolved, FileIdentity::of(info));
}

} // namespace fernwick::safety
