#pragma once

#include "FernwickCore/Platform/Clock.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace fernwick {

/// The modification time lstat(2) gives, to the nanosecond where the file system keeps it.
inline TimePoint modificationTime(const struct stat& info) {
    using namespace std::chrono;
    const auto since = seconds(info.st_mtim.tv_sec) + nanoseconds(info.st_mtim.tv_nsec);
    return TimePoint(duration_cast<system_clock::duration>(since));
}

/// An entry as it stands now, as far as telling it apart from another goes: from one statx(2)
/// (a final link not followed), or one lstat(2), which knows no birth time.
struct EntryState {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isFolder = false;
    TimePoint modified;
    /// The inode's change time, which every write, rename, chmod and time change moves and no
    /// program can set back.
    TimePoint changed;
    /// When the entry was made; nullopt where the file system keeps no birth time (no
    /// STATX_BTIME in the answer, or the epoch, which some file systems give for "unknown").
    std::optional<TimePoint> born;

    /// The entry `name` of the folder `folderFd` (AT_FDCWD: `name` is a path); nullopt when
    /// statx fails (errno tells why).
    static std::optional<EntryState> at(int folderFd, const std::string& name);
    static EntryState of(const struct stat& info);
};

/// The moment a listing (a scan, a cleanup plan, a duplicate search, the developer or the
/// uninstaller listing) began, against which the change and birth times of what it recorded
/// are held.
///
/// File times are stamped from the kernel's coarse clock, which lags the fine one by up to a
/// tick (or, where the kernel hands out fine-grained stamps, from the fine clock). So the start
/// is read from the fine clock (CLOCK_REALTIME), and the listing only begins once the coarse
/// clock (CLOCK_REALTIME_COARSE) has passed that reading: an entry changed or made before the
/// start has times no later than it, whichever clock stamped them, and one changed or made
/// after the wait has times strictly later. A change made during the wait (a tick at most)
/// may count either way: it came before the listing read anything. Blocks for up to one tick
/// of the coarse clock; a wall clock set back during the wait ends it.
TimePoint listingStart();

/// Which file-system object an item is, as it was recorded when a listing found it, and the
/// rule that tells whether an entry found now is still it: a folder is a container, a file is
/// its contents.
///
/// - Another device or inode number: another item (replaced).
/// - Born after its listing began (where the file system keeps birth times): another item
///   made since at that place (a folder swapped in, a volume mounted anew, which numbers its
///   items from 1 again and may get the old device number back).
/// - A folder otherwise is the folder listed and goes with what it holds now: entries coming
///   and going move its modification time, and that is no change of the folder itself.
/// - A file is unchanged while its modification time is the one recorded and its change time
///   is no later than its listing began; otherwise it was changed since (a rewrite with its
///   time set back moves the change time).
/// Parts left unknown (0, no time, no listing start) are not compared.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::optional<TimePoint> modified;
    /// When the listing that recorded the item began (listingStart()).
    std::optional<TimePoint> listedAt;

    enum class Verdict { same, changed, replaced };

    /// Every part, from one lstat(2) or fstatat(2) of the item; no listing start.
    static FileIdentity of(const struct stat& info) {
        return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                modificationTime(info), std::nullopt};
    }
    /// What a record of the item holds. Its time counts only beside a number (a record whose
    /// lstat failed holds neither, and a made-up time) and when it is not the epoch itself,
    /// which is what a record that never had one holds.
    static FileIdentity recorded(std::uint64_t device, std::uint64_t inode, TimePoint modified,
                                 std::optional<TimePoint> listedAt = std::nullopt) {
        const bool timed = (device != 0 || inode != 0) && modified != TimePoint{};
        return {device, inode, timed ? std::optional(modified) : std::nullopt, listedAt};
    }
    /// This identity as recorded by the listing that began at `start`.
    FileIdentity listedSince(std::optional<TimePoint> start) const {
        FileIdentity copy = *this;
        copy.listedAt = start;
        return copy;
    }

    bool isKnown() const { return device != 0 || inode != 0 || modified.has_value(); }

    /// What `now` is to this item (see the type's rule).
    Verdict compare(const EntryState& now) const;
    bool matches(const EntryState& now) const { return compare(now) == Verdict::same; }
    bool matches(const struct stat& info) const { return matches(EntryState::of(info)); }

    bool operator==(const FileIdentity&) const = default;
};

} // namespace fernwick
