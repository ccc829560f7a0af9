#pragma once

#include "FernwickCore/Platform/FileIdentity.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fernwick {

/// The program of a desktop entry's `Exec=` value: its first argument after the string escapes
/// (\s \n \t \r \\) and the argument quoting ("...", with \" \` \$ \\ inside) are undone. Empty
/// when the value names none.
std::string desktopExecProgram(std::string_view value);

/// The program of the first `Exec=` key of the main "[Desktop Entry]" group of the desktop entry
/// `text`. Keys before the first group and in any other group (a "[Desktop Action ...]" group
/// among them) do not count. Empty when the main group names none.
std::string desktopEntryProgram(std::string_view text);

/// One launcher file as a listing read it.
struct DesktopLauncher {
    /// The file's name in its folder.
    std::string name;
    /// `desktopEntryProgram` of its contents.
    std::string program;
    /// The file's identity when it was read (fstat of the descriptor read from).
    std::uint64_t inode = 0;
    std::uint64_t deviceID = 0;
    std::optional<TimePoint> modified;
};

/// The longest launcher `readDesktopLaunchers` reads; a desktop entry is a few hundred bytes.
inline constexpr std::size_t kMaxDesktopEntryBytes = std::size_t{64} * 1024;

/// The non-hidden "*.desktop" entries of `folder` that are regular files of at most
/// `kMaxDesktopEntryBytes`, each opened and read once, in name order. Symbolic links, FIFOs,
/// devices, folders and longer files are passed over without being opened or read. Empty when
/// the folder cannot be read. Blocks on the file system; any thread.
std::vector<DesktopLauncher> readDesktopLaunchers(const std::filesystem::path& folder);

} // namespace fernwick
