#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fernwick {

/// One line of the mount table: where a file system is mounted and its type.
struct MountEntry {
    std::filesystem::path mountPoint;
    std::string type;
};

/// The mount table in the format of /proc/self/mountinfo (proc(5)); lines that do not parse are
/// skipped, escapes ("\040" for a space) are undone. Pure: no file-system access.
std::vector<MountEntry> parseMountTable(std::string_view text);

/// This process's mount table, read from /proc/self/mountinfo; empty when it cannot be read.
std::vector<MountEntry> readMountTable();

} // namespace fernwick
