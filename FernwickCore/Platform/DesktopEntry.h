#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fernwick {

/// The program of a desktop entry's `Exec=` value: its first argument after the string escapes
/// (\s \n \t \r \\) and the argument quoting ("...", with \" \` \$ \\ inside) are undone. Empty
/// when the value names none.
std::string desktopExecProgram(std::string_view value);

/// The programs of every `Exec=` line of the desktop entry file at `file` (all groups), in file
/// order; empty when it cannot be read.
std::vector<std::string> desktopEntryPrograms(const std::filesystem::path& file);

} // namespace fernwick
