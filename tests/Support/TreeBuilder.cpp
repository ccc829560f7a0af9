#include "tests/Support/TreeBuilder.h"

namespace fernwick::test {

DiskNodePtr makeFile(const std::string& path, std::int64_t size, StorageCategory category) {
    DiskNode::Fields fields;
    fields.id = Uuid::random();
    fields.url = path;
    fields.size = size;
    fields.category = category;
    return DiskNode::make(std::move(fields));
}

DiskNodePtr makeFolder(const std::string& path, std::vector<DiskNodePtr> children,
                       StorageCategory category) {
    DiskNode::Fields fields;
    fields.id = Uuid::random();
    fields.url = path;
    fields.isDirectory = true;
    fields.category = category;
    std::int64_t size = 0;
    std::int64_t items = 1;
    for (const auto& child : children) {
        size = saturatingAdd(size, child->size);
        items += child->itemCount;
    }
    fields.size = size;
    fields.itemCount = items;
    fields.children = std::move(children);
    return DiskNode::make(std::move(fields));
}

DiskNodePtr makeNode(const std::string& path, std::int64_t size, std::int64_t allocatedSize,
                     bool isDirectory, std::vector<DiskNodePtr> children) {
    DiskNode::Fields f;
    f.id = Uuid::random();
    f.url = path;
    f.size = size;
    f.allocatedSize = allocatedSize;
    f.isDirectory = isDirectory;
    f.children = std::move(children);
    return DiskNode::make(std::move(f));
}

DiskNodePtr makeNode(const std::filesystem::path& url, bool isDirectory, std::int64_t size,
                     StorageCategory category, std::vector<DiskNodePtr> children) {
    DiskNode::Fields fields;
    fields.url = url;
    fields.isDirectory = isDirectory;
    fields.size = size;
    fields.allocatedSize = size;
    fields.category = category;
    fields.children = std::move(children);
    auto node = DiskNode::make(std::move(fields));
    node->recalculateTotalSize();
    return node;
}

DiskNodePtr fileNode(const std::string& path, std::int64_t size, StorageCategory category) {
    auto node = makeNode(path, size, size, false);
    writable(node->category) = category;
    return node;
}

DiskNodePtr folderNode(const std::string& path, std::vector<DiskNodePtr> children, bool isPackage) {
    DiskNode::Fields f;
    f.id = Uuid::random();
    f.url = path;
    f.isDirectory = true;
    f.isPackage = isPackage;
    f.children = std::move(children);
    auto node = DiskNode::make(std::move(f));
    node->recalculateTotalSize();
    return node;
}

} // namespace fernwick::test
