#include "FernwickCore/Model/ScanTree.h"

#include "tests/Support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fernwick {
namespace {

using test::makeFile;
using test::makeFolder;

// Every node's size, allocated size and count by path, read without changing anything.
using Sizes = std::map<std::string, std::tuple<std::int64_t, std::int64_t, std::int64_t>>;
Sizes sizesOf(const DiskNodePtr& root) {
    Sizes out;
    std::vector<DiskNodePtr> stack{root};
    while (!stack.empty()) {
        DiskNodePtr node = stack.back();
        stack.pop_back();
        out[node->path()] = {node->size, node->allocatedSize, node->itemCount};
        for (const auto& child : node->children) {
            stack.push_back(child);
        }
    }
    return out;
}

// The folders whose sums differ from what a full recalculation gives them.
std::vector<std::string> unsummed(const DiskNodePtr& root) {
    std::vector<std::string> out;
    std::vector<DiskNodePtr> stack{root};
    while (!stack.empty()) {
        DiskNodePtr node = stack.back();
        stack.pop_back();
        if (node->isDirectory() && !node->children.empty()) {
            std::int64_t size = 0;
            std::int64_t allocated = 0;
            std::int64_t count = 0;
            for (const auto& child : node->children) {
                size += child->size;
                allocated += child->allocatedSize;
                count += child->itemCount;
                stack.push_back(child);
            }
            if (size != node->size || allocated != node->allocatedSize ||
                count != node->itemCount) {
                out.push_back(node->path());
            }
        }
    }
    return out;
}

// A folder of `files` files below `path`, each of `size` bytes, summed.
DiskNodePtr filled(const std::string& path, int files, std::int64_t size) {
    return test::makeFolderOfFiles(path, files, [size](int) { return size; });
}

DiskNodePtr sampleTree() {
    DiskNodePtr tree = test::folderNode(
        "/home/u",
        {test::folderNode("/home/u/a", {test::folderNode("/home/u/a/a1",
                                                         {test::fileNode("/home/u/a/a1/f1", 100),
                                                          test::fileNode("/home/u/a/a1/f2", 20)}),
                                        test::fileNode("/home/u/a/a2", 3)}),
         filled("/home/u/b", 50, 1000)});
    return tree;
}

TEST(ScanTree, AChangeResumsOnlyTheAncestorsAndUndoGivesTheSumsBack) {
    ScanTree tree;
    tree.reset(sampleTree());
    const DiskNodePtr b = tree.find("/home/u/b");
    ASSERT_TRUE(b);
    // A deliberately wrong sum in an unrelated subtree: a full recalculation would repair it.
    test::writable(b->size) = 7;
    const DiskNodePtr f1 = tree.find("/home/u/a/a1/f1");
    ASSERT_TRUE(f1);

    const ScanTree::Change trashed = tree.empty(f1);
    EXPECT_EQ(trashed.node, f1);
    EXPECT_FALSE(trashed.copied);
    EXPECT_EQ(tree.lastResummed(), 3U); // a1, a, the root
    EXPECT_EQ(f1->size, 0);
    EXPECT_EQ(tree.find("/home/u/a/a1")->size, 20);
    EXPECT_EQ(tree.find("/home/u/a")->size, 23);
    EXPECT_EQ(b->size, 7); // never visited
    EXPECT_EQ(tree.root()->size, 30);

    tree.restore(f1, 100, 100, {});
    EXPECT_EQ(tree.lastResummed(), 3U);
    EXPECT_EQ(tree.root()->size, 130);
    EXPECT_EQ(tree.root()->itemCount, 53);

    // A folder: children back, counts unchanged by the round trip.
    const DiskNodePtr a = tree.find("/home/u/a");
    const std::vector<DiskNodePtr> kids = a->children;
    tree.empty(a);
    EXPECT_EQ(tree.lastResummed(), 1U);
    EXPECT_TRUE(a->children.empty());
    EXPECT_EQ(a->itemCount, 3);
    EXPECT_EQ(tree.root()->size, 7);
    tree.restore(a, 123, 123, kids);
    EXPECT_EQ(tree.root()->size, 130);
}

TEST(ScanTree, FindsNodesByPathAndOnlyThoseOfTheCurrentTree) {
    ScanTree tree;
    EXPECT_FALSE(tree.find("/"));
    EXPECT_TRUE(tree.pathTo(makeFile("/x", 1)).empty());
    const DiskNodePtr file = makeFile("/etc/hosts", 5);
    tree.reset(makeFolder("/", {makeFolder("/etc", {file})}));
    EXPECT_EQ(tree.find("/etc/hosts"), file);
    EXPECT_EQ(tree.find("/"), tree.root());
    EXPECT_FALSE(tree.find("/etc/host"));
    EXPECT_FALSE(tree.find("/etcetera"));
    EXPECT_EQ(tree.pathTo(file).size(), 3U);
    // A node of another tree changes nothing here.
    const DiskNodePtr stranger = makeFile("/etc/hosts", 9);
    EXPECT_FALSE(tree.empty(stranger).node);
    EXPECT_EQ(tree.root()->size, 5);
    // A node whose path does not lead to it from the root is still found by identity.
    const DiskNodePtr odd = makeFile("elsewhere/odd", 4);
    tree.reset(makeFolder("rel", {odd}));
    EXPECT_EQ(tree.empty(odd).node, odd);
    EXPECT_EQ(tree.root()->size, 0);
    const std::uint64_t generation = tree.generation();
    tree.reset(nullptr);
    EXPECT_EQ(tree.generation(), generation + 1);
}

TEST(ScanTree, AChangeWhileAViewIsHeldLeavesTheViewAsItWasAndTheTreeChanged) {
    ScanTree tree;
    tree.reset(sampleTree());
    const DiskNodePtr oldRoot = tree.root();
    const DiskNodePtr a1 = tree.find("/home/u/a/a1");
    ScanTree::View view = tree.view();
    EXPECT_TRUE(tree.hasReaders());
    const Sizes seen = sizesOf(view.root());

    const ScanTree::Change change = tree.empty(a1);
    EXPECT_TRUE(change.copied);
    EXPECT_EQ(tree.lastResummed(), 2U);
    EXPECT_EQ(sizesOf(view.root()), seen);
    EXPECT_EQ(a1->size, 120); // the reader's node is untouched
    EXPECT_NE(tree.root(), oldRoot);
    EXPECT_EQ(tree.root()->id(), oldRoot->id());
    EXPECT_EQ(tree.root()->size, 50003);
    EXPECT_EQ(tree.current(a1), change.node);
    EXPECT_EQ(change.node->id(), a1->id());
    EXPECT_EQ(tree.current(oldRoot), tree.root());
    // A held node of the older version still leads to its copy.
    EXPECT_EQ(tree.pathTo(a1).back(), change.node);
    EXPECT_EQ(tree.find("/home/u/b"), view.root()->children[1]); // unchanged: shared

    view = {};
    EXPECT_FALSE(tree.hasReaders());
    const ScanTree::Change undone = tree.restore(a1, 120, 120, a1->children);
    EXPECT_FALSE(undone.copied);
    EXPECT_EQ(undone.node, change.node);
    EXPECT_EQ(tree.root()->size, 50123);
    EXPECT_TRUE(unsummed(tree.root()).empty());
}

TEST(ScanTree, GraftKeepsTheLargerSizesAndCleanupEmptiesEachPathFound) {
    ScanTree tree;
    const DiskNodePtr shallow = test::makeNode("/r/deep", 500, 500, true);
    tree.reset(test::folderNode("/r", {shallow, test::fileNode("/r/x", 10)}));
    const DiskNodePtr found = filled("/r/deep", 3, 100);
    const ScanTree::Change grafted = tree.graft(shallow, *found);
    EXPECT_EQ(grafted.node, shallow);
    EXPECT_EQ(shallow->children.size(), 3U);
    EXPECT_EQ(shallow->size, 500);    // larger than the 300 found
    EXPECT_EQ(shallow->itemCount, 4); // the found count is larger
    EXPECT_EQ(tree.root()->size, 510);
    EXPECT_EQ(tree.find("/r/deep/f1")->size, 100);

    const ScanTree::Change cleaned = tree.emptyAll({"/r/deep/f0", "/r/missing", "/r/x"});
    EXPECT_EQ(cleaned.node, tree.root());
    EXPECT_EQ(tree.lastResummed(), 3U); // deep and the root, the root again
    EXPECT_EQ(shallow->size, 200);
    EXPECT_EQ(tree.root()->size, 200);
    EXPECT_FALSE(tree.emptyAll({"/nowhere"}).node);
}

// The seeded property: after any sequence of moves to the Trash, undos, grafts and cleanups,
// with readers coming and going, every folder holds what a full recalculation gives it, and
// every reader still sees the tree exactly as it was when it began.
TEST(ScanTree, RandomChangesKeepEverySumEqualToAFullRecalculation) {
    for (const unsigned seed : {1U, 7U, 42U, 2024U}) {
        std::mt19937 random(seed);
        const auto below = [&](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
        };
        int made = 0;
        // A random tree four levels deep.
        std::function<DiskNodePtr(const std::string&, int)> build = [&](const std::string& path,
                                                                        int depth) {
            std::vector<DiskNodePtr> kids;
            const std::size_t count = depth >= 4 ? 0 : 1 + below(5);
            for (std::size_t i = 0; i < count; ++i) {
                const std::string child = path + "/n" + std::to_string(made++);
                kids.push_back(below(3) == 0 ? test::fileNode(child, 1 + below(1000))
                                             : build(child, depth + 1));
            }
            return kids.empty() ? test::makeNode(path, 1 + below(5000), 0, true)
                                : test::folderNode(path, std::move(kids));
        };
        ScanTree tree;
        tree.reset(build("/t", 0));

        struct Undo {
            DiskNodePtr node;
            std::int64_t size, allocated;
            std::vector<DiskNodePtr> children;
        };
        std::vector<Undo> undos;
        std::vector<std::pair<ScanTree::View, Sizes>> readers;
        for (int step = 0; step < 400; ++step) {
            const std::vector<DiskNodePtr> all = [&] {
                std::vector<DiskNodePtr> nodes{tree.root()};
                const auto rest = tree.root()->allDescendants();
                nodes.insert(nodes.end(), rest.begin(), rest.end());
                return nodes;
            }();
            const DiskNodePtr pick = all[below(all.size())];
            switch (below(5)) {
            case 0:
                undos.push_back({pick, pick->size, pick->allocatedSize, pick->children});
                tree.empty(pick);
                break;
            case 1:
                if (!undos.empty()) {
                    Undo undo = undos.back();
                    undos.pop_back();
                    tree.restore(undo.node, undo.size, undo.allocated, undo.children);
                }
                break;
            case 2:
                if (pick->isDirectory() && pick->children.empty()) {
                    // A rescan finds at least what the sizing pass found (a graft keeps the
                    // larger values; a full recalculation agrees only then).
                    const std::string path = pick->path();
                    const std::int64_t files = std::max<std::int64_t>(pick->itemCount, 2);
                    const std::int64_t each = std::max(pick->size.get(), pick->allocatedSize.get());
                    DiskNodePtr found = test::makeFolderOfFiles(
                        path + "/g" + std::to_string(step), static_cast<int>(files),
                        [&](int) { return each + 1 + static_cast<std::int64_t>(below(9)); });
                    tree.graft(pick, *test::folderNode(path, {found}));
                }
                break;
            case 3:
                tree.emptyAll({pick->path(), all[below(all.size())]->path()});
                break;
            default:
                if (readers.size() < 3 && below(2) == 0) {
                    ScanTree::View view = tree.view();
                    Sizes sizes = sizesOf(view.root());
                    readers.emplace_back(std::move(view), std::move(sizes));
                } else if (!readers.empty()) {
                    const std::size_t which = below(readers.size());
                    ASSERT_EQ(sizesOf(readers[which].first.root()), readers[which].second)
                        << "seed " << seed << " step " << step;
                    readers.erase(readers.begin() + static_cast<std::ptrdiff_t>(which));
                }
            }
            ASSERT_EQ(unsummed(tree.root()), std::vector<std::string>{})
                << "seed " << seed << " step " << step;
        }
        for (const auto& [view, sizes] : readers) {
            EXPECT_EQ(sizesOf(view.root()), sizes) << "seed " << seed;
        }
    }
}

// A reader on another thread checks, over and over, that the tree it holds is whole: every sum
// right and the total what it was. Meanwhile the owner trashes and restores. Run under the
// thread sanitizer too.
TEST(ScanTree, AReaderOnAWorkerNeverSeesAHalfChangedTree) {
    ScanTree tree;
    std::vector<DiskNodePtr> folders;
    std::vector<DiskNodePtr> top;
    for (int i = 0; i < 20; ++i) {
        const std::string path = "/w/d" + std::to_string(i);
        top.push_back(filled(path, 30, i + 1));
        folders.push_back(top.back());
    }
    tree.reset(test::folderNode("/w", std::move(top)));

    std::atomic<bool> stop{false};
    std::atomic<int> broken{0};
    std::atomic<int> rounds{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&, view = tree.view()] {
            const std::int64_t total = view.root()->size;
            while (!stop.load()) {
                if (!unsummed(view.root()).empty() || view.root()->size != total) {
                    ++broken;
                }
                ++rounds;
            }
        });
    }
    std::mt19937 random(5);
    for (int i = 0; i < 300; ++i) {
        const DiskNodePtr folder = tree.current(folders[random() % folders.size()]);
        const std::vector<DiskNodePtr> kids = folder->children;
        const std::int64_t size = folder->size;
        tree.empty(folder);
        tree.restore(folder, size, size, kids);
        if (i % 50 == 0) {
            std::this_thread::yield();
        }
    }
    while (rounds.load() < 4) {
        std::this_thread::yield();
    }
    stop = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(broken.load(), 0);
    EXPECT_TRUE(unsummed(tree.root()).empty());
    EXPECT_FALSE(tree.hasReaders());
}

} // namespace
} // namespace fernwick
