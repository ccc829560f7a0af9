#include "FernwickCore/Engines/SystemMonitor.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/ByteCountFormatter.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <string_view>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace fernwick {
namespace {

std::int64_t asDisplayed(std::uint64_t bytes) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(bytes, INT64_MAX));
}

std::optional<std::string> readProcFile(const char* path) {
    auto text = readWholeFile(path);
    if (!text) {
        return std::nullopt;
    }
    return std::move(*text);
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            out.push_back(line.substr(start, i - start));
        }
    }
    return out;
}

// The first line of a text that starts with `key` followed by a space or tab.
std::optional<std::string_view> lineStartingWith(std::string_view text, std::string_view key) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(start, end - start);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            (line[key.size()] == ' ' || line[key.size()] == '\t')) {
            return line.substr(key.size());
        }
        start = end + 1;
    }
    return std::nullopt;
}

// A /proc/meminfo value ("MemTotal:  16318480 kB") in bytes.
std::optional<std::uint64_t> meminfoBytes(std::string_view text, std::string_view key) {
    const auto line = lineStartingWith(text, key);
    if (!line) {
        return std::nullopt;
    }
    const auto parts = fields(*line);
    if (parts.empty()) {
        return std::nullopt;
    }
    const auto value = parseUnsigned(parts[0]);
    if (!value) {
        return std::nullopt;
    }
    std::uint64_t multiplier = 1;
    if (parts.size() > 1 && parts[1] == "kB") {
        multiplier = 1024;
    }
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(*value, multiplier, &bytes)) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

std::string SystemMetrics::formattedMemoryUsed() const {
    return formatByteCount(asDisplayed(memoryUsedBytes));
}
std::string SystemMetrics::formattedMemoryTotal() const {
    return formatByteCount(asDisplayed(memoryTotalBytes));
}
std::string SystemMetrics::formattedDiskUsed() const {
    return formatByteCount(diskUsedBytes);
}
std::string SystemMetrics::formattedDiskTotal() const {
    return formatByteCount(diskTotalBytes);
}
std::string SystemMetrics::formattedDiskFree() const {
    return formatByteCount(diskFreeBytes);
}

SystemMonitor::SystemMonitor(Sources sources) : m_sources(std::move(sources)) {
    if (!m_sources.processorStatistics) {
        m_sources.processorStatistics = [] { return readProcFile("/proc/stat"); };
    }
    if (!m_sources.memoryInformation) {
        m_sources.memoryInformation = [] { return readProcFile("/proc/meminfo"); };
    }
    if (!m_sources.physicalMemory) {
        m_sources.physicalMemory = []() -> std::optional<std::uint64_t> {
            const long pages = ::sysconf(_SC_PHYS_PAGES);
            const long pageSize = ::sysconf(_SC_PAGESIZE);
            if (pages <= 0 || pageSize <= 0) {
                return std::nullopt;
            }
            return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
        };
    }
    if (!m_sources.rootVolume) {
        m_sources.rootVolume = []() -> std::optional<VolumeStatistics> {
            struct statvfs info {};
            if (::statvfs("/", &info) != 0) {
                return std::nullopt;
            }
            return VolumeStatistics{info.f_blocks, info.f_bavail, info.f_frsize};
        };
    }
}

std::shared_ptr<SystemMonitor> SystemMonitor::shared() {
    static const auto instance = std::make_shared<SystemMonitor>();
    return instance;
}

SystemMetrics SystemMonitor::sampleMetrics() {
    std::lock_guard lock(m_mutex);
    SystemMetrics metrics;
    metrics.cpuUsagePercent = sampleCpuUsage();
    sampleMemory(metrics);
    sampleDisk(metrics);
    return metrics;
}

