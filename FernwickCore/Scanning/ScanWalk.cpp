#include "FernwickCore/Scanning/ScanWalk.h"

#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/PseudoFileSystem.h"
#include "FernwickCore/Scanning/ScanWalkSteps.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
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

// The trail's head decides protection like the whole path when it is longer than every entry.
std::size_t trailHeadFor(const ProtectedPrefixesSnapshot& snapshot) {
    std::size_t bytes = CategoryEngine::shared().trailHeadBytes();
    for (const auto* list : {&snapshot.system, &snapshot.user}) {
        for (const std::string& entry : *list) {
            bytes = std::max(bytes, entry.size() + 2);
        }
    }
    return bytes;
}

} // namespace

ScanWalk::ScanWalk(int maxDepth, std::function<void(const ScanProgress&)> onProgress,
                   const ScannerSeams& seams, ProtectedPrefixesSnapshot snapshot,
                   std::stop_token stop)
    : m_maxDepth(maxDepth), m_onProgress(std::move(onProgress)), m_seams(seams),
      m_snapshot(std::move(snapshot)), m_aboveRoot(std::make_unique<ProtectedAbove>()),
      m_trailHead(trailHeadFor(m_snapshot)), m_stop(std::move(stop)),
      m_links(std::make_unique<LinkRegistry>()), m_totals(std::make_unique<ScanTotals>()),
      m_pool(seams.workerCount) {
    for (const auto* list : {&m_snapshot.system, &m_snapshot.user}) {
        for (const std::string& entry : *list) {
            m_aboveRoot->candidates.push_back(&entry);
        }
    }
}

ScanWalk::~ScanWalk() = default;

bool ScanWalk::run(DiskNode& root, const std::string& rootPath, Totals& totals) {
    if ((m_seams.listingError && m_seams.listingError(rootPath) != 0) ||
        (m_seams.pseudoFileSystem && m_seams.pseudoFileSystem(rootPath))) {
        return false;
    }
    const int fd = ::open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    auto handle = std::make_shared<DirHandle>(fd, root.deviceID);
    WorkerScratch scratch;
    if (isOnPseudoFileSystem(fd) || scratch.reader.read(fd, true) != 0) {
        return false;
    }
    if (root.inode != 0) {
        m_links->insert(root.deviceID, root.inode);
    }
    FolderContext rootFolder =
        makeContext(root.linkForChildren(), CategoryEngine::shared().trail(rootPath, m_trailHead),
                    std::move(handle), 0, nullptr, *m_aboveRoot, rootPath);
    auto rootSum = std::make_shared<FolderSum>(); // held by this call until the tasks are queued
    rootFolder.sum = rootSum;
    auto rootContext = std::make_shared<const FolderContext>(std::move(rootFolder));
    m_root = &root;
    m_rootEntries = &scratch.reader.entries();
    root.children.mut().assign(queueRootEntries(rootContext, scratch.reader.entries()), nullptr);
    finishSum(std::move(rootSum));

    // A visit that sees the cancellation throws ScanCancelled, which the pool passes on; tasks
    // that had not started when it came add nothing (a top-level one leaves no child).
    m_pool.run<WorkerScratch>(m_stop,
                              [this](Task& task, WorkerScratch& worker) { runTask(task, worker); });
    m_rootEntries = nullptr;
    std::erase(root.children.mut(), nullptr);
    for (DiskNode* folder : m_splitFolders) {
        std::erase(folder->children.mut(), nullptr);
    }
    totals.files = m_totals->files.load();
    totals.errors = m_totals->errors.load();
    totals.inaccessible = m_totals->inaccessible.load();
    if (m_summed) {
        root.sumChildren();
    }
    totals.summed = m_summed;
    return true;
}

