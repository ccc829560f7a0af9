#pragma once

#include "FernwickCore/Platform/Clock.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

/// What a deep walk below one folder found.
struct DirectorySize {
    /// Sum over every item below the folder that is not itself a folder: its allocated bytes
    /// (st_blocks × 512). Folders carry no size.
    std::int64_t allocatedBytes = 0;
    /// The newest modification time of any item visited (folders included); nullopt when
    /// nothing was visited.
    std::optional<TimePoint> newestModification;
    /// False when the folder itself could not be opened as a folder (nothing was walked).
    bool opened = false;
};

/// Walks everything below `folder` (the folder itself is not counted), iteratively and
/// fd-relative, never following a symbolic link below the start (the start itself is followed).
/// With `skipHidden`, dot-named items are not visited and hidden folders are not entered.
/// Unreadable folders and items that cannot be examined are passed over silently. Blocking;
/// call from a worker thread.
DirectorySize measureDirectory(const std::filesystem::path& folder, bool skipHidden);

/// The same walk below the open folder `folder`, which it takes over and closes (a negative
/// value measures as nothing opened).
DirectorySize measureOpenDirectory(int folder, bool skipHidden);

/// The names directly inside `folder` (following a symbolic link at `folder` itself) but "."
/// and "..", leaving out dot-names when `skipHidden`, in byte order. nullopt when the folder
/// cannot be opened or read.
std::optional<std::vector<std::string>> listFolderNames(const std::filesystem::path& folder,
                                                        bool skipHidden);

} // namespace fernwick
