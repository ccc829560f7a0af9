#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace fernwick {

/// One sample of how busy the machine is.
struct SystemMetrics {
    /// Processor time in use since the previous sample, 0 to 100.
    double cpuUsagePercent = 0;
    std::uint64_t memoryTotalBytes = 0;
    std::uint64_t memoryUsedBytes = 0;
    std::uint64_t memoryFreeBytes = 0;
    /// The volume holding "/".
    std::int64_t diskTotalBytes = 0;
    std::int64_t diskUsedBytes = 0;
    /// Space available to unprivileged users.
    std::int64_t diskFreeBytes = 0;
    double diskUsedPercent = 0;

    std::string formattedMemoryUsed() const;
    std::string formattedMemoryTotal() const;
    std::string formattedDiskUsed() const;
    std::string formattedDiskTotal() const;
    std::string formattedDiskFree() const;
};

/// Samples processor, memory and disk use. Processor use is a rate, so the monitor keeps the
/// previous sample's tick counters; memory and disk are read afresh each time. Never fails: a
/// source that cannot be read gives fixed fallback values. Safe to call from any thread; samples
/// are taken one at a time.
class SystemMonitor {
public:
    /// The disk figures of statvfs(3): block count, blocks available to unprivileged users, and
    /// the fragment size.
    struct VolumeStatistics {
        std::uint64_t blocks = 0;
        std::uint64_t blocksAvailable = 0;
        std::uint64_t fragmentSize = 0;
    };
    /// Where the figures come from; an empty member means the real source. Each answers nullopt
    /// when its source cannot be read.
    struct Sources {
        /// The text of /proc/stat.
        std::function<std::optional<std::string>()> processorStatistics;
        /// The text of /proc/meminfo.
        std::function<std::optional<std::string>()> memoryInformation;
        /// Physical memory in bytes (sysconf(3) page count x page size).
        std::function<std::optional<std::uint64_t>()> physicalMemory;
        /// statvfs("/").
        std::function<std::optional<VolumeStatistics>()> rootVolume;
    };

    explicit SystemMonitor(Sources sources = {});
    SystemMonitor(const SystemMonitor&) = delete;
    SystemMonitor& operator=(const SystemMonitor&) = delete;

    static std::shared_ptr<SystemMonitor> shared();

    /// CPU (0 on the first successful reading, which only primes the monitor), memory, disk.
    SystemMetrics sampleMetrics();

    /// The fallback disk when statvfs fails: 512 GiB, half used.
    static constexpr std::int64_t kFallbackDiskTotal = 549755813888;

private:
    struct Ticks {
        std::uint64_t busy = 0;
        std::uint64_t idle = 0;
    };
    double sampleCpuUsage();
    void sampleMemory(SystemMetrics& metrics) const;
    void sampleDisk(SystemMetrics& metrics) const;

    Sources m_sources;
    std::mutex m_mutex;
    std::optional<Ticks> m_previousTicks;
};

} // namespace fernwick
