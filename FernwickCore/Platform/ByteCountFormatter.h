#pragma once

#include <cstdint>
#include <string>

namespace fernwick {

/// The byte-count text every size shown to the user goes through: decimal units (1000), every
/// unit allowed, the file-count style. "Zero KB", "1 byte", "999 bytes", "2 KB", "1.2 MB",
/// "1.07 GB". KB shows no fraction, MB one digit, GB and above two; trailing zeros are dropped;
/// halves round to even; a rounding that reaches 1000 moves up a unit. Negative counts are the
/// same text after "-". Pure and thread-safe.
std::string formatByteCount(std::int64_t bytes);

} // namespace fernwick
