#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

/// Lets a test shape a hand-built tree the way the scanner would: write a node's properties.
struct DiskNodeAccess {
    template <class T> static T& field(NodeField<T>& value) { return value.mut(); }
    static void setErrorReason(DiskNode& node, std::optional<std::string> reason) {
        node.setErrorReason(std::move(reason));
    }
    static void setSourceVolume(DiskNode& node, std::string volume) {
        node.setSourceVolume(std::move(volume));
    }
    static void setPermissionsState(DiskNode& node, std::string state) {
        node.setPermissionsState(std::move(state));
    }
    static void setScanState(DiskNode& node, std::string state) {
        node.setScanState(std::move(state));
    }
};

} // namespace fernwick

namespace fernwick::test {

/// A node's property, writable: `writable(node->size) = 5`.
template <class T> T& writable(NodeField<T>& value) {
    return DiskNodeAccess::field(value);
}

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
/// A node of a hand-built tree as a screen sees it: `size` bytes (allocated the same), of
/// `category`, holding `children` (a folder's sizes are summed over them, itself not counted).
DiskNodePtr makeNode(const std::filesystem::path& url, bool isDirectory, std::int64_t size = 0,
                     StorageCategory category = StorageCategory::other,
                     std::vector<DiskNodePtr> children = {});
/// A file node at `path` with `size` bytes (allocated the same), of `category`.
DiskNodePtr fileNode(const std::string& path, std::int64_t size,
                     StorageCategory category = StorageCategory::other);
/// A folder (or package) node at `path` with a fresh id holding `children`, its sizes summed
/// over them by recalculateTotalSize() (the folder itself not counted).
DiskNodePtr folderNode(const std::string& path, std::vector<DiskNodePtr> children,
                       bool isPackage = false);

} // namespace fernwick::test