std::size_t ScanWalk::queueRootEntries(const std::shared_ptr<const FolderContext>& rootContext,
                                       const std::vector<DirectoryReader::Entry>& entries) {
    // Entries the listing names as folders (or cannot name) each walk alone; the others go in
    // runs that share one report clock, whose reports come at the usual cadence however many
    // files the root holds directly.
    WalkTotals* files = nullptr;
    std::vector<Task> tasks;
    std::size_t slot = 0;
    while (slot < entries.size() && !cancelled()) {
        const auto isFolder = [&](std::size_t i) {
            return entries[i].type == DT_DIR || entries[i].type == DT_UNKNOWN;
        };
        Task task;
        task.parent = rootContext;
        task.sum = rootContext->sum;
        task.sum->pending.fetch_add(1, std::memory_order_relaxed);
        task.slot = slot;
        task.depth = 1;
        if (isFolder(slot)) {
            m_walks.push_back(std::make_unique<WalkTotals>());
            task.kind = Task::Kind::topLevel;
            task.name.assign(entries[slot].name);
            task.count = 1;
            task.walk = m_walks.back().get();
        } else {
            if (files == nullptr) {
                m_walks.push_back(std::make_unique<WalkTotals>());
                files = m_walks.back().get();
                files->lastReport.store(steadyNow(), std::memory_order_relaxed);
            }
            task.kind = Task::Kind::rootFiles;
            while (slot + task.count < entries.size() && task.count < kBatch &&
                   !isFolder(slot + task.count)) {
                ++task.count;
            }
            task.walk = files;
        }
        slot += task.count;
        tasks.push_back(std::move(task));
    }
    m_pool.push(tasks);
    return slot;
}

void ScanWalk::runTask(Task& task, WorkerScratch& scratch) {
    switch (task.kind) {
    case Task::Kind::topLevel:
        runTopLevel(task, scratch);
        break;
    case Task::Kind::rootFiles:
        runRootFiles(task, scratch);
        break;
    case Task::Kind::list:
        runList(task, scratch);
        break;
    case Task::Kind::size:
        runSize(task, scratch);
        break;
    case Task::Kind::run:
        runRun(task, scratch);
        break;
    }
    finishSum(std::move(task.sum));
}

void ScanWalk::runTopLevel(Task& task, WorkerScratch& scratch) {
    WalkTotals& walk = *task.walk;
    walk.lastReport.store(steadyNow(), std::memory_order_relaxed);
    Local local;
    Follow follow = Follow::none;
    std::int64_t ownAllocated = 0;
    DiskNodePtr node = visit(*task.parent, task.name, 1, local, scratch, follow, ownAllocated);
    m_root->children.mut()[task.slot] = node;
    flush(walk, local, task.parent->link, task.name);
    std::vector<Task> pending;
    queueFor(node, *task.parent, 1, follow, ownAllocated, &walk, pending);
    m_pool.push(pending);
}

void ScanWalk::runRootFiles(Task& task, WorkerScratch& scratch) {
    WalkTotals& walk = *task.walk;
    Local local;
    std::vector<Task> pending;
    for (std::size_t i = task.slot; i < task.slot + task.count; ++i) {
        Follow follow = Follow::none;
        std::int64_t ownAllocated = 0;
        DiskNodePtr node =
            visit(*task.parent, (*m_rootEntries)[i].name, 1, local, scratch, follow, ownAllocated);
        // A file that became a folder since the listing is walked all the same.
        queueFor(node, *task.parent, 1, follow, ownAllocated, &walk, pending);
        m_root->children.mut()[i] = std::move(node);
    }
    if (task.count > 0) {
        flush(walk, local, task.parent->link, (*m_rootEntries)[task.slot + task.count - 1].name);
    }
    m_pool.push(pending);
}

