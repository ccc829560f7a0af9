#include "FernwickCore/Model/DiskNode.h"

#include "tests/Support/TreeBuilder.h"

#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace fernwick {
namespace {

DiskNodePtr file(const std::string& path, std::int64_t size, std::int64_t allocated = 0,
                 std::int64_t items = 1) {
    auto node = test::makeNode(path, size, allocated, false);
    test::writable(node->itemCount) = items;
    return node;
}

DiskNodePtr folder(const std::string& path, std::vector<DiskNodePtr> children,
                   std::int64_t size = 0) {
    return test::makeNode(path, size, 0, true, std::move(children));
}

TEST(DiskNode, ConstructorDerivesNameAndAllocatedSize) {
    const auto plain = file("/home/u/a.txt", 250, 0);
    EXPECT_EQ(plain->name(), "a.txt");
    EXPECT_EQ(plain->allocatedSize, 250);
    EXPECT_EQ(plain->url(), "/home/u/a.txt");
    EXPECT_EQ(plain->path(), "/home/u/a.txt");
    EXPECT_EQ(file("/x", 7, -1)->allocatedSize, 7);
    EXPECT_EQ(file("/x", 7, 4096)->allocatedSize, 4096);

    DiskNode::Fields named;
    named.url = "/home/u/a.txt";
    named.name = "Shown Name";
    const auto other = DiskNode::make(std::move(named));
    EXPECT_EQ(other->name(), "Shown Name");
    EXPECT_EQ(other->url(), "/home/u/a.txt");
    EXPECT_EQ(other->permissionsState(), "Normal");
    EXPECT_EQ(other->scanState(), "Complete");
    EXPECT_FALSE(other->errorReason().has_value());
}

TEST(DiskNode, UrlComesBackExactlyAsGiven) {
    // Paths that parent + "/" + name would not rebuild must survive unchanged.
    for (const char* path : {"/home/u/dir/", "relative.txt", "a/b", "/a//b", "/", "/a/b/..",
                             "/tmp/name\nwith newline", "/tmp/\xff\xfe"}) {
        const auto node = file(path, 1);
        EXPECT_EQ(node->url().native(), path) << path;
    }
    EXPECT_EQ(file("/home/u/dir/", 1)->name(), "dir");
    EXPECT_EQ(file("/", 1)->name(), "/");
}

TEST(DiskNode, ScannerConstructorJoinsTheSharedParentPath) {
    auto parent = std::make_shared<const std::filesystem::path>("/home/u");
    DiskNode child(parent, "notes.md", false, false);
    EXPECT_EQ(child.url(), "/home/u/notes.md");
    DiskNode top(std::make_shared<const std::filesystem::path>("/"), "etc", true, false);
    EXPECT_EQ(top.url(), "/etc");
    EXPECT_FALSE(child.id().isNil());
    EXPECT_NE(child.id(), top.id());
}

TEST(DiskNode, RareTextsLiveOutOfLineAndReadBack) {
    auto node = file("/a", 1);
    DiskNodeAccess::setErrorReason(*node, "Permission denied");
    DiskNodeAccess::setSourceVolume(*node, "/mnt/data");
    DiskNodeAccess::setPermissionsState(*node, "Restricted");
    DiskNodeAccess::setScanState(*node, "Partial");
    EXPECT_EQ(node->errorReason(), "Permission denied");
    EXPECT_EQ(node->sourceVolume(), "/mnt/data");
    EXPECT_EQ(node->permissionsState(), "Restricted");
    EXPECT_EQ(node->scanState(), "Partial");
    DiskNodeAccess::setErrorReason(*node, std::nullopt);
    DiskNodeAccess::setSourceVolume(*node, "/");
    DiskNodeAccess::setScanState(*node, "Complete");
    EXPECT_FALSE(node->errorReason().has_value());
    EXPECT_EQ(node->sourceVolume(), "/");
    EXPECT_EQ(node->scanState(), "Complete");

    // Marked from several threads at once (as the scan's workers do), each node reads back its
    // own texts; a node's texts leave with it, and a node made afterwards has none.
    constexpr int kThreads = 4;
    constexpr int kNodes = 500;
    std::vector<std::vector<DiskNodePtr>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&made, t] {
            for (int i = 0; i < kNodes; ++i) {
                auto marked = file("/t" + std::to_string(t) + "/" + std::to_string(i), 1);
                DiskNodeAccess::setErrorReason(*marked, std::to_string(t * kNodes + i));
                made[static_cast<std::size_t>(t)].push_back(std::move(marked));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kNodes; ++i) {
            EXPECT_EQ(made[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)]->errorReason(),
                      std::to_string(t * kNodes + i));
        }
    }
    made.clear();
    for (int i = 0; i < kNodes; ++i) {
        DiskNode::Fields fields;
        fields.url = "/f" + std::to_string(i);
        const auto fresh = DiskNode::make(std::move(fields));
        EXPECT_FALSE(fresh->errorReason().has_value());
        EXPECT_EQ(fresh->sourceVolume(), "/");
    }
}

TEST(DiskNode, RecalculateSumsChildren) {
    auto root = folder("/r", {file("/r/a", 100, 4096), file("/r/b", 250, 0)});
    root->recalculateTotalSize();
    EXPECT_EQ(root->size, 350);
    EXPECT_EQ(root->allocatedSize, 4346);
    EXPECT_EQ(root->itemCount, 2);

    auto zeros = folder("/z", {file("/z/a", 0), file("/z/b", 0)}, 99);
    zeros->recalculateTotalSize();
    EXPECT_EQ(zeros->size, 0);
}

