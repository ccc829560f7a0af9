#pragma once

#include "FernwickCore/Platform/Result.h"
#include "FernwickCore/Platform/UniqueFd.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

/// The folder work behind `Trash`: finding or creating the trash that an item belongs in, and
/// emptying trash folders without following links. Internal to the platform layer.
namespace fernwick::trashfs {

using Fd = UniqueFd;

/// The trash an item goes to, opened.
struct TrashTarget {
    /// The trash folder (holding files/ and info/).
    std::filesystem::path folder;
    /// The volume's top for a volume trash; empty for the home trash.
    std::filesystem::path top;
    Fd filesFd;
    Fd infoFd;
};

/// The trash for an item on device `device` held by the (resolved) folder `itemFolder`: the
/// home trash at `homeTrash` (created when missing) when it is on that device, else the volume
/// trash below the volume's top. `volumeTopOverride`, when set and answering, names the top and
/// forces a volume trash. Fails with a reason when no usable trash exists.
Result<TrashTarget>
trashFor(const std::filesystem::path& homeTrash, const std::filesystem::path& itemFolder,
         dev_t device,
         const std::function<std::optional<std::filesystem::path>(const std::filesystem::path&)>&
             volumeTopOverride);

/// `path` relative to `top` (both resolved; `path` lies under `top`).
std::string relativeTo(const std::filesystem::path& path, const std::filesystem::path& top);

/// Whether a name listed in a trash's files/ folder is a trashed item: everything but "." and
/// "..". A trashed dot-file (~/.npm) keeps its dot in the trash and is an item like any other.
inline bool isTrashedItemName(const char* name) {
    return !(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')));
}

struct TrashFolder {
    std::filesystem::path path;
    bool isHome = false;
};

/// The mount points of the real (not pseudo) file systems, from /proc/self/mountinfo.
std::vector<std::filesystem::path> mountPoints();

/// The home trash (when it exists) and this user's trash folders below the given mount points
/// that pass the ownership and sticky-bit tests, each once.
std::vector<TrashFolder> userTrashFolders(const std::filesystem::path& homeTrash,
                                          const std::vector<std::filesystem::path>& mounts);

/// Removes every entry of files/ and its info file. A volume trash folder is opened
/// without following links; nothing inside any trash is ever followed.
Status emptyTrashFolder(const std::filesystem::path& folder, bool isHome);

/// Removes `name` inside `folderFd` for good: a link or file is unlinked, a folder is emptied
/// iteratively (descending only through real folders) and removed.
Status removeEntry(int folderFd, const std::string& name);

} // namespace fernwick::trashfs