ScanWalk::Opened ScanWalk::openFolder(Task& task, WorkerScratch& scratch,
                                      std::shared_ptr<DirHandle>& handle) {
    // The whole path only for the test seams: building it costs time that grows with the depth.
    std::string path;
    if (m_seams.pseudoFileSystem || m_seams.listingError) {
        path = paths::joined(task.parentLink->text(), task.name);
    }
    if (m_seams.pseudoFileSystem && m_seams.pseudoFileSystem(path)) {
        return Opened::pseudo;
    }
    int error = m_seams.listingError ? m_seams.listingError(path) : 0;
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
    auto sum = std::make_shared<FolderSum>();
    sum->node = &node;
    sum->parent = std::move(task.sum);
    std::shared_ptr<DirHandle> handle;
    const Opened opened = openFolder(task, scratch, handle);
    if (opened == Opened::failed) {
        markUnlisted(node);
    }
    if (opened != Opened::listed) {
        finishSum(std::move(sum));
        return;
    }
    FolderContext folder = makeContext(node.linkForChildren(), std::move(task.trail),
                                       std::move(handle), task.depth, &walk, task.above);
    folder.sum = sum;

    const auto& entries = scratch.reader.entries();
    // One worker keeps the order of its visits: each folder's items, then its sub-folders.
    if (entries.size() > 2 * kBatch && m_pool.threadCount() > 1) {
        splitIntoRuns(node, std::move(folder), entries);
        finishSum(std::move(sum));
        return;
    }
    node.children.mut().reserve(entries.size());
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
        node.children.mut().push_back(std::move(child));
        if ((i + 1) % kBatch == 0) {
            flush(walk, local, folder.link, entries[i].name);
            if (m_pool.idleWorkers() > 0) {
                m_pool.push(pending);
            }
        }
    }
    flush(walk, local, folder.link,
          node.children.empty() ? std::string_view()
                                : std::string_view(node.children.back()->name()));
    m_pool.push(pending);
    finishSum(std::move(sum));
}

void ScanWalk::splitIntoRuns(DiskNode& node, FolderContext folder,
                             const std::vector<DirectoryReader::Entry>& entries) {
    auto runs = std::make_shared<FolderRuns>();
    folder.sum->split = true;
    runs->folder = std::move(folder);
    runs->node = &node;
    std::size_t bytes = 0;
    for (const auto& entry : entries) {
        bytes += entry.name.size() + 1;
    }
    runs->names.reserve(bytes);
    for (const auto& entry : entries) {
        runs->names.append(entry.name.data(), entry.name.size() + 1);
    }
    runs->entries.reserve(entries.size());
    for (std::size_t at = 0; at < runs->names.size();) {
        const std::size_t length = std::strlen(runs->names.data() + at);
        runs->entries.emplace_back(runs->names.data() + at, length);
        at += length + 1;
    }
    {
        const std::lock_guard lock(m_splitMutex);
        m_splitFolders.push_back(&node);
    }
    node.children.mut().assign(entries.size(), nullptr);
    std::vector<Task> tasks;
    for (std::size_t slot = 0; slot < entries.size(); slot += kBatch) {
        Task task;
        task.kind = Task::Kind::run;
        task.runs = runs;
        task.sum = runs->folder.sum;
        task.sum->pending.fetch_add(1, std::memory_order_relaxed);
        task.slot = slot;
        task.count = std::min(kBatch, entries.size() - slot);
        tasks.push_back(std::move(task));
    }
    m_pool.push(tasks);
}

