#pragma once

// The disk scanner: walks a folder into a tree of DiskNodes.
//
// Threads: `scan` blocks its caller and runs the walk on a fixed pool of worker threads (one per
// hardware thread) that it starts and joins itself; call it from a worker, never from the GUI
// thread. `cancel` may be called from any thread at any time. `onProgress` is called from the
// pool's threads, possibly from several at once, and must return quickly.
// Lifetimes: the tree `scan` returns belongs to the caller; the scanner keeps nothing of it.
// Call order: scans on one scanner may follow one another; each has its own cancellation token,
// so `cancel` stops the scan running when it is called and never a later one.

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/ProtectedPathRegistry.h"
#include "FernwickCore/Model/ScanProgress.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

namespace fernwick {

/// Thrown by `AsyncDiskScanner::scan` when a cancellation ends the scan without a tree.
class ScanCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "The scan was cancelled."; }
};

/// Seams for tests: faults a fresh machine cannot produce (tests run as root), and hooks at the
/// walk's cancellation points. Every member is optional; paths are full paths, bytes as they are.
struct ScannerSeams {
    /// Asked before a folder is listed or sized in one pass; a non-zero errno makes that fail.
    std::function<int(const std::string& path)> listingError;
    /// Asked before an item's lstat; a non-zero errno makes it fail.
    std::function<int(const std::string& path)> statError;
    /// Asked before a folder is listed or sized; true treats it as lying on a pseudo file system.
    std::function<bool(const std::string& path)> pseudoFileSystem;
    /// Called at the start of an item's visit, just before its cancellation check.
    std::function<void(const std::string& path)> willVisit;
    /// Called once an item's node is built, before the next cancellation check.
    std::function<void(const std::string& path)> didVisit;
    /// Worker threads; 0 means one per hardware thread. One worker makes the order of visits
    /// (and so the hooks) deterministic: depth first, each folder in name order.
    unsigned workerCount = 0;
    /// Least time between two progress reports of one top-level walk.
    std::chrono::nanoseconds reportInterval = std::chrono::milliseconds(150);
};

/// Walks a folder into a classified tree of DiskNodes, reading every item with one
/// fstatat(AT_SYMLINK_NOFOLLOW), descending to a maximum depth, sizing deeper folders and
/// packages in one pass, and skipping privacy folders and pseudo file systems.
class AsyncDiskScanner {
public:
    /// `snapshotProvider` gives the protected locations, once per scan; an empty provider means
    /// the built-in system locations and no user locations.
    explicit AsyncDiskScanner(std::function<ProtectedPrefixesSnapshot()> snapshotProvider = {},
                              ScannerSeams seams = {});
    ~AsyncDiskScanner();
    AsyncDiskScanner(const AsyncDiskScanner&) = delete;
    AsyncDiskScanner& operator=(const AsyncDiskScanner&) = delete;

    /// Scans `rootURL` (standardized lexically; relative paths against the working folder) down
    /// to `maxDepth` (1 for the root's entries). Returns the root node; a root that cannot be
    /// listed gives a root without children and no report. A cancellation seen before an entry
    /// returns the partial tree (summed, with the final report); one seen at the start of an
    /// item's visit throws ScanCancelled. `onProgress` may be empty. Blocks; any thread but the
    /// GUI thread.
    [[nodiscard]] DiskNodePtr scan(const std::filesystem::path& rootURL, int maxDepth,
                                   const std::function<void(const ScanProgress&)>& onProgress);

    /// Flags the scan now running, if any, as cancelled. Any thread.
    void cancel();

    /// Whether the process may read the whole disk. Always true on this platform.
    static bool hasFullDiskAccess() { return true; }

private:
    std::function<ProtectedPrefixesSnapshot()> m_snapshotProvider;
    ScannerSeams m_seams;
    std::mutex m_mutex;
    std::shared_ptr<std::stop_source> m_current; // guarded by m_mutex: the running scan's
};

} // namespace fernwick
