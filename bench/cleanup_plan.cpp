// Times the smart cleanup plan over a synthetic scan tree shaped like a developer's home folder:
// projects with node_modules, an Xcode DerivedData folder, caches and logs, and many plain files.
//
//   cleanup_plan [files]     (default 1,000,000 files)

#include "FernwickCore/Engines/CleanupEngine.h"
#include "tests/Support/TreeBuilder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace test = fernwick::test;
using fernwick::DiskNode;
using fernwick::DiskNodePtr;
using fernwick::StorageCategory;

DiskNodePtr makeFolder(const std::shared_ptr<const std::filesystem::path>& parent,
                       const std::string& name) {
    return std::make_shared<DiskNode>(parent, name, true, false);
}

/// A folder of `files` files of `size` bytes under `parent`, in `category`.
DiskNodePtr filledFolder(const std::shared_ptr<const std::filesystem::path>& parentPath,
                         const std::string& name, std::int64_t files, std::int64_t size,
                         StorageCategory category) {
    DiskNodePtr folder = makeFolder(parentPath, name);
    auto path = std::make_shared<const std::filesystem::path>(*parentPath / name);
    for (std::int64_t i = 0; i < files; ++i) {
        auto file =
            std::make_shared<DiskNode>(path, "file" + std::to_string(i) + ".dat", false, false);
        test::writable(file->size) = size;
        test::writable(file->category) = category;
        test::writable(folder->children).push_back(std::move(file));
    }
    return folder;
}

DiskNodePtr buildTree(std::int64_t files) {
    auto home = std::make_shared<const std::filesystem::path>("/home/user");
    DiskNode::Fields fields;
    fields.id = fernwick::Uuid::random();
    fields.url = *home;
    fields.isDirectory = true;
    DiskNodePtr root = DiskNode::make(std::move(fields));
    const std::int64_t perFolder = 500;
    const std::int64_t folders = std::max<std::int64_t>(1, files / perFolder);
    auto src = std::make_shared<const std::filesystem::path>(*home / "src");
    DiskNodePtr srcNode = makeFolder(home, "src");
    auto library = std::make_shared<const std::filesystem::path>(*home / "Library");
    auto caches = std::make_shared<const std::filesystem::path>(*library / "Caches");
    DiskNodePtr libraryNode = makeFolder(home, "Library");
    DiskNodePtr cachesNode = makeFolder(library, "Caches");
    for (std::int64_t i = 0; i < folders; ++i) {
        const std::string project = "project" + std::to_string(i);
        auto projectPath = std::make_shared<const std::filesystem::path>(*src / project);
        DiskNodePtr projectNode = makeFolder(src, project);
        switch (i % 4) {
        case 0:
            test::writable(projectNode->children)
                .push_back(filledFolder(projectPath, "node_modules", perFolder, 200'000,
                                        StorageCategory::nodeModules));
            break;
        case 1:
            test::writable(projectNode->children)
                .push_back(
                    filledFolder(projectPath, "logs", perFolder, 100'000, StorageCategory::logs));
            break;
        case 2:
            test::writable(cachesNode->children)
                .push_back(filledFolder(caches, "com.app" + std::to_string(i), perFolder, 150'000,
                                        StorageCategory::caches));
            break;
        default:
            test::writable(projectNode->children)
                .push_back(
                    filledFolder(projectPath, "data", perFolder, 4096, StorageCategory::documents));
            break;
        }
        test::writable(srcNode->children).push_back(std::move(projectNode));
    }
    test::writable(root->children).push_back(std::move(srcNode));
    test::writable(libraryNode->children).push_back(std::move(cachesNode));
    test::writable(root->children).push_back(std::move(libraryNode));
    root->recalculateTotalSize();
    return root;
}

} // namespace

int main(int argc, char** argv) {
    const std::int64_t files = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
    const DiskNodePtr root = buildTree(files);
    const std::int64_t nodes = static_cast<std::int64_t>(root->allDescendants().size()) + 1;

    fernwick::CleanupEngine engine(nullptr, nullptr, fernwick::Clock::system());
    std::vector<double> seconds;
    std::size_t candidates = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const fernwick::CleanupPlan plan = engine.generateSmartCleanupPlan(root);
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        candidates = plan.candidates.size();
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("nodes %lld, candidates %zu, plan median %.3f s (min %.3f s)\n",
                static_cast<long long>(nodes), candidates, seconds[2], seconds[0]);
    return 0;
}
