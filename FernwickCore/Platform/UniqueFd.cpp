#include "FernwickCore/Platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>

namespace fernwick {

Result<std::filesystem::path> descriptorPath(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string text(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(link.c_str(), text.data(), text.size());
        if (length < 0) {
            return SystemError::fromErrno("readlink " + link);
        }
        if (static_cast<std::size_t>(length) < text.size()) {
            text.resize(static_cast<std::size_t>(length));
            break;
        }
        text.resize(text.size() * 2);
    }
    // proc(5): a removed object's name ends in " (deleted)"; anything not absolute (a socket,
    // an anonymous file) names no place either.
    if (text.empty() || text.front() != '/' || text.ends_with(" (deleted)")) {
        return SystemError{"locate descriptor", ENOENT};
    }
    return std::filesystem::path(text);
}

Result<UniqueFd> openFolderWithoutLinks(const std::filesystem::path& folder, LinkFreeWalk walk) {
    if (!folder.is_absolute()) {
        return SystemError{folder.string(), EINVAL};
    }
    if (walk == LinkFreeWalk::kernelFirst) {
        // openat2(2): RESOLVE_NO_SYMLINKS fails at any link on the way, the last one included.
        open_how how{};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, AT_FDCWD, folder.c_str(), &how, sizeof how);
        if (fd >= 0) {
            return UniqueFd(static_cast<int>(fd));
        }
        // Whatever stopped it (no openat2 here, a link, a missing folder), the walk below is as
        // safe and names the component that stops it.
    }
    UniqueFd current(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current) {
        return SystemError::fromErrno("/");
    }
    std::filesystem::path reached = "/";
    for (const auto& part : folder.relative_path()) {
        if (part.empty() || part == ".") {
            continue;
        }
        reached /= part;
        // open(2): with O_PATH, O_NOFOLLOW opens a link itself, which O_DIRECTORY then refuses.
        UniqueFd next(
            ::openat(current.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) {
            const int code = errno;
            struct stat info {};
            const bool isLink =
                ::fstatat(current.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode);
            return SystemError{reached.string(), isLink ? ELOOP : code};
        }
        current = std::move(next);
    }
    return current;
}

} // namespace fernwick
