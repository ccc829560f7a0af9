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

/// A node as the memberwise constructor makes it, with a fresh id (other fields at their
/// defaults).
DiskNodePtr makeNode(const std::string& path, std::int64_t size, std::int64_t allocatedSize,
                     bool isDirectory, std::vector<DiskNodePtr> children = {});
/// A file node at `path` with `size` bytes (allocated the same), of `category`.
DiskNodePtr fileNode(const std::string& path, std::int64_t size,
                     StorageCategory category = StorageCategory::other);
/// A folder (or package) node at `path` with a fresh id holding `children`, its sizes summed
/// over them by recalculateTotalSize() (the folder itself not counted).
DiskNodePtr folderNode(const std::string& path, std::vector<DiskNodePtr> children,
                       bool isPackage = false);

} // namespace fernwick::test
