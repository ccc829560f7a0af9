#pragma once

#include <cstdint>
#include <string>

namespace fernwick {

/// One progress report of a disk scan. Until the final report, the totals are the whole scan's
/// so far (every walk together, a hard-linked file's bytes once), so they never fall from one
/// report to the next; the final report (`isComplete`, `currentPath` "Scan Completed") carries
/// the summed tree.
struct ScanProgress {
    /// Logical bytes counted so far; in the final report, the root's summed size.
    std::int64_t scannedBytes = 0;
    /// Allocated bytes counted so far; in the final report, the root's summed allocated size.
    std::int64_t scannedAllocatedBytes = 0;
    /// Items counted so far, folders included.
    std::int64_t scannedFiles = 0;
    /// Estimated bytes in folders that were not opened (each counts its allocated size, at
    /// least 4096 bytes).
    std::int64_t inaccessibleBytes = 0;
    /// Path of the item being visited (bytes as they are); "Scan Completed" in the final report.
    std::string currentPath;
    /// False in every report but the final one.
    bool isComplete = false;
    /// Items whose metadata was unreadable plus folders whose listing failed.
    std::int64_t errorCount = 0;
};

} // namespace fernwick
