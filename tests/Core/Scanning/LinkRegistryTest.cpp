#include "FernwickCore/Scanning/ScanWalkSteps.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace fernwick::detail {
namespace {

// Each pair is new exactly once, through the table's growth, across devices sharing inode
// numbers and from several threads at once; inode 0 names no file and is never a repeat.
TEST(LinkRegistryTest, EachPairIsNewExactlyOnce) {
    LinkRegistry registry;
    std::mt19937_64 random(5);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pairs;
    for (int i = 0; i < 60000; ++i) {
        pairs.emplace_back(random() % 3, i % 2 ? 1 + random() % 20000 : random() | 1);
    }
    const std::set distinct(pairs.begin(), pairs.end());
    std::atomic<std::size_t> fresh{0};
    std::vector<std::jthread> threads;
    for (std::size_t t = 0; t < 4; ++t) { // each pair offered by two threads
        threads.emplace_back([&, t] {
            for (std::size_t i = t % 2; i < pairs.size(); i += 2) {
                fresh += registry.insert(pairs[i].first, pairs[i].second) ? 1 : 0;
            }
        });
    }
    threads.clear();
    EXPECT_EQ(fresh.load(), distinct.size());
    EXPECT_FALSE(registry.insert(pairs.front().first, pairs.front().second));
    EXPECT_TRUE(registry.insert(7, 0));
    EXPECT_TRUE(registry.insert(7, 0));
    EXPECT_TRUE(registry.insert(99, pairs.back().second)); // a new device, a known inode
}

// A scan stopped deep in a chain of folders drops the deepest folder still waiting for its sums,
// which alone holds the one above it, and so on to the root: the chain must go without one stack
// frame per level.
TEST(LinkRegistryTest, AChainOfWaitingFolderSumsGoesWithoutRecursion) {
    auto deepest = std::make_shared<FolderSum>();
    const std::weak_ptr<FolderSum> root = deepest;
    for (int level = 0; level < 1'000'000; ++level) {
        auto below = std::make_shared<FolderSum>();
        below->parent = std::move(deepest);
        deepest = std::move(below);
    }
    deepest.reset();
    EXPECT_TRUE(root.expired());
}

} // namespace
} // namespace fernwick::detail
