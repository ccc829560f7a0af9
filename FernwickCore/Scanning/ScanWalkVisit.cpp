// The visit of one item and the per-folder facts it reads: protection, privacy, packages.
#include "FernwickCore/Scanning/ScanWalk.h"

#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Scanning/CategoryEngine.h"
#include "FernwickCore/Scanning/ScanWalkSteps.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>

namespace fernwick::detail {

namespace {

constexpr std::string_view kPrivacyReason = "Protected by System Security Policy";

// Lower-cased substrings of a path whose folders the scan never opens (privacy folders).
constexpr std::array<std::string_view, 18> kPrivacyEntries = {
    "/library/application support/com.apple.tcc",
    "/library/mail",
    "/library/messages",
    "/library/homekit",
    "/library/safari",
    ".photoslibrary",
    ".photoboothlibrary",
    "/library/cookies",
    "/library/suggestions",
    "/library/identityservices",
    "/library/accounts",
    "/library/personalizationportrait",
    "/library/metadata/corespotlight",
    "/library/biome",
    "/library/coreduet",
    "/library/sharing",
    "/.trash",
    "/library/containers/com.apple.mail",
};
// The longest part of an entry before its last "/".
constexpr std::size_t kLongestBeforeName = [] {
    std::size_t longest = 0;
    for (std::string_view entry : kPrivacyEntries) {
        const auto slash = entry.rfind('/');
        longest = slash == entry.npos ? longest : std::max(longest, slash);
    }
    return longest;
}();
// The shortest entry without a "/": the least a name must hold to match one by itself.
constexpr std::size_t kShortestNameEntry = 14;

constexpr std::array<std::string_view, 6> kPackageExtensions = {"app",    "bundle", "framework",
                                                                "plugin", "kext",   "pkg"};

bool containsPrivacyEntry(std::string_view lowered) {
    return std::any_of(kPrivacyEntries.begin(), kPrivacyEntries.end(),
                       [&](std::string_view entry) { return lowered.find(entry) != lowered.npos; });
}

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void lowerInto(std::string& out, std::string_view text) {
    const std::size_t at = out.size();
    out.resize(at + text.size());
    std::transform(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(at),
                   lowered);
}

// Whether `text` begins with `lower` (lower case) once lower-cased.
bool startsWithLowered(std::string_view text, std::string_view lower) {
    return text.size() >= lower.size() &&
           std::equal(lower.begin(), lower.end(), text.begin(),
                      [](char want, char c) { return lowered(c) == want; });
}

// The entries that hold no "/": the only ones that can lie inside a name.
constexpr std::size_t kNameEntryCount = static_cast<std::size_t>(
    std::count_if(kPrivacyEntries.begin(), kPrivacyEntries.end(),
                  [](std::string_view e) { return e.find('/') == e.npos; }));
constexpr std::array<std::string_view, kNameEntryCount> kNameEntries = [] {
    std::array<std::string_view, kNameEntryCount> out{};
    std::copy_if(kPrivacyEntries.begin(), kPrivacyEntries.end(), out.begin(),
                 [](std::string_view e) { return e.find('/') == e.npos; });
    return out;
}();
static_assert(std::all_of(kNameEntries.begin(), kNameEntries.end(),
                          [](std::string_view e) { return e.front() == '.'; }));

// containsPrivacyEntry() of the lower-cased name, without lowering it: each entry that can lie
// inside a name begins at one of its dots.
bool nameHoldsPrivacyEntry(std::string_view name) {
    for (std::size_t dot = name.find('.'); dot != name.npos; dot = name.find('.', dot + 1)) {
        const std::string_view rest = name.substr(dot);
        if (std::any_of(kNameEntries.begin(), kNameEntries.end(),
                        [&](std::string_view entry) { return startsWithLowered(rest, entry); })) {
            return true;
        }
    }
    return false;
}

bool isPackageName(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == name.npos || dot == 0 || dot + 1 == name.size()) {
        return false;
    }
    const std::string_view extension = name.substr(dot + 1);
    return std::any_of(
        kPackageExtensions.begin(), kPackageExtensions.end(), [&](std::string_view package) {
            return extension.size() == package.size() && startsWithLowered(extension, package);
        });
}

// Whether the item `name` of `folder` is a privacy folder or lies in one. The test reads the
// whole lower-cased path; the folder's part was judged once, so only the name needs looking at
// here.
bool isPrivateItem(const FolderContext& folder, std::string_view name) {
    if (folder.allPrivate || (name.size() >= kShortestNameEntry && nameHoldsPrivacyEntry(name))) {
        return true;
    }
    return std::any_of(folder.privateNamePrefixes.begin(), folder.privateNamePrefixes.end(),
                       [&](std::string_view prefix) { return startsWithLowered(name, prefix); });
}

// What an item's fstatat(2) tells of it; when the call failed (`ok` false), no size, identity
// or date of its own.
struct ItemFacts {
    std::int64_t size;
    std::int64_t allocated;
    TimePoint modified;
    bool isSymlink;
    std::uint64_t inode;
    std::uint64_t device;
};

ItemFacts factsOf(const struct stat& info, bool ok) {
    if (!ok) {
        return ItemFacts{0, 0, std::chrono::system_clock::now(), false, 0, 0};
    }
    return ItemFacts{static_cast<std::int64_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_blocks) * 512,
                     modificationTime(info),
                     S_ISLNK(info.st_mode),
                     info.st_ino,
                     info.st_dev};
}

} // namespace

