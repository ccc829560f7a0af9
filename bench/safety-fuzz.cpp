// The safety check's random walk, run longer than the test suite does.
//   safety-fuzz [iterations per seed = 100000] [seeds = 4]
#include "tests/Support/SafetyWalk.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const std::int64_t iterations = argc > 1 ? std::atoll(argv[1]) : 100000;
    const int seeds = argc > 2 ? std::atoi(argv[2]) : 4;
    std::int64_t total = 0, approved = 0, moved = 0, violations = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int seed = 1; seed <= seeds; ++seed) {
        fernwick::test::SafetyWalk walk(static_cast<std::uint64_t>(1000 + seed));
        const auto stats = walk.run(iterations);
        total += stats.iterations;
        approved += stats.approved;
        moved += stats.moved;
        violations += static_cast<std::int64_t>(stats.violations.size());
        for (const auto& line : stats.violations) {
            std::printf("VIOLATION seed %d: %s\n", seed, line.c_str());
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("iterations %lld, approved %lld, moved and put back %lld, violations %lld\n",
                static_cast<long long>(total), static_cast<long long>(approved),
                static_cast<long long>(moved), static_cast<long long>(violations));
    std::printf("%.2f s, %.1f us per checked path\n", seconds,
                seconds * 1e6 / static_cast<double>(total));

    // The check alone, on an ordinary deep file of the walk's home.
    fernwick::test::SafetyWalk walk(1);
    const auto file = walk.environment().home / "Work/sub/deep.txt";
    const int checks = 20000;
    int approvals = 0;
    const auto checkStart = std::chrono::steady_clock::now();
    for (int i = 0; i < checks; ++i) {
        approvals += walk.engine().validateTargetForDeletion(file).isSafe ? 1 : 0;
    }
    const double checkSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - checkStart).count();
    std::printf("check alone: %.1f us per path (%d of %d approved)\n", checkSeconds * 1e6 / checks,
                approvals, checks);
    return violations == 0 && approvals == checks ? 0 : 1;
}
