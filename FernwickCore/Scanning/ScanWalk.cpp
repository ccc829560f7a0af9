#include "FernwickCore/Scanning/ScanWalk.h"

#include "FernwickCore/Platform/DirectoryReader.h"
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/PseudoFileSystem.h"
#include "FernwickCore/Scanning/CategoryEngine.h"
#include "FernwickCore/Scanning/NodeArena.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace fernwick::detail {

namespace {

constexpr std::string_view kPrivacyReason = "Protected by macOS Security Policy";
constexpr std::string_view kUnlistedReason = "Permission Denied";
constexpr std::int64_t kMinimumInaccessible = 4096;
// A large folder hands its sub-folders to idle workers in batches of this many entries.
constexpr std::size_t kBatch = 256;
constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

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
// The shortest entry without a "/": the least a name must hold to match one by itself.
constexpr std::size_t kShortestNameEntry = 14;

constexpr std::array<std::string_view, 6> kPackageExtensions = {"app",    "bundle", "framework",
                                                                "plugin", "kext",   "pkg"};

std::int64_t steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void addSaturating(std::atomic<std::int64_t>& total, std::int64_t value) {
    if (value == 0) {
        return;
    }
    std::int64_t current = total.load(std::memory_order_relaxed);
    while (!total.compare_exchange_weak(current, saturatingAdd(current, value),
                                        std::memory_order_relaxed)) {
    }
}

bool containsPrivacyEntry(std::string_view lowered) {
    return std::any_of(kPrivacyEntries.begin(), kPrivacyEntries.end(),
                       [&](std::string_view entry) { return lowered.find(entry) != lowered.npos; });
}

void lowerInto(std::string& out, std::string_view text) {
    for (char c : text) {
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
}

bool isPackageName(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == name.npos || dot == 0 || dot + 1 == name.size() || name.size() - dot > 10) {
        return false;
    }
    std::string lowered;
    lowerInto(lowered, name.substr(dot + 1));
    return std::find(kPackageExtensions.begin(), kPackageExtensions.end(), lowered) !=
           kPackageExtensions.end();
}

void joinInto(std::string& out, std::string_view folder, std::string_view name) {
    out.assign(folder);
    if (out.empty() || out.back() != '/') {
        out.push_back('/');
    }
    out.append(name);
}

std::string joined(std::string_view folder, std::string_view name) {
    std::string out;
    joinInto(out, folder, name);
    return out;
}

TimePoint fromSeconds(std::int64_t seconds) {
    return TimePoint(std::chrono::seconds(seconds));
}

} // namespace

/// An open folder that its sub-folders' tasks open their own folders from; closed when the last
/// of them is done with it.
struct DirHandle {
    DirHandle(int descriptor, std::uint64_t deviceNumber) : fd(descriptor), device(deviceNumber) {}
    ~DirHandle() { ::close(fd); }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    const int fd;
    const std::uint64_t device;
};

/// The totals of one top-level walk, shared by every task below that entry of the root.
struct WalkTotals {
    std::atomic<std::int64_t> logical{0};
    std::atomic<std::int64_t> allocated{0};
    std::atomic<std::int64_t> files{0};
    std::atomic<std::int64_t> errors{0};
    std::atomic<std::int64_t> inaccessible{0};
    std::atomic<std::int64_t> lastReport{0};
};

/// A folder being sized in one pass by several tasks; the last to finish writes the node.
struct SizingTarget {
    DiskNode* node = nullptr;
    WalkTotals* walk = nullptr;
    std::int64_t ownSize = 0;
    std::int64_t ownAllocated = 0; // st_blocks x 512, without the node's fallback
    std::atomic<std::int64_t> logical{0};
    std::atomic<std::int64_t> allocated{0};
    std::atomic<std::int64_t> count{0};
    std::atomic<std::int64_t> pending{1};
    bool skipped = false; // the folder lies on a pseudo file system: neither listed nor sized
};

