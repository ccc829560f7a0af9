#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace fernwick {

/// The string members of a property list's top-level dictionary, by key (UTF-8). Members of
/// other types are left out, and so is anything nested below the top level.
using PropertyListStrings = std::map<std::string, std::string>;

/// Reads an XML or binary ("bplist00") property list. Returns nullopt when the data is neither,
/// is malformed, or its top object is not a dictionary. Safe with hostile input: every offset
/// is bounds-checked, nesting is skipped without recursion, and the work is linear in the size.
/// Pure and thread-safe.
std::optional<PropertyListStrings> parsePropertyListStrings(std::string_view data);

/// The largest property-list file `readPropertyListFile` reads.
inline constexpr std::size_t kMaximumPropertyListBytes = std::size_t{4} * 1024 * 1024;

/// Reads and parses the file at `file`. nullopt when it is missing, is not a regular file (a
/// FIFO or device is never opened blocking), is larger than kMaximumPropertyListBytes, or does
/// not parse. Blocking; thread-safe.
std::optional<PropertyListStrings> readPropertyListFile(const std::filesystem::path& file);

} // namespace fernwick
