#include "FernwickCore/Platform/FileIdentity.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/sysmacros.h>

namespace fernwick {

namespace {

TimePoint timeOf(const struct timespec& time) {
    using namespace std::chrono;
    return TimePoint(
        duration_cast<system_clock::duration>(seconds(time.tv_sec) + nanoseconds(time.tv_nsec)));
}

TimePoint timeOf(const struct statx_timestamp& time) {
    return timeOf(timespec{static_cast<time_t>(time.tv_sec), static_cast<long>(time.tv_nsec)});
}

TimePoint clockNow(clockid_t clock) {
    struct timespec now {};
    (void)::clock_gettime(clock, &now);
    return timeOf(now);
}

} // namespace

std::optional<EntryState> EntryState::at(int folderFd, const std::string& name) {
    struct statx info {};
    // statx(2): STATX_BTIME is answered only where the file system keeps it.
    if (::statx(folderFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        return std::nullopt;
    }
    EntryState state;
    state.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    state.inode = info.stx_ino;
    state.isFolder = S_ISDIR(info.stx_mode);
    state.modified = timeOf(info.stx_mtime);
    state.changed = timeOf(info.stx_ctime);
    if ((info.stx_mask & STATX_BTIME) != 0 &&
        (info.stx_btime.tv_sec != 0 || info.stx_btime.tv_nsec != 0)) {
        state.born = timeOf(info.stx_btime);
    }
    return state;
}

EntryState EntryState::of(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev),
            static_cast<std::uint64_t>(info.st_ino),
            S_ISDIR(info.st_mode),
            modificationTime(info),
            timeOf(info.st_ctim),
            std::nullopt};
}

TimePoint listingStart() {
    const TimePoint start = clockNow(CLOCK_REALTIME);
    struct timespec tick {};
    (void)::clock_getres(CLOCK_REALTIME_COARSE, &tick);
    // A few ticks at most; a clock set back meanwhile would keep the coarse reading behind.
    for (int i = 0; i < 4; ++i) {
        const TimePoint coarse = clockNow(CLOCK_REALTIME_COARSE);
        if (coarse > start || coarse + 4 * timeOf(tick).time_since_epoch() < start) {
            break;
        }
        (void)::clock_nanosleep(CLOCK_MONOTONIC, 0, &tick, nullptr);
    }
    return start;
}

FileIdentity::Verdict FileIdentity::compare(const EntryState& now) const {
    if (!isKnown()) {
        return Verdict::same; // a record that holds nothing of the item tells nothing
    }
    if ((device != 0 && device != now.device) || (inode != 0 && inode != now.inode)) {
        return Verdict::replaced;
    }
    if (listedAt && now.born && *now.born > *listedAt) {
        return Verdict::replaced;
    }
    if (now.isFolder) {
        return Verdict::same;
    }
    if ((modified && *modified != now.modified) || (listedAt && now.changed > *listedAt)) {
        return Verdict::changed;
    }
    return Verdict::same;
}

} // namespace fernwick
