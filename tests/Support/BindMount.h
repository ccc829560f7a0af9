#pragma once

#include <filesystem>
#include <string>
#include <sys/mount.h>

namespace fernwick::test {

/// A bind mount of `source` on `target` for the object's life (needs root). `mounted()` is
/// false where mount(2) is refused, and the test should then skip. `moveTo` follows the mount
/// when a test renames what holds it, so that it is taken down where it now is.
class BindMount {
public:
    BindMount(const std::filesystem::path& source, const std::filesystem::path& target)
        : m_target(target) {
        m_mounted = ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~BindMount() {
        if (m_mounted) {
            ::umount2(m_target.c_str(), MNT_DETACH);
        }
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;

    bool mounted() const { return m_mounted; }
    void moveTo(const std::filesystem::path& target) { m_target = target; }
    static std::string skipReason() { return "mount(2) is refused here (CI runs as root)"; }

private:
    std::filesystem::path m_target;
    bool m_mounted = false;
};

/// A fresh tmpfs on `target` for the object's life (needs root); `mounted()` as for BindMount.
/// Each tmpfs numbers its inodes from 1, and the device number freed by one is handed to the
/// next: two in turn at one place give equal numbers to items made in the same order.
class TmpfsMount {
public:
    explicit TmpfsMount(const std::filesystem::path& target) : m_target(target) {
        m_mounted = ::mount("tmpfs", target.c_str(), "tmpfs", 0, "size=128m") == 0;
    }
    ~TmpfsMount() { unmount(); }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    void unmount() {
        if (m_mounted) {
            ::umount2(m_target.c_str(), MNT_DETACH);
            m_mounted = false;
        }
    }

private:
    std::filesystem::path m_target;
    bool m_mounted = false;
};

} // namespace fernwick::test