/// What the walk knows of the folder whose entries it visits.
struct FolderContext {
    std::shared_ptr<const std::string> path;
    std::shared_ptr<DirHandle> handle;
    int depth = 0; // of the folder; its entries are one deeper
    WalkTotals* walk = nullptr;
    bool allProtected = false;
    std::vector<std::string> protectedNames; // entries of the snapshot naming a direct child
    bool allPrivate = false;
    // For each privacy entry whose part before its last "/" ends this folder's lower-cased path:
    // the part after it. An item is private when its lower-cased name begins with one of them.
    std::vector<std::string_view> privateNamePrefixes;
};

struct WorkerScratch {
    WorkerScratch() : arena(NodeArena::create()) { currentNodeArena() = arena; }
    ~WorkerScratch() {
        currentNodeArena() = nullptr;
        arena->release();
    }
    WorkerScratch(const WorkerScratch&) = delete;
    WorkerScratch& operator=(const WorkerScratch&) = delete;
    NodeArena* arena;
    DirectoryReader reader;
    std::string path;
    std::string lowered;
};

/// Device and inode pairs of files with more than one link, seen in this scan.
class LinkRegistry {
public:
    /// True the first time a pair is offered.
    bool insert(std::uint64_t device, std::uint64_t inode) {
        const Key key{device, inode};
        Shard& shard = m_shards[KeyHash{}(key) % m_shards.size()];
        std::lock_guard lock(shard.mutex);
        return shard.keys.insert(key).second;
    }

private:
    struct Key {
        std::uint64_t device;
        std::uint64_t inode;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            return std::hash<std::uint64_t>{}(key.inode * 0x9E3779B97F4A7C15ULL ^ key.device);
        }
    };
    struct Shard {
        std::mutex mutex;
        std::unordered_set<Key, KeyHash> keys;
    };
    std::array<Shard, 32> m_shards;
};

struct ScanWalk::Local {
    std::int64_t logical = 0;
    std::int64_t allocated = 0;
    std::int64_t files = 0;
    std::int64_t errors = 0;
    std::int64_t inaccessible = 0;
};

struct ScanWalk::Task {
    enum class Kind { topLevel, list, size } kind = Kind::list;
    // topLevel: the root's context, the entry's name and its slot among the root's children.
    // list: the folder's node, its parent's context. size: the target and the folder's name.
    DiskNode* node = nullptr;
    std::shared_ptr<SizingTarget> target;
    std::shared_ptr<const FolderContext> parent;
    std::shared_ptr<DirHandle> parentHandle;
    std::string name;
    std::string path;
    std::uint64_t device = 0;
    std::size_t slot = 0;
    int depth = 0;
    WalkTotals* walk = nullptr;
};

ScanWalk::ScanWalk(int maxDepth, std::function<void(const ScanProgress&)> onProgress,
                   const ScannerSeams& seams, ProtectedPrefixesSnapshot snapshot,
                   std::shared_ptr<const std::atomic<bool>> token)
    : m_maxDepth(maxDepth), m_onProgress(std::move(onProgress)), m_seams(seams),
      m_snapshot(std::move(snapshot)), m_token(std::move(token)),
      m_links(std::make_unique<LinkRegistry>()) {}

ScanWalk::~ScanWalk() = default;