void ScanWalk::runRun(Task& task, WorkerScratch& scratch) {
    FolderRuns& runs = *task.runs;
    const FolderContext& folder = runs.folder;
    WalkTotals& walk = *folder.walk;
    auto& children = runs.node->children.mut();
    std::vector<Task> pending;
    Local local;
    std::size_t end = task.slot;
    for (; end < task.slot + task.count && !cancelled(); ++end) {
        Follow follow = Follow::none;
        std::int64_t ownAllocated = 0;
        DiskNodePtr child = visit(folder, runs.entries[end], folder.depth + 1, local, scratch,
                                  follow, ownAllocated);
        queueFor(child, folder, folder.depth + 1, follow, ownAllocated, &walk, pending);
        children[end] = std::move(child);
    }
    flush(walk, local, folder.link, end > task.slot ? runs.entries[end - 1] : std::string_view());
    m_pool.push(pending);
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
    PathLinkPtr link; // the folder's, made for its first sub-folder
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
        // Folders carry no size of their own here; a cancelled scan stops descending, and a
        // folder the scan has met already is not sized again.
        if (cancelled() || (info.st_ino != 0 && !m_links->insert(info.st_dev, info.st_ino))) {
            continue;
        }
        Task sub;
        sub.kind = Task::Kind::size;
        sub.target = task.target;
        sub.parentHandle = handle;
        if (!link) {
            link = PathLink::make(task.parentLink, task.name);
        }
        sub.parentLink = link;
        sub.name.assign(name);
        sub.device = info.st_dev;
        sub.walk = task.walk;
        target.pending.fetch_add(1, std::memory_order_relaxed);
        pending.push_back(std::move(sub));
        if (pending.size() >= kBatch && m_pool.idleWorkers() > 0) {
            m_pool.push(pending);
        }
    }
    addSaturating(target.logical, logical);
    addSaturating(target.allocated, allocated);
    addSaturating(target.count, count);
    m_pool.push(pending);
    finishOne(target);
}

void ScanWalk::finishOne(SizingTarget& target) {
    if (target.pending.fetch_sub(1, std::memory_order_acq_rel) != 1) {
        return;
    }
    if (target.skipped) {
        finishSum(std::move(target.folderSum));
        return;
    }
    DiskNode& node = *target.node;
    const std::int64_t logical = target.logical.load(std::memory_order_relaxed);
    const std::int64_t allocated = target.allocated.load(std::memory_order_relaxed);
    const std::int64_t count = std::max<std::int64_t>(target.count.load(), 1);
    node.size = std::max(logical, target.ownSize);
    node.allocatedSize = std::max(allocated, node.allocatedSize.get());
    node.itemCount = count;
    addSaturating(m_totals->logical, std::max<std::int64_t>(logical - target.ownSize, 0));
    addSaturating(m_totals->allocated, std::max<std::int64_t>(allocated - target.ownAllocated, 0));
    addSaturating(m_totals->files, count);
    finishSum(std::move(target.folderSum));
}

void ScanWalk::finishSum(std::shared_ptr<FolderSum> sum) {
    // acq_rel: the last to let go sees every child written by the others.
    while (sum && sum->pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        if (sum->node == nullptr) {
            m_summed = true;
            return;
        }
        if (sum->split) {
            std::erase(sum->node->children.mut(), nullptr);
        }
        sum->node->sumChildren();
        sum = std::move(sum->parent);
    }
}

void ScanWalk::markUnlisted(DiskNode& node) {
    node.isAccessible = false;
    node.setErrorReason(std::string(kUnlistedReason));
    addSaturating(m_totals->inaccessible, std::max(node.allocatedSize.get(), kMinimumInaccessible));
    addSaturating(m_totals->errors, 1);
}

void ScanWalk::flush(WalkTotals& walk, Local& local, const PathLinkPtr& folder,
                     std::string_view name) {
    ScanTotals& totals = *m_totals;
    addSaturating(totals.logical, local.logical);
    addSaturating(totals.allocated, local.allocated);
    addSaturating(totals.files, local.files);
    addSaturating(totals.errors, local.errors);
    addSaturating(totals.inaccessible, local.inaccessible);
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
    // Read under the lock: every report holds what the one before it held, and more.
    const std::lock_guard lock(m_reportMutex);
    m_onProgress(ScanProgress{totals.logical.load(), totals.allocated.load(), totals.files.load(),
                              totals.inaccessible.load(), paths::joined(folder->text(), name),
                              false, totals.errors.load()});
}

} // namespace fernwick::detail
