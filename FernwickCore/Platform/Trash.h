#pragma once

#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/FileIdentity.h"
#include "FernwickCore/Platform/Result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

/// Where a path stands towards the trashes. Textual: nothing is read from the file system.
enum class TrashPlace : std::uint8_t {
    /// Neither a trash folder nor inside one.
    none,
    /// A trash folder itself or one of its own folders: the home trash, its "files" and
    /// "info"; a volume's "$top/.Trash", "$top/.Trash/$uid" or "$top/.Trash-$uid" and their
    /// "files" and "info".
    trashFolder,
    /// Something inside a trash: a trashed item or anything in it, an info file.
    insideTrash,
};

/// Where the standardized `path` stands towards the home trash `homeTrash` (give each form of
/// it, e.g. with links resolved) and towards any volume trash, found by its folder names
/// (".Trash-<digits>", ".Trash/<digits>") wherever they occur.
TrashPlace trashPlace(const std::filesystem::path& path,
                      const std::vector<std::filesystem::path>& homeTrashForms);

/// How a restore knows again the entry a move left in the Trash at `trashed`: `numbers`
/// (device and inode, as approved for the move) with the entry's modification time as it lies
/// there (moving a folder may touch it) and a listing start taken after the move, so that an
/// entry written to in the Trash, or a later item given a freed inode number, is told apart.
/// Just the numbers when the entry there is not theirs. Blocks for up to a clock tick
/// (listingStart()): call it off the GUI thread.
FileIdentity trashedEntryIdentity(const std::filesystem::path& trashed,
                                  const FileIdentity& numbers);

/// The user's Trash, as the freedesktop.org Trash specification lays it out.
///
/// Items on the home trash's device go to `dataHome/Trash` ("files/" and "info/"); items on
/// another mounted file system go to that volume's `$top/.Trash/$uid` when `$top/.Trash` is a
/// real directory with the sticky bit, else to `$top/.Trash-$uid` (created 0700 and checked to
/// be ours). The `.trashinfo` file is created with O_EXCL and written in full before the item is
/// renamed with RENAME_NOREPLACE; a failed rename removes it again. Nothing is ever copied and
/// deleted, nor deleted outright: when no usable trash exists the move fails with a reason.
///
/// Every operation is a plain call safe from any thread; the object holds no mutable state.
class Trash {
public:
    /// The reason a move gives when the item no longer has the identity it was approved with.
    static constexpr const char* kIdentityMismatchReason =
        "Filesystem identity mismatch: target was replaced since last scan";
    /// The reason a move gives when the file is the one listed but its contents changed since.
    static constexpr const char* kChangedSinceListingReason =
        "Changed since the scan — scan again.";
    /// The reason a restore gives when the Trash holds another item under the trashed name.
    static constexpr const char* kNotTheTrashedItemReason =
        "It left the Trash; another item has its name there now";
    /// The reason a restore gives when nothing in the Trash has the trashed name any more.
    static constexpr const char* kNoLongerThereReason =
        "Nothing in the Trash has its name now: it was emptied or restored by other means";
    /// The reason a restore gives when the trashed entry was changed in the Trash.
    static constexpr const char* kChangedInTrashReason =
        "It was changed in the Trash after it was moved there";
    /// The words that follow the folder's path when a restore finds a symbolic link on the way.
    static constexpr const char* kLinkOnTheWayReason =
        " is now a symbolic link, and nothing is put back through a link";

    /// Whether a restore failed because the entry it was to move back is no longer in the Trash
    /// (emptied, restored by other means, another item under its name); otherwise it is still
    /// there.
    static bool isNoLongerInTrash(const SystemError& restoreError);

    /// Seams for tests, so that no test reaches a real volume's trash.
    struct Seams {
        /// Given the (resolved) folder that holds an item: the `$top` of the volume to use when
        /// the item is to be treated as lying on another file system, or nullopt to decide by
        /// device numbers as usual.
        std::function<std::optional<std::filesystem::path>(const std::filesystem::path& folder)>
            volumeTop;
        /// The mount points whose trashes `empty()` visits; unset means /proc/self/mountinfo.
        std::function<std::vector<std::filesystem::path>()> mountPoints;
    };

    explicit Trash(Environment env, Seams seams = {});
    /// The real user's Trash.
    static std::shared_ptr<Trash> shared();

    /// Moves `item` (the entry itself; a final symbolic link is not followed) into the trash of
    /// its volume and returns its new path inside that trash's "files/" folder. When `expected`
    /// is given, its known parts are confirmed immediately before the rename, relative to a
    /// descriptor of its parent folder opened without following links; a different item fails with
    /// `kIdentityMismatchReason`. A taken name becomes "name.2.ext", "name.3.ext", ... . On failure
    /// nothing has moved and no info file is left behind.
    Result<std::filesystem::path> moveToTrash(const std::filesystem::path& item,
                                              std::optional<FileIdentity> expected = {}) const;
    /// moveToTrash() for the entry `name` of a folder the caller has already opened (`folderFd`;
    /// O_PATH is enough) and examined through that descriptor; `realFolder` is where that folder
    /// lies (see `descriptorPath`). No path is resolved again, so a folder swapped for a link
    /// in the meantime cannot redirect the move: the entry examined is the entry moved.
    Result<std::filesystem::path> moveToTrashAt(int folderFd,
                                                const std::filesystem::path& realFolder,
                                                const std::string& name,
                                                std::optional<FileIdentity> expected) const;

    /// Moves a trashed item (a path inside some trash's "files/" folder) back to `originalPath`
    /// and removes its info file. Never replaces what stands at `originalPath`: then it fails
    /// with EEXIST and the item stays in the Trash. The folder that held the item must exist and
    /// is reached from "/" without following any symbolic link: a link on the way fails with
    /// ELOOP and `kLinkOnTheWayReason`, and nothing moves. With `expected`, only that entry is
    /// moved: another entry of the name (the first emptied elsewhere, another trashed since)
    /// fails with `kNotTheTrashedItemReason`, the entry changed in the Trash with
    /// `kChangedInTrashReason`; a name with no entry fails with `kNoLongerThereReason`. On
    /// every failure each entry keeps its place and its info file.
    Status restore(const std::filesystem::path& trashedItem,
                   const std::filesystem::path& originalPath,
                   std::optional<FileIdentity> expected = {}) const;

    /// The number of entries directly inside the home trash's "files/" folder, dot-names
    /// included (a trashed ~/.npm is an item like any other); 0 when it is missing or
    /// unreadable. Never descends into an entry.
    std::int64_t itemCount() const;

    /// Removes for good every entry of the home trash and of the user's trashes on the mounted
    /// file systems, with their info files. Never follows a symbolic link (a link is removed as
    /// a link) and never enters another mounted file system: a trashed folder with a mount
    /// below it keeps that mount and what leads to it. Entries that cannot be removed stay
    /// (and are counted); the first failure is returned after all others were tried.
    Status empty() const;

    /// dataHome/Trash.
    std::filesystem::path homeTrashFolder() const { return m_env.dataHome / "Trash"; }

private:
    Result<std::filesystem::path> moveAt(int folderFd, const std::filesystem::path& realFolder,
                                         const std::string& name,
                                         const std::filesystem::path& shownPath,
                                         std::optional<FileIdentity> expected) const;

    Environment m_env;
    Seams m_seams;
};

} // namespace fernwick
