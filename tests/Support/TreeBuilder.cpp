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

} // namespace fernwick::test