FolderContext ScanWalk::makeContext(std::string path, std::shared_ptr<DirHandle> handle, int depth,
                                    WalkTotals* walk) const {
    FolderContext folder;
    folder.handle = std::move(handle);
    folder.depth = depth;
    folder.walk = walk;
    // Protection is "at or under" an entry: every item of a protected folder is protected;
    // otherwise only an entry that names one of this folder's items exactly can match.
    const std::string prefix = path.empty() || path.back() != '/' ? path + '/' : path;
    for (const auto* list : {&m_snapshot.system, &m_snapshot.user}) {
        for (const std::string& entry : *list) {
            if (paths::isAtOrUnder(path, entry)) {
                folder.allProtected = true;
            } else if (entry.size() > prefix.size() &&
                       entry.compare(0, prefix.size(), prefix) == 0 &&
                       entry.find('/', prefix.size()) == std::string::npos) {
                folder.protectedNames.push_back(entry.substr(prefix.size()));
            }
        }
    }
    std::string lowered;
    lowerInto(lowered, path);
    folder.allPrivate = containsPrivacyEntry(lowered);
    // An entry that matches across the "/" before an item's name splits at its own last "/"
    // (names hold none); one that lies wholly in the folder's path made allPrivate true.
    const std::string_view before = lowered == "/" ? std::string_view() : std::string_view(lowered);
    for (std::string_view entry : kPrivacyEntries) {
        const auto slash = entry.rfind('/');
        if (slash != entry.npos && before.ends_with(entry.substr(0, slash))) {
            folder.privateNamePrefixes.push_back(entry.substr(slash + 1));
        }
    }
    folder.path = std::make_shared<const std::string>(std::move(path));
    return folder;
}

bool ScanWalk::run(DiskNode& root, const std::string& rootPath, std::uint64_t rootDevice,
                   Totals& totals) {
    if ((m_seams.listingError && m_seams.listingError(rootPath) != 0) ||
        (m_seams.pseudoFileSystem && m_seams.pseudoFileSystem(rootPath))) {
        return false;
    }
    const int fd = ::open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    auto handle = std::make_shared<DirHandle>(fd, rootDevice);
    WorkerScratch scratch;
    if (isOnPseudoFileSystem(fd) || scratch.reader.read(fd, true) != 0) {
        return false;
    }
    auto rootContext =
        std::make_shared<const FolderContext>(makeContext(rootPath, std::move(handle), 0, nullptr));

    // One task per entry of the root, each with its own totals, added until a cancellation.
    std::vector<Task> tasks;
    for (const auto& entry : scratch.reader.entries()) {
        if (cancelled()) {
            break;
        }
        m_walks.push_back(std::make_unique<WalkTotals>());
        Task task;
        task.kind = Task::Kind::topLevel;
        task.parent = rootContext;
        task.name.assign(entry.name);
        task.slot = tasks.size();
        task.depth = 1;
        task.walk = m_walks.back().get();
        tasks.push_back(std::move(task));
    }
    root.children.assign(tasks.size(), nullptr);
    m_root = &root;
    push(tasks);

    const unsigned count = m_seams.workerCount != 0
                               ? m_seams.workerCount
                               : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    workers.reserve(count);
    try {
        for (unsigned i = 0; i < count; ++i) {
            workers.emplace_back([this] { workerLoop(); });
        }
    } catch (const std::system_error&) {
        // Fewer threads than asked for still finish the walk; none at all means this one does.
        if (workers.empty()) {
            workerLoop();
        }
    }
    for (auto& worker : workers) {
        worker.join();
    }
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
    if (m_aborted.load()) {
        throw ScanCancelled();
    }
    for (const auto& walk : m_walks) {
        totals.files = saturatingAdd(totals.files, walk->files.load());
        totals.errors = saturatingAdd(totals.errors, walk->errors.load());
        totals.inaccessible = saturatingAdd(totals.inaccessible, walk->inaccessible.load());
    }
    return true;
}

void ScanWalk::push(std::vector<Task>& tasks) {
    if (tasks.empty()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        // Reversed, so that the first of them is taken first: one worker walks in name order.
        for (auto it = tasks.rbegin(); it != tasks.rend(); ++it) {
            m_stack.push_back(std::move(*it));
        }
        m_outstanding += static_cast<std::int64_t>(tasks.size());
    }
    tasks.clear();
    m_wake.notify_all();
}

