#include "FernwickCore/Scanning/LargeFileThreshold.h"

namespace fernwick {
namespace {

struct ThresholdRow {
    std::int64_t bytes;
    std::string_view title;
};

constexpr std::int64_t kMiB = std::int64_t{1024} * 1024;

constexpr std::array<ThresholdRow, 4> kRows = {{
    {100 * kMiB, "> 100 MB"},
    {500 * kMiB, "> 500 MB"},
    {1024 * kMiB, "> 1 GB"},
    {kMiB * 1024 * 5, "> 5 GB"},
}};

} // namespace

const std::array<LargeFileThreshold, 4>& allLargeFileThresholds() {
    static const std::array<LargeFileThreshold, 4> all = {
        LargeFileThreshold::mb100, LargeFileThreshold::mb500, LargeFileThreshold::gb1,
        LargeFileThreshold::gb5};
    return all;
}

std::int64_t bytes(LargeFileThreshold threshold) {
    return kRows[static_cast<std::size_t>(threshold)].bytes;
}

std::string_view title(LargeFileThreshold threshold) {
    return kRows[static_cast<std::size_t>(threshold)].title;
}

std::optional<LargeFileThreshold> largeFileThresholdFromBytes(std::int64_t value) {
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        if (kRows[i].bytes == value) {
            return static_cast<LargeFileThreshold>(i);
        }
    }
    return std::nullopt;
}

} // namespace fernwick
