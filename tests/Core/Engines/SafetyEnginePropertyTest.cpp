#include "tests/Support/SafetyWalk.h"

#include <gtest/gtest.h>

namespace fernwick {
namespace {

// Generated paths over a home full of traps: no protected location, nothing under one, no
// ancestor of one and never the home or the root is approved, and every approved move takes
// exactly the approved item. The bench safety-fuzz runs the same walk for longer.
TEST(SafetyEngineProperty, RandomWalkNeverApprovesAProtectedLocation) {
    for (const std::uint64_t seed : {1u, 2u}) {
        test::SafetyWalk walk(seed);
        const auto stats = walk.run(1500);
        EXPECT_EQ(stats.iterations, 1500);
        EXPECT_GT(stats.approved, 0) << "seed " << seed;
        EXPECT_GT(stats.moved, 0) << "seed " << seed;
        for (const auto& violation : stats.violations) {
            ADD_FAILURE() << "seed " << seed << ": " << violation;
        }
    }
}

} // namespace
} // namespace fernwick