double SystemMonitor::sampleCpuUsage() {
    const auto text = m_sources.processorStatistics();
    if (!text) {
        return 0;
    }
    // The aggregate line: user nice system idle iowait irq softirq steal (guest time is
    // already inside user and nice). Waiting for I/O counts as idle.
    const auto line = lineStartingWith(*text, "cpu");
    if (!line) {
        return 0;
    }
    const auto parts = fields(*line);
    if (parts.size() < 4) {
        return 0;
    }
    std::uint64_t ticks[8] = {};
    for (std::size_t i = 0; i < std::min<std::size_t>(parts.size(), 8); ++i) {
        const auto value = parseUnsigned(parts[i]);
        if (!value) {
            return 0;
        }
        ticks[i] = *value;
    }
    const Ticks now{ticks[0] + ticks[1] + ticks[2] + ticks[5] + ticks[6] + ticks[7],
                    ticks[3] + ticks[4]};
    const std::optional<Ticks> previous = std::exchange(m_previousTicks, now);
    if (!previous) {
        return 0;
    }
    // A counter that went backwards (a reset, a processor taken offline) counts as no time.
    const std::uint64_t busy = now.busy >= previous->busy ? now.busy - previous->busy : 0;
    const std::uint64_t idle = now.idle >= previous->idle ? now.idle - previous->idle : 0;
    if (busy == 0 && idle == 0) {
        return 0;
    }
    const double usage =
        static_cast<double>(busy) / (static_cast<double>(busy) + static_cast<double>(idle)) * 100;
    return std::clamp(usage, 0.0, 100.0);
}

void SystemMonitor::sampleMemory(SystemMetrics& metrics) const {
    const auto text = m_sources.memoryInformation();
    std::optional<std::uint64_t> total = m_sources.physicalMemory();
    std::optional<std::uint64_t> available;
    std::optional<std::uint64_t> free;
    if (text) {
        available = meminfoBytes(*text, "MemAvailable:");
        free = meminfoBytes(*text, "MemFree:");
        if (!total) {
            total = meminfoBytes(*text, "MemTotal:");
        }
    }
    metrics.memoryTotalBytes = total.value_or(0);
    const std::uint64_t meminfoTotal =
        text ? meminfoBytes(*text, "MemTotal:").value_or(metrics.memoryTotalBytes)
             : metrics.memoryTotalBytes;
    if (!available || !free) {
        metrics.memoryUsedBytes = metrics.memoryTotalBytes / 2;
        metrics.memoryFreeBytes = metrics.memoryTotalBytes / 2;
        return;
    }
    // Used is what the kernel cannot hand out without swapping; kept within the physical total
    // so that used + free never exceeds it.
    const std::uint64_t used = meminfoTotal > *available ? meminfoTotal - *available : 0;
    metrics.memoryUsedBytes = std::min(used, metrics.memoryTotalBytes);
    metrics.memoryFreeBytes = std::min(*free, metrics.memoryTotalBytes - metrics.memoryUsedBytes);
}

void SystemMonitor::sampleDisk(SystemMetrics& metrics) const {
    const auto volume = m_sources.rootVolume();
    std::uint64_t total = 0;
    std::uint64_t free = 0;
    if (!volume || __builtin_mul_overflow(volume->blocks, volume->fragmentSize, &total) ||
        __builtin_mul_overflow(volume->blocksAvailable, volume->fragmentSize, &free)) {
        metrics.diskTotalBytes = kFallbackDiskTotal;
        metrics.diskUsedBytes = kFallbackDiskTotal / 2;
        metrics.diskFreeBytes = kFallbackDiskTotal / 2;
        metrics.diskUsedPercent = 50.0;
        return;
    }
    metrics.diskTotalBytes = asDisplayed(total);
    metrics.diskFreeBytes = std::min(asDisplayed(free), metrics.diskTotalBytes);
    metrics.diskUsedBytes = metrics.diskTotalBytes - metrics.diskFreeBytes;
    metrics.diskUsedPercent = metrics.diskTotalBytes >= 1
                                  ? static_cast<double>(metrics.diskUsedBytes) /
                                        static_cast<double>(metrics.diskTotalBytes) * 100
                                  : 0;
}

} // namespace fernwick
