#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fernwick::test {

/// A file node at `path` (its name is the last component) of `size` bytes.
DiskNodePtr makeFile(const std::string& path, std::int64_t size,
                     StorageCategory category = StorageCategory::other);

/// A folder node at `path` holding `children`; its size and item count are summed from them
/// (the folder itself counts as one item).
DiskNodePtr makeFolder(const std::string& path, std::vector<DiskNodePtr> children,
                       StorageCategory category = StorageCategory::other);

/// A folder with `count` files named "f0", "f1", ... whose sizes are `sizeOf(i)`.
template <typename SizeOf>
DiskNodePtr makeFolderOfFiles(const std::string& path, int count, SizeOf sizeOf) {
    std::vector<DiskNodePtr> children;
    children.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        children.push_back(makeFile(path + "/f" + std::to_string(i), sizeOf(i)));
    }
    return makeFolder(path, std::move(children));
}

} // namespace fernwick::test
