#pragma once

#include <cstdint>

namespace fernwick {

/// True for the kernel's pseudo file systems, which hold no user data and whose sizes are
/// fictitious (proc, sysfs, devtmpfs, devpts, cgroup, cgroup2, debugfs, tracefs, securityfs,
/// bpf, pstore, configfs, fusectl, mqueue, hugetlbfs, binfmt_misc, autofs), judged by the
/// `f_type` of statfs(2).
bool isPseudoFileSystemType(std::int64_t fileSystemType);

/// True when the open folder `fd` lies on a pseudo file system. devtmpfs reports tmpfs's
/// `f_type`, so a tmpfs folder is looked up by device number in /proc/self/mountinfo.
/// False when the file system cannot be told. Any thread.
bool isOnPseudoFileSystem(int fd);

} // namespace fernwick
