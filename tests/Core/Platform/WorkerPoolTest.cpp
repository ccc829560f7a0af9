#include "FernwickCore/Platform/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <vector>

namespace fernwick {
namespace {

struct NoState {};

TEST(WorkerPoolTest, OneWorkerTakesTheLastPushFirstAndEachPushInItsOrder) {
    WorkerPool<int> pool(1);
    std::vector<int> first{1, 2, 3};
    pool.push(first);
    EXPECT_TRUE(first.empty());
    std::vector<int> order;
    pool.run<NoState>({}, [&](int task, NoState&) {
        order.push_back(task);
        if (task == 1) {
            std::vector<int> children{10, 11};
            pool.push(children); // taken before 2 and 3: depth first
        }
    });
    EXPECT_EQ(order, (std::vector<int>{1, 10, 11, 2, 3}));
}

TEST(WorkerPoolTest, ManyWorkersRunEveryTaskOnceEachWithItsOwnState) {
    struct Counter {
        int ran = 0;
    };
    std::vector<std::atomic<int>> seen(5000);
    std::mutex mutex;
    std::vector<const Counter*> states;
    forEachIndex<Counter>(seen.size(), 8, {}, [&](std::size_t i, Counter& state) {
        if (state.ran++ == 0) {
            std::lock_guard lock(mutex);
            states.push_back(&state);
        }
        seen[i].fetch_add(1);
    });
    for (const auto& count : seen) {
        ASSERT_EQ(count.load(), 1);
    }
    EXPECT_LE(states.size(), 8u);
}

TEST(WorkerPoolTest, AStopOrAFailureStartsNoFurtherTask) {
    std::stop_source source;
    std::atomic<int> ran{0};
    forEachIndex<NoState>(1000, 1, source.get_token(), [&](std::size_t i, NoState&) {
        ran.fetch_add(1);
        if (i == 9) {
            source.request_stop();
        }
    });
    EXPECT_EQ(ran.load(), 10);

    WorkerPool<int> pool(1);
    std::vector<int> tasks(1000, 0);
    pool.push(tasks);
    std::atomic<int> started{0};
    EXPECT_THROW(pool.run<NoState>({},
                                   [&](int, NoState&) {
                                       if (started.fetch_add(1) == 0) {
                                           throw std::runtime_error("failed");
                                       }
                                   }),
                 std::runtime_error);
    EXPECT_EQ(started.load(), 1);
}

} // namespace
} // namespace fernwick
