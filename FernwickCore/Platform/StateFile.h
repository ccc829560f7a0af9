#pragma once

#include "FernwickCore/Platform/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

/// What the preferences and the snapshots file share: limits that keep a damaged or hostile
/// file from exhausting memory, stack or time at start, and setting such a file aside rather
/// than replacing it.
namespace fernwick::statefile {

/// Larger files are unreadable (the real ones are a few kilobytes; 64 MiB of snapshots is
/// decades of daily scans).
constexpr std::size_t kPreferencesMaxBytes = std::size_t{16} << 20;
constexpr std::size_t kSnapshotsMaxBytes = std::size_t{64} << 20;
/// Deeper nesting of arrays and objects is unreadable: the formats need three levels.
constexpr int kMaxDepth = 64;

/// Whether arrays and objects in the JSON `text` nest no deeper than `maxDepth`. One pass over
/// the text, no parsing (brackets inside strings do not count).
bool nestingWithin(std::string_view text, int maxDepth = kMaxDepth);

/// The JSON value of `text`, or a discarded value when it is not JSON or nests deeper than
/// `kMaxDepth`. Never throws.
nlohmann::json parse(std::string_view text);

/// Renames the unreadable `file` to "<file>.unreadable-<unixSeconds>" without replacing
/// anything (RENAME_NOREPLACE); when that name is taken, tries "-<unixSeconds>-2", ... up to
/// `names` names in all. Says on standard error where the file went and `why`. Returns the name
/// it now has; an empty path when the file is already gone; fails (writing nothing) when no name
/// is free.
Result<std::filesystem::path> setAside(const std::filesystem::path& file, std::int64_t unixSeconds,
                                       int names, const std::string& why);

} // namespace fernwick::statefile