TEST(DiskNode, RecalculateKeepsFilesAndChildlessFolders) {
    auto empty = folder("/e", {}, 123);
    test::writable(empty->itemCount) = 5;
    empty->recalculateTotalSize();
    EXPECT_EQ(empty->size, 123);
    EXPECT_EQ(empty->itemCount, 5);

    // A file keeps its values whatever its children array holds, also when it is nested.
    auto odd = file("/r/f", 10, 10);
    test::writable(odd->children).push_back(file("/r/f/x", 1000));
    odd->recalculateTotalSize();
    EXPECT_EQ(odd->size, 10);
    auto root = folder("/r", {odd, folder("/r/d", {}, 5)});
    root->recalculateTotalSize();
    EXPECT_EQ(root->size, 15);
    EXPECT_EQ(root->itemCount, 2);
}

TEST(DiskNode, RecalculateNestedBottomUpAndSaturates) {
    auto grandchild = file("/r/a/b/c", 7, 8);
    auto root = folder("/r", {folder("/r/a", {folder("/r/a/b", {grandchild})}), file("/r/f", 1)});
    root->recalculateTotalSize();
    EXPECT_EQ(root->size, 8);
    EXPECT_EQ(root->allocatedSize, 9);
    EXPECT_EQ(root->children[0]->size, 7);
    EXPECT_EQ(root->children[0]->children[0]->itemCount, 1);

    auto huge = folder("/h", {file("/h/a", INT64_MAX), file("/h/b", INT64_MAX)});
    huge->recalculateTotalSize();
    EXPECT_EQ(huge->size, INT64_MAX);
    EXPECT_EQ(huge->allocatedSize, INT64_MAX);
}

TEST(DiskNode, DeepChainsNeitherOverflowTheStackToSumNorToFree) {
    constexpr int kDepth = 200000;
    auto top = folder("/d", {});
    DiskNode* tail = top.get();
    for (int i = 0; i < kDepth; ++i) {
        auto next = folder("/d/x", {});
        DiskNode* raw = next.get();
        test::writable(tail->children).push_back(std::move(next));
        tail = raw;
    }
    test::writable(tail->children).push_back(file("/d/x/f", 42));
    top->recalculateTotalSize();
    EXPECT_EQ(top->size, 42);
    EXPECT_EQ(top->allDescendants().size(), static_cast<std::size_t>(kDepth + 1));
    top.reset(); // must not recurse once per level
}

// The scanner's nodes share one link per folder. The path reads back through any number of
// links, a folder's link for its children extends its own, and a chain of links deeper than the
// stack allows is let go of from either end.
TEST(DiskNode, PathLinksJoinAtAnyDepthAndFreeWithoutRecursion) {
    auto root = PathLink::make(nullptr, "/");
    auto home = PathLink::make(root, "home");
    DiskNode folderNode(home, "u", true, false);
    EXPECT_EQ(folderNode.path(), "/home/u");
    const PathLinkPtr forChildren = folderNode.linkForChildren();
    EXPECT_EQ(forChildren->up, home); // no copy of the path above
    DiskNode child(forChildren, "notes.md", false, false);
    EXPECT_EQ(child.url(), "/home/u/notes.md");
    // A node whose url does not rebuild from parent and name hands on its whole path.
    const auto odd = file("/a//b", 1);
    EXPECT_EQ(odd->linkForChildren()->text(), "/a//b");
    EXPECT_EQ(odd->linkForChildren()->up, nullptr);

    constexpr int kDepth = 1000000;
    for (const bool fromTheTop : {false, true}) {
        PathLinkPtr top = PathLink::make(nullptr, "");
        PathLinkPtr bottom = top;
        for (int i = 0; i < kDepth; ++i) {
            bottom = PathLink::make(bottom, "d");
        }
        if (fromTheTop) {
            top.reset();
            EXPECT_EQ(bottom->text().size(), static_cast<std::size_t>(2 * kDepth));
            bottom.reset();
        } else {
            bottom.reset(); // must not recurse once per link
            EXPECT_EQ(top.use_count(), 1);
        }
    }
}

TEST(DiskNode, AllDescendantsIsPreOrder) {
    auto a1 = file("/r/A/A1", 1);
    auto a = folder("/r/A", {a1});
    auto b = file("/r/B", 1);
    auto root = folder("/r", {a, b});
    const std::vector<DiskNodePtr> expected = {a, a1, b};
    EXPECT_EQ(root->allDescendants(), expected);
    EXPECT_TRUE(b->allDescendants().empty());
}

TEST(DiskNode, SharedSubtreeOutlivesItsRoot) {
    auto leaf = file("/r/a/leaf", 3);
    std::weak_ptr<DiskNode> watch = leaf;
    auto kept = folder("/r/a", {leaf});
    leaf.reset();
    { auto root = folder("/r", {kept}); }
    ASSERT_EQ(kept->children.size(), 1U);
    EXPECT_FALSE(watch.expired());
    kept.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(DiskNode, FormatsSizesWithTheByteCountTexts) {
    EXPECT_EQ(file("/a", 1234567)->formattedSize(), "1.2 MB");
    EXPECT_EQ(DiskNode::formatBytes(0), "Zero KB");
}

} // namespace
} // namespace fernwick
