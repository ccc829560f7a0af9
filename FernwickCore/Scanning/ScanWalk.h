#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/ProtectedPathRegistry.h"
#include "FernwickCore/Model/ScanProgress.h"
#include "FernwickCore/Scanning/AsyncDiskScanner.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace fernwick::detail {

struct DirHandle;
struct WalkTotals;
struct SizingTarget;
struct FolderContext;
struct WorkerScratch;
class LinkRegistry;

/// One scan's walk below the root, on a fixed pool of threads. Each folder is one task: the
/// worker that lists it builds the nodes of its entries (in name order) and queues one task per
/// sub-folder, which then fills in that sub-folder's node alone. No node is touched by two
/// threads while it is built; the caller reads the tree after the pool has been joined.
class ScanWalk {
public:
    struct Totals {
        std::int64_t files = 0;
        std::int64_t errors = 0;
        std::int64_t inaccessible = 0;
    };

    ScanWalk(int maxDepth, std::function<void(const ScanProgress&)> onProgress,
             const ScannerSeams& seams, ProtectedPrefixesSnapshot snapshot,
             std::shared_ptr<const std::atomic<bool>> token);
    ~ScanWalk();
    ScanWalk(const ScanWalk&) = delete;
    ScanWalk& operator=(const ScanWalk&) = delete;

    /// Lists the root folder (its path standardized, its lstat device `rootDevice`) and walks
    /// every entry, filling `root.children`. Returns false, changing nothing, when the root
    /// cannot be listed. Throws ScanCancelled when a visit saw the cancellation.
    bool run(DiskNode& root, const std::string& rootPath, std::uint64_t rootDevice, Totals& totals);

private:
    struct Task;
    struct Local;
    enum class Follow { none, list, size };
    enum class Opened { listed, pseudo, failed };

    void push(std::vector<Task>& tasks);
    void workerLoop();
    void runTask(Task& task, WorkerScratch& scratch);
    void runTopLevel(Task& task, WorkerScratch& scratch);
    /// Opens the task's folder from its parent's and reads its entries into the scratch.
    Opened openFolder(Task& task, WorkerScratch& scratch, std::shared_ptr<DirHandle>& handle);
    void runList(Task& task, WorkerScratch& scratch);
    void runSize(Task& task, WorkerScratch& scratch);
    void finishOne(SizingTarget& target);
    DiskNodePtr visit(const FolderContext& folder, std::string_view name, int depth, Local& local,
                      WorkerScratch& scratch, Follow& follow, std::int64_t& ownAllocated);
    void queueFor(const DiskNodePtr& node, const FolderContext& folder, int depth, Follow follow,
                  std::int64_t ownAllocated, WalkTotals* walk, std::vector<Task>& pending);
    void flush(WalkTotals& walk, Local& local, const std::string& currentPath);
    void markUnlisted(DiskNode& node, WalkTotals& walk);
    bool cancelled() const { return m_token->load(std::memory_order_relaxed); }
    FolderContext makeContext(std::string path, std::shared_ptr<DirHandle> handle, int depth,
                              WalkTotals* walk) const;

    const int m_maxDepth;
    const std::function<void(const ScanProgress&)> m_onProgress;
    const ScannerSeams& m_seams;
    const ProtectedPrefixesSnapshot m_snapshot;
    const std::shared_ptr<const std::atomic<bool>> m_token;
    std::unique_ptr<LinkRegistry> m_links;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Task> m_stack;       // guarded by m_mutex; last in, first out: depth first
    std::int64_t m_outstanding = 0;  // guarded by m_mutex: queued or running tasks
    std::atomic<unsigned> m_idle{0}; // changed under m_mutex
    std::atomic<bool> m_aborted{false};
    std::exception_ptr m_failure; // guarded by m_mutex
    std::vector<std::unique_ptr<WalkTotals>> m_walks;
    DiskNode* m_root = nullptr;
};

} // namespace fernwick::detail
