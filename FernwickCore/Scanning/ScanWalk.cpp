#include "FernwickCore/Scanning/ScanWalk.h"

#include "FernwickCore/Platform/PseudoFileSystem.h"
#include "FernwickCore/Scanning/ScanWalkParts.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace fernwick::detail {

namespace {

constexpr std::string_view kUnlistedReason = "Permission Denied";
// A large folder hands its sub-folders to idle workers in batches of this many entries.
constexpr std::size_t kBatch = 256;
constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::int64_t steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

ScanWalk::ScanWalk(int maxDepth, std::function<void(const ScanProgress&)> onProgress,
                   const ScannerSeams& seams, ProtectedPrefixesSnapshot snapshot,
                   std::shared_ptr<const std::atomic<bool>> token)
    : m_maxDepth(maxDepth), m_onProgress(std::move(onProgress)), m_seams(seams),
      m_snapshot(std::move(snapshot)), m_token(std::move(token)),
      m_links(std::make_unique<LinkRegistry>()) {}

ScanWalk::~ScanWalk() = default;

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
