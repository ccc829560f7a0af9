#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Scanning/LargeFileThreshold.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace fernwick {

/// Lists the large files of a scanned tree. Reads the in-memory tree only (never the disk),
/// keeps no state and locks nothing; callable from any thread while nobody changes the tree.
class LargeFileFinder {
public:
    static const LargeFileFinder& shared();

    /// Every file node (never a folder or package) at `root` or below whose size is at least
    /// `threshold` bytes and, when `categoryFilter` is given, whose category equals it; largest
    /// first, equal sizes in depth-first pre-order. Empty when none match or `root` is null.
    std::vector<DiskNodePtr> findLargeFiles(const DiskNodePtr& root, std::int64_t threshold,
                                            std::optional<StorageCategory> categoryFilter) const;
};

} // namespace fernwick