void ScanWalk::workerLoop() {
    WorkerScratch scratch;
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            ++m_idle;
            m_wake.wait(lock, [this] { return !m_stack.empty() || m_outstanding == 0; });
            --m_idle;
            if (m_stack.empty()) {
                return;
            }
            task = std::move(m_stack.back());
            m_stack.pop_back();
        }
        if (!m_aborted.load(std::memory_order_relaxed)) {
            try {
                runTask(task, scratch);
            } catch (const ScanCancelled&) {
                m_aborted = true;
            } catch (...) {
                std::lock_guard lock(m_mutex);
                m_failure = std::current_exception();
                m_aborted = true;
            }
        }
        bool done = false;
        {
            std::lock_guard lock(m_mutex);
            done = --m_outstanding == 0;
        }
        if (done) {
            m_wake.notify_all();
        }
    }
}

void ScanWalk::runTask(Task& task, WorkerScratch& scratch) {
    switch (task.kind) {
    case Task::Kind::topLevel:
        runTopLevel(task, scratch);
        break;
    case Task::Kind::list:
        runList(task, scratch);
        break;
    case Task::Kind::size:
        runSize(task, scratch);
        break;
    }
}

void ScanWalk::runTopLevel(Task& task, WorkerScratch& scratch) {
    WalkTotals& walk = *task.walk;
    walk.lastReport.store(steadyNow(), std::memory_order_relaxed);
    Local local;
    Follow follow = Follow::none;
    std::int64_t ownAllocated = 0;
    DiskNodePtr node = visit(*task.parent, task.name, 1, local, scratch, follow, ownAllocated);
    m_root->children[task.slot] = node;
    flush(walk, local, scratch.path);
    std::vector<Task> pending;
    queueFor(node, *task.parent, 1, follow, ownAllocated, &walk, pending);
    push(pending);
}

