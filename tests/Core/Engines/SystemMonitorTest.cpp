#include "FernwickCore/Engines/SystemMonitor.h"

#include <gtest/gtest.h>

namespace fernwick {
namespace {

constexpr std::uint64_t kGiB = 1024ULL * 1024 * 1024;

/// Sources a test controls: the next /proc/stat text (nullopt: unreadable), and so on.
struct FakeSources {
    std::optional<std::string> stat = "cpu  0 0 0 0 0 0 0 0 0 0\n";
    std::optional<std::string> meminfo = "MemTotal:       16777216 kB\n"
                                         "MemFree:         4194304 kB\n"
                                         "MemAvailable:    8388608 kB\n"
                                         "Cached:          3000000 kB\n";
    std::optional<std::uint64_t> physical = 16 * kGiB;
    std::optional<SystemMonitor::VolumeStatistics> volume =
        SystemMonitor::VolumeStatistics{1000, 250, 4096};

    SystemMonitor::Sources sources() {
        return {[this] { return stat; }, [this] { return meminfo; }, [this] { return physical; },
                [this] { return volume; }};
    }
};

std::string cpuLine(std::uint64_t user, std::uint64_t nice, std::uint64_t system,
                    std::uint64_t idle, std::uint64_t iowait = 0, std::uint64_t irq = 0) {
    return "cpu  " + std::to_string(user) + " " + std::to_string(nice) + " " +
           std::to_string(system) + " " + std::to_string(idle) + " " + std::to_string(iowait) +
           " " + std::to_string(irq) + " 0 0 0 0\ncpu0 1 1 1 1 1 1 1 1 1 1\nintr 5\n";
}

TEST(SystemMonitor, ProcessorUseIsARateBetweenSuccessfulSamples) {
    FakeSources fake;
    SystemMonitor monitor(fake.sources());
    fake.stat = cpuLine(100, 0, 100, 800);
    EXPECT_EQ(monitor.sampleMetrics().cpuUsagePercent, 0); // the first sample only primes

    fake.stat = cpuLine(150, 10, 140, 900); // busy +100, idle +100
    EXPECT_DOUBLE_EQ(monitor.sampleMetrics().cpuUsagePercent, 50);
    fake.stat = cpuLine(150, 10, 140, 1000); // idle throughout
    EXPECT_DOUBLE_EQ(monitor.sampleMetrics().cpuUsagePercent, 0);
    fake.stat = cpuLine(250, 10, 140, 1000, 0, 0); // busy throughout
    EXPECT_DOUBLE_EQ(monitor.sampleMetrics().cpuUsagePercent, 100);

    // A failed reading answers 0 and keeps the stored counters for the next success.
    fake.stat.reset();
    EXPECT_EQ(monitor.sampleMetrics().cpuUsagePercent, 0);
    fake.stat = "garbage\n";
    EXPECT_EQ(monitor.sampleMetrics().cpuUsagePercent, 0);
    fake.stat = cpuLine(250, 10, 170, 1060, 30); // busy +30, idle +60 +30 iowait
    EXPECT_DOUBLE_EQ(monitor.sampleMetrics().cpuUsagePercent, 25);

    // Counters beyond 32 bits, and counters that go backwards, never leave 0..100.
    fake.stat = cpuLine(1ULL << 40, 0, 0, 1ULL << 40);
    const double big = monitor.sampleMetrics().cpuUsagePercent;
    EXPECT_GE(big, 0);
    EXPECT_LE(big, 100);
    fake.stat = cpuLine(10, 0, 0, (1ULL << 40) + 300); // busy went backwards: counts as 0
    EXPECT_DOUBLE_EQ(monitor.sampleMetrics().cpuUsagePercent, 0);
    fake.stat = cpuLine(10, 0, 0, 5); // everything backwards: no time passed
    EXPECT_DOUBLE_EQ(monitor.sampleMetrics().cpuUsagePercent, 0);
    fake.stat = cpuLine(UINT64_MAX, 0, 0, 5);
    EXPECT_DOUBLE_EQ(monitor.sampleMetrics().cpuUsagePercent, 100);
}

TEST(SystemMonitor, MemoryFromMeminfoWithTheHalfSplitFallback) {
    FakeSources fake;
    SystemMonitor monitor(fake.sources());
    auto metrics = monitor.sampleMetrics();
    EXPECT_EQ(metrics.memoryTotalBytes, 16 * kGiB);
    EXPECT_EQ(metrics.memoryUsedBytes, 8 * kGiB); // MemTotal - MemAvailable; cache is neither
    EXPECT_EQ(metrics.memoryFreeBytes, 4 * kGiB);
    EXPECT_EQ(metrics.formattedMemoryTotal(), "17.18 GB");
    EXPECT_EQ(metrics.formattedMemoryUsed(), "8.59 GB");

    // MemFree above MemAvailable cannot push used + free over the total.
    fake.meminfo = "MemTotal: 16777216 kB\nMemAvailable: 1048576 kB\nMemFree: 2097152 kB\n";
    metrics = monitor.sampleMetrics();
    EXPECT_LE(metrics.memoryUsedBytes + metrics.memoryFreeBytes, metrics.memoryTotalBytes);

    for (const std::optional<std::string>& broken :
         {std::optional<std::string>{}, std::optional<std::string>{"MemTotal: 5 kB\n"},
          std::optional<std::string>{"MemFree: x kB\nMemAvailable: 7 kB\n"}}) {
        fake.meminfo = broken;
        metrics = monitor.sampleMetrics();
        EXPECT_EQ(metrics.memoryTotalBytes, 16 * kGiB);
        EXPECT_EQ(metrics.memoryUsedBytes, 8 * kGiB);
        EXPECT_EQ(metrics.memoryFreeBytes, 8 * kGiB);
    }
}

TEST(SystemMonitor, DiskFromStatvfsWithTheFixedFallback) {
    FakeSources fake;
    SystemMonitor monitor(fake.sources());
    auto metrics = monitor.sampleMetrics();
    EXPECT_EQ(metrics.diskTotalBytes, 4096000);
    EXPECT_EQ(metrics.diskFreeBytes, 1024000);
    EXPECT_EQ(metrics.diskUsedBytes, 3072000);
    EXPECT_DOUBLE_EQ(metrics.diskUsedPercent, 75);
    EXPECT_EQ(metrics.formattedDiskFree(), "1 MB");

    fake.volume = SystemMonitor::VolumeStatistics{0, 0, 4096};
    metrics = monitor.sampleMetrics();
    EXPECT_EQ(metrics.diskTotalBytes, 0);
    EXPECT_EQ(metrics.diskUsedPercent, 0);

    // More available than total (a confused file system) still adds up.
    fake.volume = SystemMonitor::VolumeStatistics{10, 20, 512};
    metrics = monitor.sampleMetrics();
    EXPECT_EQ(metrics.diskUsedBytes + metrics.diskFreeBytes, metrics.diskTotalBytes);

    fake.volume.reset();
    metrics = monitor.sampleMetrics();
    EXPECT_EQ(metrics.diskTotalBytes, 549755813888);
    EXPECT_EQ(metrics.diskUsedBytes, 274877906944);
    EXPECT_EQ(metrics.diskFreeBytes, 274877906944);
    EXPECT_DOUBLE_EQ(metrics.diskUsedPercent, 50.0);
}

TEST(SystemMonitor, RealSourcesKeepTheInvariants) {
    SystemMonitor monitor;
    for (int i = 0; i < 2; ++i) {
        const auto metrics = monitor.sampleMetrics();
        EXPECT_GE(metrics.cpuUsagePercent, 0);
        EXPECT_LE(metrics.cpuUsagePercent, 100);
        EXPECT_GT(metrics.memoryTotalBytes, 0U);
        EXPECT_LE(metrics.memoryUsedBytes + metrics.memoryFreeBytes, metrics.memoryTotalBytes);
        EXPECT_EQ(metrics.diskUsedBytes + metrics.diskFreeBytes, metrics.diskTotalBytes);
        EXPECT_GE(metrics.diskUsedPercent, 0);
        EXPECT_LE(metrics.diskUsedPercent, 100);
    }
}

} // namespace
} // namespace fernwick
