#include "FernwickCore/Platform/UniqueFd.h"

#include <cerrno>
#include <string>

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

} // namespace fernwick