FolderContext ScanWalk::makeContext(PathLinkPtr link, PathTrail trail,
                                    std::shared_ptr<DirHandle> handle, int depth, WalkTotals* walk,
                                    const ProtectedAbove& above, std::string_view wholePath) const {
    FolderContext folder;
    folder.link = std::move(link);
    folder.handle = std::move(handle);
    folder.depth = depth;
    folder.walk = walk;
    // Protection is "at or under" an entry: every item of a protected folder is protected;
    // otherwise only an entry that names one of this folder's items exactly can match. The
    // trail's head is the whole path or longer than every entry, which decides both alike.
    // Only the parent's candidates can match here.
    const std::string& path = trail.head;
    const std::string prefix = path.empty() || path.back() != '/' ? path + '/' : path;
    for (const std::string* entry : above.candidates) {
        const bool atOrUnder = paths::isAtOrUnder(path, *entry);
        if (atOrUnder || entry->starts_with(path)) {
            folder.protection.candidates.push_back(entry);
        }
        if (atOrUnder) {
            folder.allProtected = true;
        } else if (trail.whole && entry->size() > prefix.size() &&
                   entry->compare(0, prefix.size(), prefix) == 0 &&
                   entry->find('/', prefix.size()) == std::string::npos) {
            folder.protectedNames.push_back(entry->substr(prefix.size()));
        }
    }
    folder.allPrivate = !wholePath.empty() && containsPrivacyEntry(paths::lowercased(wholePath));
    // An entry that matches across the "/" before an item's name splits at its own last "/"
    // (names hold none); one that lies wholly in the folder's path made allPrivate true. The
    // parts before that "/" are shorter than what is lowered of the trail's tail.
    const std::string_view tail = trail.tail;
    std::string lowered;
    lowerInto(lowered, tail.substr(tail.size() - std::min(tail.size(), kLongestBeforeName)));
    const std::string_view before = lowered == "/" ? std::string_view() : std::string_view(lowered);
    for (std::string_view entry : kPrivacyEntries) {
        const auto slash = entry.rfind('/');
        if (slash != entry.npos && before.ends_with(entry.substr(0, slash))) {
            folder.privateNamePrefixes.push_back(entry.substr(slash + 1));
        }
    }
    folder.rules = CategoryEngine::shared().folderRules(trail);
    folder.trail = std::move(trail);
    return folder;
}