DiskNodePtr ScanWalk::visit(const FolderContext& folder, std::string_view name, int depth,
                            Local& local, WorkerScratch& scratch, Follow& follow,
                            std::int64_t& ownAllocated) {
    follow = Follow::none;
    joinInto(scratch.path, *folder.path, name);
    const std::string& path = scratch.path;
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
    // Only a file with several links can be met twice; its bytes count once in the progress.
    bool isRepeat = false;
    if (ok && !isDirectory && info.st_ino != 0 && info.st_nlink > 1) {
        isRepeat = !m_links->insert(info.st_dev, info.st_ino);
    }
    const CategoryVerdict verdict =
        CategoryEngine::shared().verdict(path, name, isDirectory, isPackage);

    auto node = std::allocate_shared<DiskNode>(ArenaAllocator<DiskNode>(), folder.path,
                                               std::string(name), isDirectory, isPackage);
    const std::int64_t allocated = ok ? static_cast<std::int64_t>(info.st_blocks) * 512 : 0;
    ownAllocated = allocated;
    node->size = ok ? static_cast<std::int64_t>(info.st_size) : 0;
    node->allocatedSize = allocated > 0 ? allocated : node->size;
    node->category = verdict.category;
    node->riskLevel = isProtected ? RiskLevel::high : verdict.riskLevel;
    node->confidence = verdict.confidence;
    node->modifiedDate = ok ? fromSeconds(info.st_mtime) : std::chrono::system_clock::now();
    node->isSymlink = ok && S_ISLNK(info.st_mode);
    node->isProtected = isProtected;
    node->inode = ok ? info.st_ino : 0;
    node->deviceID = ok ? info.st_dev : 0;

    local.files += 1;
    local.errors += ok ? 0 : 1;
    if (!isRepeat) {
        local.logical = saturatingAdd(local.logical, node->size);
        local.allocated = saturatingAdd(local.allocated, allocated);
    }
    if (m_seams.didVisit) {
        m_seams.didVisit(path);
    }

    // Privacy folders are never opened. The test reads the whole lower-cased path; the folder's
    // part was judged once, so only the name needs looking at here.
    bool isPrivate = folder.allPrivate;
    if (!isPrivate && (!folder.privateNamePrefixes.empty() || name.size() >= kShortestNameEntry)) {
        scratch.lowered.clear();
        lowerInto(scratch.lowered, name);
        const std::string_view lowered = scratch.lowered;
        isPrivate =
            std::any_of(folder.privateNamePrefixes.begin(), folder.privateNamePrefixes.end(),
                        [&](std::string_view prefix) { return lowered.starts_with(prefix); }) ||
            (lowered.size() >= kShortestNameEntry && containsPrivacyEntry(lowered));
    }
    if (isPrivate) {
        node->isAccessible = false;
        node->setErrorReason(std::string(kPrivacyReason));
        local.inaccessible =
            saturatingAdd(local.inaccessible, std::max(node->allocatedSize, kMinimumInaccessible));
        return node;
    }
    if (isDirectory) {
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
    task.path = joined(*folder.path, node->name());
    task.device = node->deviceID;
    task.depth = depth;
    task.walk = walk;
    task.node = node.get();
    task.name = node->name();
    if (follow == Follow::list) {
        task.kind = Task::Kind::list;
    } else {
        task.kind = Task::Kind::size;
        task.target = std::make_shared<SizingTarget>();
        task.target->node = node.get();
        task.target->walk = walk;
        task.target->ownSize = node->size;
        task.target->ownAllocated = ownAllocated;
    }
    pending.push_back(std::move(task));
}

ScanWalk::Opened ScanWalk::openFolder(Task& task, WorkerScratch& scratch,
                                      std::shared_ptr<DirHandle>& handle) {
    if (m_seams.pseudoFileSystem && m_seams.pseudoFileSystem(task.path)) {
        return Opened::pseudo;
    }
    int error = m_seams.listingError ? m_seams.listingError(task.path) : 0;
    int fd = -1;
    if (error == 0) {
        fd = ::openat(task.parentHandle->fd, task.name.c_str(), kOpenFlags);
        error = fd < 0 ? errno : 0;
    }
    // Pseudo file systems are mounted, so only a change of device can lead onto one.
    if (error == 0 && task.device != task.parentHandle->device && isOnPseudoFileSystem(fd)) {
        ::close(fd);
        return Opened::pseudo;
    }
    // One-pass sizing adds up its entries in any order; only listings are sorted.
    if (error == 0) {
        error = scratch.reader.read(fd, true, task.kind == Task::Kind::list);
    }
    if (error != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return Opened::failed;
    }
    task.parentHandle.reset();
    handle = std::make_shared<DirHandle>(fd, task.device);
    return Opened::listed;
}

void ScanWalk::runList(Task& task, WorkerScratch& scratch) {
    DiskNode& node = *task.node;
    WalkTotals& walk = *task.walk;
    std::shared_ptr<DirHandle> handle;
    const Opened opened = openFolder(task, scratch, handle);
    if (opened == Opened::failed) {
        markUnlisted(node, walk);
    }
    if (opened != Opened::listed) {
        return;
    }
    const FolderContext folder =
        makeContext(std::move(task.path), std::move(handle), task.depth, &walk);

    const auto& entries = scratch.reader.entries();
    node.children.reserve(entries.size());
    std::vector<Task> pending;
    Local local;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // A cancellation seen here keeps what the folder gathered so far.
        if (cancelled()) {
            break;
        }
        Follow follow = Follow::none;
        std::int64_t ownAllocated = 0;
        DiskNodePtr child =
            visit(folder, entries[i].name, task.depth + 1, local, scratch, follow, ownAllocated);
        queueFor(child, folder, task.depth + 1, follow, ownAllocated, &walk, pending);
        node.children.push_back(std::move(child));
        if ((i + 1) % kBatch == 0) {
            flush(walk, local, scratch.path);
            if (m_idle.load(std::memory_order_relaxed) > 0) {
                push(pending);
            }
        }
    }
    flush(walk, local, scratch.path);
    push(pending);
}

