#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/ProtectedPathRegistry.h"
#include "FernwickCore/Model/ScanProgress.h"
#include "FernwickCore/Scanning/AsyncDiskScanner.h"
#include "FernwickCore/Scanning/CategoryEngine.h"

#include "FernwickCore/Platform/DirectoryReader.h"
#include "FernwickCore/Platform/WorkerPool.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace fernwick::detail {

struct DirHandle;
struct WalkTotals;
struct ScanTotals;
struct SizingTarget;
struct FolderSum;
struct FolderContext;
struct ProtectedAbove;
struct WorkerScratch;
class LinkRegistry;

/// One scan's walk below the root, on a fixed pool of threads. Each folder is one task: the
/// worker that lists it builds the nodes of its entries (in name order) and queues one task per
/// sub-folder, which then fills in that sub-folder's node alone. No node is touched by two
/// threads while it is built; the caller reads the tree after the pool has been joined.
///
/// A folder is walked once per scan: one whose device and inode the scan has already met (a
/// bind mount of a folder the scan also reaches) keeps its own entry size and gets no children.
class ScanWalk {
public:
    struct Totals {
        std::int64_t files = 0;
        std::int64_t errors = 0;
        std::int64_t inaccessible = 0;
        bool summed = false; // every folder, the root too, holds the sums over its children
    };

    ScanWalk(int maxDepth, std::function<void(const ScanProgress&)> onProgress,
             const ScannerSeams& seams, ProtectedPrefixesSnapshot snapshot, std::stop_token stop);
    ~ScanWalk();
    ScanWalk(const ScanWalk&) = delete;
    ScanWalk& operator=(const ScanWalk&) = delete;

    /// Lists the root folder (its path standardized; `root` holds its lstat device and inode)
    /// and walks every entry, filling `root.children`. Returns false, changing nothing, when the
    /// root cannot be listed. Throws ScanCancelled when a visit saw the cancellation.
    [[nodiscard]] bool run(DiskNode& root, const std::string& rootPath, Totals& totals);

private:
    struct Task;
    struct Local;
    enum class Follow { none, list, size };
    enum class Opened { listed, pseudo, failed };

    void runTask(Task& task, WorkerScratch& scratch);
    void runTopLevel(Task& task, WorkerScratch& scratch);
    void runRootFiles(Task& task, WorkerScratch& scratch);
    /// Adds one top-level task per folder of the root (each with its own report clock) and one
    /// per run of up to a batch of its other entries (all sharing one clock), until a
    /// cancellation. Returns how many of the root's entries were given a task.
    std::size_t queueRootEntries(const std::shared_ptr<const FolderContext>& rootContext,
                                 const std::vector<DirectoryReader::Entry>& entries);
    /// Opens the task's folder from its parent's and reads its entries into the scratch.
    Opened openFolder(Task& task, WorkerScratch& scratch, std::shared_ptr<DirHandle>& handle);
    void runList(Task& task, WorkerScratch& scratch);
    /// Hands the entries of a large folder to tasks in runs; the folder's children get one slot
    /// per entry.
    void splitIntoRuns(DiskNode& node, FolderContext folder,
                       const std::vector<DirectoryReader::Entry>& entries);
    void runRun(Task& task, WorkerScratch& scratch);
    void runSize(Task& task, WorkerScratch& scratch);
    void finishOne(SizingTarget& target);
    /// Lets go of one hold on `sum`; the last sums its folder and lets go of the parent's.
    void finishSum(std::shared_ptr<FolderSum> sum);
    DiskNodePtr visit(const FolderContext& folder, std::string_view name, int depth, Local& local,
                      WorkerScratch& scratch, Follow& follow, std::int64_t& ownAllocated);
    void queueFor(const DiskNodePtr& node, const FolderContext& folder, int depth, Follow follow,
                  std::int64_t ownAllocated, WalkTotals* walk, std::vector<Task>& pending);
    /// Adds the local counts to the scan's totals and, when it is the walk's time, reports them,
    /// naming the item `name` of `folder` (its path is built only then).
    void flush(WalkTotals& walk, Local& local, const PathLinkPtr& folder, std::string_view name);
    void markUnlisted(DiskNode& node);
    bool cancelled() const { return m_stop.stop_requested(); }
    /// The protection and privacy facts of a folder, from its trail. `wholePath` is the root's
    /// path; a sub-folder is listed only when its visit found no privacy entry in its path.
    FolderContext makeContext(PathLinkPtr link, PathTrail trail, std::shared_ptr<DirHandle> handle,
                              int depth, WalkTotals* walk, const ProtectedAbove& above,
                              std::string_view wholePath = {}) const;

    const int m_maxDepth;
    const std::function<void(const ScanProgress&)> m_onProgress;
    const ScannerSeams& m_seams;
    const ProtectedPrefixesSnapshot m_snapshot;
    std::unique_ptr<ProtectedAbove> m_aboveRoot; // every entry of the snapshot
    // The bytes a trail keeps at the start of a path: enough for the category rules and for
    // every protected entry.
    const std::size_t m_trailHead;
    const std::stop_token m_stop;
    // Device and inode of every folder met, and of every file with more than one link.
    std::unique_ptr<LinkRegistry> m_links;
    std::unique_ptr<ScanTotals> m_totals;
    // Last in, first out: depth first.
    WorkerPool<Task> m_pool;
    std::vector<std::unique_ptr<WalkTotals>> m_walks;
    // Held while a report is read and sent: reports leave one at a time, each with totals no
    // smaller than the one before.
    std::mutex m_reportMutex;
    DiskNode* m_root = nullptr;
    bool m_summed = false; // written by the worker that lets go of the root's sum last
    // Folders split into runs: a run that never started (a cancelled scan) leaves empty slots.
    std::mutex m_splitMutex;
    std::vector<DiskNode*> m_splitFolders;
    const std::vector<DirectoryReader::Entry>* m_rootEntries = nullptr; // while run() runs
};

} // namespace fernwick::detail
