#pragma once

#include "FernwickCore/Platform/Clock.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <sys/stat.h>

namespace fernwick {

/// The modification time lstat(2) gives, to the nanosecond where the file system keeps it.
inline TimePoint modificationTime(const struct stat& info) {
    using namespace std::chrono;
    const auto since = seconds(info.st_mtim.tv_sec) + nanoseconds(info.st_mtim.tv_nsec);
    return TimePoint(duration_cast<system_clock::duration>(since));
}

/// Which file-system object an item is, as it was when it was seen: its device and inode
/// numbers and its modification time, all from one lstat(2). The numbers alone do not tell a
/// volume replaced at its mount point (a new tmpfs or card numbers its items from 1 again and
/// may get the old device number back), nor a file rewritten in place; the time does. A part
/// left unknown (0, or no time) is not compared.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::optional<TimePoint> modified;

    /// Every part, from one lstat(2) or fstatat(2) of the item.
    static FileIdentity of(const struct stat& info) {
        return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                modificationTime(info)};
    }
    /// What a record of the item holds. Its time counts only beside a number (a record whose
    /// lstat failed holds neither, and a made-up time) and when it is not the epoch itself,
    /// which is what a record that never had one holds.
    static FileIdentity recorded(std::uint64_t device, std::uint64_t inode, TimePoint modified) {
        const bool timed = (device != 0 || inode != 0) && modified != TimePoint{};
        return {device, inode, timed ? std::optional(modified) : std::nullopt};
    }

    bool isKnown() const { return device != 0 || inode != 0 || modified.has_value(); }
    /// Whether `info` is this item: every known part agrees.
    bool matches(const struct stat& info) const {
        return (device == 0 || device == static_cast<std::uint64_t>(info.st_dev)) &&
               (inode == 0 || inode == static_cast<std::uint64_t>(info.st_ino)) &&
               (!modified || *modified == modificationTime(info));
    }

    bool operator==(const FileIdentity&) const = default;
};

} // namespace fernwick
