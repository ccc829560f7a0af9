#pragma once

#include "FernwickCore/Platform/Result.h"

#include <cstdint>
#include <filesystem>
#include <unistd.h>

namespace fernwick {

/// An owned file descriptor, closed when the object dies. Move-only.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

/// Where the object behind `fd` lies now, as the kernel names it (/proc/self/fd). Fails when
/// /proc is not mounted or when the object has been removed.
Result<std::filesystem::path> descriptorPath(int fd);

/// How openFolderWithoutLinks() goes: openat2(2) first, or only one component at a time (all
/// that a kernel without openat2 offers).
enum class LinkFreeWalk : std::uint8_t { kernelFirst, byComponent };

/// An O_PATH descriptor of the absolute folder `folder`, reached from "/" without following any
/// symbolic link on the way, the folder itself included. On failure the error's operation is the
/// path of the component that stopped the walk and its code says why: ELOOP a link, ENOENT
/// missing, ENOTDIR not a folder.
Result<UniqueFd> openFolderWithoutLinks(const std::filesystem::path& folder,
                                        LinkFreeWalk walk = LinkFreeWalk::kernelFirst);

} // namespace fernwick