DiskNodePtr ScanWalk::visit(const FolderContext& folder, std::string_view name, int depth,
                            Local& local, WorkerScratch& scratch, Follow& follow,
                            std::int64_t& ownAllocated) {
    follow = Follow::none;
    // The whole path only for the test seams: building it costs time that grows with the depth.
    std::string path;
    if (m_seams.willVisit || m_seams.statError || m_seams.didVisit) {
        path = paths::joined(folder.link->text(), name);
    }
    if (m_seams.willVisit) {
        m_seams.willVisit(path);
    }
    if (cancelled()) {
        throw ScanCancelled();
    }
    const bool isProtected =
        folder.allProtected || std::find(folder.protectedNames.begin(), folder.protectedNames.end(),
                                         name) != folder.protectedNames.end();

    // One fstatat per item, relative to the open folder; the name is NUL-terminated.
    struct stat info {};
    int error = m_seams.statError ? m_seams.statError(path) : 0;
    if (error == 0 && ::fstatat(folder.handle->fd, name.data(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        error = errno;
    }
    const bool ok = error == 0;
    const bool isDirectory = ok && S_ISDIR(info.st_mode);
    const bool isPackage = isDirectory && isPackageName(name);
    // A file with several links can be met twice: its bytes count once in the progress. A
    // folder met twice (a bind mount) is walked the first time only.
    bool isRepeat = false;
    if (ok && info.st_ino != 0 && (isDirectory || info.st_nlink > 1)) {
        isRepeat = !m_links->insert(info.st_dev, info.st_ino);
    }
    const CategoryVerdict verdict = CategoryEngine::shared().verdict(
        folder.rules, name, isDirectory, isPackage, scratch.window);

    auto node = std::allocate_shared<DiskNode>(ArenaAllocator<DiskNode>(), folder.link,
                                               std::string(name), isDirectory, isPackage);
    const ItemFacts facts = factsOf(info, ok);
    const std::int64_t allocated = facts.allocated;
    ownAllocated = allocated;
    node->size = facts.size;
    node->allocatedSize = allocated > 0 ? allocated : node->size;
    node->category = verdict.category;
    node->riskLevel = isProtected ? RiskLevel::high : verdict.riskLevel;
    node->confidence = verdict.confidence;
    node->modifiedDate = facts.modified;
    node->isSymlink = facts.isSymlink;
    node->isProtected = isProtected;
    node->inode = facts.inode;
    node->deviceID = facts.device;

    local.files += 1;
    local.errors += ok ? 0 : 1;
    if (!isRepeat || isDirectory) {
        local.logical = saturatingAdd(local.logical, node->size);
        local.allocated = saturatingAdd(local.allocated, allocated);
    }
    if (m_seams.didVisit) {
        m_seams.didVisit(path);
    }

    // Privacy folders are never opened.
    if (isPrivateItem(folder, name)) {
        node->isAccessible = false;
        node->setErrorReason(std::string(kPrivacyReason));
        local.inaccessible = saturatingAdd(
            local.inaccessible, std::max(node->allocatedSize.get(), kMinimumInaccessible));
        return node;
    }
    if (isDirectory && !isRepeat) {
        follow = isPackage || depth >= m_maxDepth ? Follow::size : Follow::list;
    }
    return node;
}

void ScanWalk::queueFor(const DiskNodePtr& node, const FolderContext& folder, int depth,
                        Follow follow, std::int64_t ownAllocated, WalkTotals* walk,
                        std::vector<Task>& pending) {
    if (follow == Follow::none) {
        return;
    }
    Task task;
    task.parentHandle = folder.handle;
    task.parentLink = folder.link;
    task.device = node->deviceID;
    task.depth = depth;
    task.walk = walk;
    task.node = node.get();
    task.name = node->name();
    if (folder.sum) {
        folder.sum->pending.fetch_add(1, std::memory_order_relaxed);
    }
    if (follow == Follow::list) {
        task.kind = Task::Kind::list;
        task.sum = folder.sum;
        task.trail = CategoryEngine::shared().childTrail(folder.trail, task.name, m_trailHead);
        task.above = folder.protection;
    } else {
        task.kind = Task::Kind::size;
        task.target = std::make_shared<SizingTarget>();
        task.target->node = node.get();
        task.target->walk = walk;
        task.target->ownSize = node->size;
        task.target->ownAllocated = ownAllocated;
        task.target->folderSum = folder.sum;
    }
    pending.push_back(std::move(task));
}

} // namespace fernwick::detail
