#include "FernwickCore/Scanning/ScanWalkParts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace fernwick::detail {
namespace {

// Each pair is new exactly once, through the table's growth, across devices that share inode
// numbers and from several threads at once; inode 0 names no file and is never a repeat.
TEST(LinkRegistryTest, EachPairIsNewExactlyOnce) {
    LinkRegistry registry;
    std::mt19937_64 random(5);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pairs;
    std::set<std::pair<std::uint64_t, std::uint64_t>> distinct;
    for (int i = 0; i < 60000; ++i) {
        // Few devices, inodes dense and sparse, many repeats.
        const std::uint64_t device = random() % 3;
        const std::uint64_t inode = i % 2 ? 1 + random() % 20000 : random() | 1;
        pairs.emplace_back(device, inode);
        distinct.insert(pairs.back());
    }
    std::atomic<int> fresh{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = static_cast<std::size_t>(t); i < pairs.size(); i += 2) {
                if (registry.insert(pairs[i].first, pairs[i].second)) {
                    ++fresh;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(fresh.load(), static_cast<int>(distinct.size()));
    for (const auto& [device, inode] : distinct) {
        EXPECT_FALSE(registry.insert(device, inode));
    }
    EXPECT_TRUE(registry.insert(7, 0));
    EXPECT_TRUE(registry.insert(7, 0));
    EXPECT_TRUE(registry.insert(99, 1)); // a new device with a known inode number
}

} // namespace
} // namespace fernwick::detail
