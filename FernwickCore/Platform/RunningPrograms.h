#pragma once

#include <filesystem>
#include <vector>

namespace fernwick {

/// Which programs are running, read from /proc: the executable of every process whose
/// /proc/<pid>/exe can be read (other users' processes usually cannot, unless running as root).
class RunningPrograms {
public:
    /// `procRoot` stands in for /proc in tests: a folder of numeric folders holding `exe` links
    /// and `environ` files.
    explicit RunningPrograms(std::filesystem::path procRoot = "/proc");

    /// The executables running now, one entry per process, as the kernel names them (symbolic
    /// links resolved; a " (deleted)" suffix removed). Blocking; thread-safe.
    std::vector<std::filesystem::path> executables() const;

    /// The `APPIMAGE=` value of every process environment that can be read (/proc/<pid>/environ,
    /// readable for the user's own processes): the AppImages running now. Unreadable entries are
    /// skipped. Blocking; thread-safe.
    std::vector<std::filesystem::path> appImages() const;

    /// True when one of `executables` lies at or under `location`, after resolving the symbolic
    /// links of `location` so that it compares with the kernel's names.
    static bool anyAtOrUnder(const std::vector<std::filesystem::path>& executables,
                             const std::filesystem::path& location);

private:
    std::filesystem::path m_procRoot;
};

} // namespace fernwick
