#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace fernwick {

/// The size thresholds the large-file list offers, smallest first. The values are binary
/// multiples although the titles say "MB" and "GB".
enum class LargeFileThreshold : std::uint8_t { mb100, mb500, gb1, gb5 };

/// The four thresholds in the order the screen offers them; `mb100` is the initial selection.
const std::array<LargeFileThreshold, 4>& allLargeFileThresholds();
/// The threshold in bytes (its raw value and id), e.g. 104,857,600 for `mb100`.
std::int64_t bytes(LargeFileThreshold threshold);
/// "> 100 MB", "> 500 MB", "> 1 GB", "> 5 GB".
std::string_view title(LargeFileThreshold threshold);
/// The threshold whose byte count is exactly `bytes`; nullopt for any other number.
std::optional<LargeFileThreshold> largeFileThresholdFromBytes(std::int64_t bytes);

} // namespace fernwick
