#include "FernwickCore/Scanning/NodeArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace fernwick::detail {
namespace {

// Arenas on several threads take their blocks from the same chunks. Every allocation names its
// own arena, keeps what was written into it while its arena lives (whichever others are let go
// of first), and an arena outlives its creator while something still holds it.
TEST(NodeArena, ArenasSharingChunksKeepTheirOwnMemory) {
    constexpr int kArenas = 6;
    constexpr int kItems = 20000; // several blocks per arena: 200 bytes each
    std::vector<NodeArena*> arenas(kArenas);
    std::vector<std::vector<unsigned char*>> items(kArenas);
    std::vector<std::thread> threads;
    for (int a = 0; a < kArenas; ++a) {
        threads.emplace_back([&, a] {
            NodeArena* arena = NodeArena::create();
            arenas[static_cast<std::size_t>(a)] = arena;
            for (int i = 0; i < kItems; ++i) {
                auto* item = static_cast<unsigned char*>(arena->allocate(200, 8));
                std::memset(item, a + 1, 200);
                items[static_cast<std::size_t>(a)].push_back(item);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const auto intact = [&](int a) {
        for (unsigned char* item : items[static_cast<std::size_t>(a)]) {
            EXPECT_EQ(NodeArena::owner(item), arenas[static_cast<std::size_t>(a)]);
            EXPECT_EQ(item[0], a + 1);
            EXPECT_EQ(item[199], a + 1);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(item) % 8, 0U);
        }
    };
    arenas[0]->retain(); // a node still held after its tree was dropped
    for (int a = 0; a < kArenas; a += 2) {
        arenas[static_cast<std::size_t>(a)]->release();
    }
    intact(0);
    for (int a = 1; a < kArenas; a += 2) {
        intact(a);
        arenas[static_cast<std::size_t>(a)]->release();
    }
    intact(0);
    arenas[0]->release();
}

} // namespace
} // namespace fernwick::detail