void ScanWalk::runSize(Task& task, WorkerScratch& scratch) {
    SizingTarget& target = *task.target;
    std::shared_ptr<DirHandle> handle;
    const Opened opened = openFolder(task, scratch, handle);
    if (opened == Opened::pseudo && task.node != nullptr) {
        target.skipped = true; // the first task of its target: no other exists yet
    }
    // Errors below the folder are passed over; a folder that cannot be read adds nothing.
    if (opened != Opened::listed) {
        finishOne(target);
        return;
    }
    const int fd = handle->fd;
    std::int64_t logical = 0;
    std::int64_t allocated = 0;
    std::int64_t count = 0;
    std::vector<Task> pending;
    const auto& entries = scratch.reader.entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view name = entries[i].name;
        ++count;
        struct stat info {};
        if (::fstatat(fd, name.data(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            logical = saturatingAdd(logical, static_cast<std::int64_t>(info.st_size));
            allocated = saturatingAdd(allocated, static_cast<std::int64_t>(info.st_blocks) * 512);
            continue;
        }
        // Folders carry no size of their own here; a cancelled scan stops descending.
        if (cancelled()) {
            continue;
        }
        Task sub;
        sub.kind = Task::Kind::size;
        sub.target = task.target;
        sub.parentHandle = handle;
        sub.name.assign(name);
        sub.path = joined(task.path, name);
        sub.device = info.st_dev;
        sub.walk = task.walk;
        target.pending.fetch_add(1, std::memory_order_relaxed);
        pending.push_back(std::move(sub));
        if (pending.size() >= kBatch && m_idle.load(std::memory_order_relaxed) > 0) {
            push(pending);
        }
    }
    addSaturating(target.logical, logical);
    addSaturating(target.allocated, allocated);
    addSaturating(target.count, count);
    push(pending);
    finishOne(target);
}

void ScanWalk::finishOne(SizingTarget& target) {
    if (target.pending.fetch_sub(1, std::memory_order_acq_rel) != 1 || target.skipped) {
        return;
    }
    DiskNode& node = *target.node;
    WalkTotals& walk = *target.walk;
    const std::int64_t logical = target.logical.load(std::memory_order_relaxed);
    const std::int64_t allocated = target.allocated.load(std::memory_order_relaxed);
    const std::int64_t count = std::max<std::int64_t>(target.count.load(), 1);
    node.size = std::max(logical, target.ownSize);
    node.allocatedSize = std::max(allocated, node.allocatedSize);
    node.itemCount = count;
    addSaturating(walk.logical, std::max<std::int64_t>(logical - target.ownSize, 0));
    addSaturating(walk.allocated, std::max<std::int64_t>(allocated - target.ownAllocated, 0));
    addSaturating(walk.files, count);
}

void ScanWalk::markUnlisted(DiskNode& node, WalkTotals& walk) {
    node.isAccessible = false;
    node.setErrorReason(std::string(kUnlistedReason));
    addSaturating(walk.inaccessible, std::max(node.allocatedSize, kMinimumInaccessible));
    addSaturating(walk.errors, 1);
}

void ScanWalk::flush(WalkTotals& walk, Local& local, const std::string& currentPath) {
    addSaturating(walk.logical, local.logical);
    addSaturating(walk.allocated, local.allocated);
    addSaturating(walk.files, local.files);
    addSaturating(walk.errors, local.errors);
    addSaturating(walk.inaccessible, local.inaccessible);
    local = Local{};
    if (!m_onProgress) {
        return;
    }
    const std::int64_t now = steadyNow();
    std::int64_t last = walk.lastReport.load(std::memory_order_relaxed);
    if (now - last <= m_seams.reportInterval.count() ||
        !walk.lastReport.compare_exchange_strong(last, now, std::memory_order_relaxed)) {
        return;
    }
    m_onProgress(ScanProgress{walk.logical.load(), walk.allocated.load(), walk.files.load(),
                              walk.inaccessible.load(), currentPath, false, walk.errors.load()});
}

} // namespace fernwick::detail
