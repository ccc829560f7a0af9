#include "FernwickCore/Platform/PseudoFileSystem.h"

#include <cstdio>
#include <cstring>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace fernwick {
namespace {

// Not every kernel header names these three.
constexpr std::int64_t kConfigFsMagic = 0x62656570;
constexpr std::int64_t kFuseCtlMagic = 0x65735543;
constexpr std::int64_t kMqueueMagic = 0x19800202;

// proc(5): /proc/self/mountinfo, "major:minor" is the third field and the file-system type
// follows the " - " separator.
bool isDevtmpfsDevice(dev_t device) {
    std::FILE* file = std::fopen("/proc/self/mountinfo", "re");
    if (file == nullptr) {
        return false;
    }
    bool found = false;
    char line[4096];
    while (!found && std::fgets(line, sizeof line, file) != nullptr) {
        unsigned major = 0;
        unsigned minor = 0;
        if (std::sscanf(line, "%*s %*s %u:%u", &major, &minor) != 2 ||
            makedev(major, minor) != device) {
            continue;
        }
        const char* separator = std::strstr(line, " - ");
        found = separator != nullptr && std::strncmp(separator + 3, "devtmpfs ", 9) == 0;
    }
    std::fclose(file);
    return found;
}

} // namespace

bool isPseudoFileSystemType(std::int64_t type) {
    switch (type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case kConfigFsMagic:
    case kFuseCtlMagic:
    case kMqueueMagic:
    case HUGETLBFS_MAGIC:
    case BINFMTFS_MAGIC:
    case AUTOFS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

bool isOnPseudoFileSystem(int fd) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0) {
        return false;
    }
    const auto type = static_cast<std::int64_t>(info.f_type);
    if (isPseudoFileSystemType(type)) {
        return true;
    }
    struct stat own {};
    return type == TMPFS_MAGIC && ::fstat(fd, &own) == 0 && isDevtmpfsDevice(own.st_dev);
}

} // namespace fernwick
