#include "FernwickCore/Platform/TrashFolders.h"

#include "FernwickCore/Platform/MountTable.h"
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/Trash.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace fernwick::trashfs {
namespace {

SystemError noUsableTrash(const std::filesystem::path& top, int code) {
    return SystemError{"move to trash", code,
                       "Cannot move to the Trash: the volume at " + top.string() +
                           " has no usable Trash folder (" + std::strerror(code) + ")"};
}

// mkdirat(2) then open; a folder of a volume trash must be a real folder (not a link), owned by
// us and writable by nobody else.
Result<Fd> ensureFolder(int parentFd, const std::string& name, bool mustBeOurs) {
    if (::mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST) {
        return SystemError::fromErrno("mkdir " + name);
    }
    Fd fd(::openat(parentFd, name.c_str(),
                   O_PATH | O_DIRECTORY | O_CLOEXEC | (mustBeOurs ? O_NOFOLLOW : 0)));
    if (!fd) {
        return SystemError::fromErrno("open " + name);
    }
    if (mustBeOurs) {
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) {
            return SystemError::fromErrno("stat " + name);
        }
        if (info.st_uid != ::geteuid() || (info.st_mode & 022) != 0) {
            return SystemError{"check " + name, EPERM};
        }
    }
    return fd;
}

Result<TrashTarget> openTrash(int trashFd, std::filesystem::path folder, std::filesystem::path top,
                              bool mustBeOurs) {
    auto files = ensureFolder(trashFd, "files", mustBeOurs);
    if (!files) {
        return files.error();
    }
    auto info = ensureFolder(trashFd, "info", mustBeOurs);
    if (!info) {
        return info.error();
    }
    return TrashTarget{std::move(folder), std::move(top), std::move(*files), std::move(*info)};
}

// The freedesktop.org Trash specification, volume trashes: $top/.Trash/$uid when $top/.Trash is
// a real folder with the sticky bit (a link there is refused), else $top/.Trash-$uid.
Result<TrashTarget> volumeTrash(const std::filesystem::path& top) {
    const Fd topFd(::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!topFd) {
        return noUsableTrash(top, errno);
    }
    const std::string uid = std::to_string(::geteuid());
    struct stat shared {};
    if (::fstatat(topFd.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX) != 0) {
        const Fd sharedFd(
            ::openat(topFd.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sharedFd) {
            if (auto mine = ensureFolder(sharedFd.get(), uid, true)) {
                if (auto target = openTrash(mine->get(), top / ".Trash" / uid, top, true)) {
                    return target;
                }
            }
        }
    }
    auto own = ensureFolder(topFd.get(), ".Trash-" + uid, true);
    if (!own) {
        return noUsableTrash(top, own.error().code);
    }
    auto target = openTrash(own->get(), top / (".Trash-" + uid), top, true);
    if (!target) {
        return noUsableTrash(top, target.error().code);
    }
    return target;
}

// The home trash, created with its missing parents (0700, as the XDG base directories ask).
Result<Fd> homeTrashFd(const std::filesystem::path& homeTrash) {
    std::filesystem::path partial;
    for (const auto& part : homeTrash) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return SystemError::fromErrno("mkdir " + partial.string());
        }
    }
    Fd fd(::open(homeTrash.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        return SystemError::fromErrno("open " + homeTrash.string());
    }
    return fd;
}

std::optional<dev_t> deviceOfNearestExisting(std::filesystem::path path) {
    for (;;) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) {
            return info.st_dev;
        }
        if (path == path.parent_path()) {
            return std::nullopt;
        }
        path = path.parent_path();
    }
}

// The highest folder above `folder` that is still on `device`: the volume's mount point.
std::filesystem::path mountTop(std::filesystem::path folder, dev_t device) {
    while (folder != folder.parent_path()) {
        struct stat info {};
        if (::stat(folder.parent_path().c_str(), &info) != 0 || info.st_dev != device) {
            break;
        }
        folder = folder.parent_path();
    }
    return folder;
}

bool isPseudoFileSystem(const std::string& type) {
    static const std::set<std::string> kPseudo = {
        "proc",    "sysfs",   "devtmpfs",   "devpts",      "cgroup", "cgroup2",
        "debugfs", "tracefs", "securityfs", "bpf",         "pstore", "configfs",
        "fusectl", "mqueue",  "hugetlbfs",  "binfmt_misc", "autofs", "nsfs"};
    return kPseudo.count(type) != 0;
}

std::vector<std::filesystem::path> readMountPoints() {
    std::vector<std::filesystem::path> points;
    for (auto& entry : readMountTable()) {
        if (!isPseudoFileSystem(entry.type)) {
            points.push_back(std::move(entry.mountPoint));
        }
    }
    return points;
}

bool isOurRealFolder(int parentFd, const char* name, bool sticky) {
    struct stat info {};
    if (::fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    return sticky ? (info.st_mode & S_ISVTX) != 0 : info.st_uid == ::geteuid();
}

} // namespace

Result<TrashTarget>
trashFor(const std::filesystem::path& homeTrash, const std::filesystem::path& itemFolder,
         dev_t device,
         const std::function<std::optional<std::filesystem::path>(const std::filesystem::path&)>&
             volumeTopOverride) {
    if (volumeTopOverride) {
        if (auto top = volumeTopOverride(itemFolder)) {
            return volumeTrash(*top);
        }
    }
    auto home = homeTrashFd(homeTrash);
    if (home) {
        struct stat info {};
        if (::fstat(home->get(), &info) == 0 && info.st_dev == device) {
            return openTrash(home->get(), homeTrash, {}, false);
        }
    } else if (deviceOfNearestExisting(homeTrash) == device) {
        return SystemError{"move to trash", home.error().code,
                           "Cannot move to the Trash: the Trash folder " + homeTrash.string() +
                               " cannot be used (" + std::strerror(home.error().code) + ")"};
    }
    struct stat folderInfo {};
    if (::stat(itemFolder.c_str(), &folderInfo) != 0) {
        return SystemError::fromErrno("stat " + itemFolder.string());
    }
    if (folderInfo.st_dev != device) {
        return SystemError{"move to trash", EBUSY,
                           "Cannot move to the Trash: the item is a mounted file system"};
    }
    return volumeTrash(mountTop(itemFolder, device));
}

std::string relativeTo(const std::filesystem::path& path, const std::filesystem::path& top) {
    const std::string& text = path.native();
    const std::string& base = top.native();
    if (base == "/") {
        return text.substr(1);
    }
    return text.size() > base.size() ? text.substr(base.size() + 1) : std::string();
}

std::vector<std::filesystem::path> mountPoints() {
    return readMountPoints();
}

std::vector<TrashFolder> userTrashFolders(const std::filesystem::path& homeTrash,
                                          const std::vector<std::filesystem::path>& mounts) {
    std::vector<TrashFolder> folders;
    std::set<std::pair<dev_t, ino_t>> seen;
    const auto add = [&](const std::filesystem::path& path, bool isHome) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && seen.insert({info.st_dev, info.st_ino}).second) {
            folders.push_back({path, isHome});
        }
    };
    struct stat homeInfo {};
    if (::stat(homeTrash.c_str(), &homeInfo) == 0 && S_ISDIR(homeInfo.st_mode)) {
        add(homeTrash, true);
    }
    const std::string uid = std::to_string(::geteuid());
    const std::string own = ".Trash-" + uid;
    for (const auto& top : mounts) {
        const Fd topFd(::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!topFd) {
            continue;
        }
        if (isOurRealFolder(topFd.get(), ".Trash", true)) {
            const Fd sharedFd(
                ::openat(topFd.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sharedFd && isOurRealFolder(sharedFd.get(), uid.c_str(), false)) {
                add(top / ".Trash" / uid, false);
            }
        }
        if (isOurRealFolder(topFd.get(), own.c_str(), false)) {
            add(top / own, false);
        }
    }
    return folders;
}

Status emptyTrashFolder(const std::filesystem::path& folder, bool isHome) {
    const Fd trashFd(
        ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | (isHome ? 0 : O_NOFOLLOW)));
    if (!trashFd) {
        return SystemError::fromErrno("open " + folder.string());
    }
    const Fd filesFd(
        ::openat(trashFd.get(), "files", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!filesFd) {
        return errno == ENOENT ? Status(Ok{}) : SystemError::fromErrno("open files");
    }
    const Fd infoFd(::openat(trashFd.get(), "info", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));

    std::vector<std::string> names;
    if (DIR* dir = ::fdopendir(::dup(filesFd.get()))) {
        while (const dirent* entry = ::readdir(dir)) {
            if (isTrashedItemName(entry->d_name)) {
                names.emplace_back(entry->d_name);
            }
        }
        ::closedir(dir);
    } else {
        return SystemError::fromErrno("list " + folder.string());
    }
    Status first = Ok{};
    for (const auto& name : names) {
        Status removed = removeEntry(filesFd.get(), name);
        if (removed && infoFd) {
            ::unlinkat(infoFd.get(), (name + ".trashinfo").c_str(), 0);
        } else if (!removed && first) {
            first = removed;
        }
    }
    return first;
}

} // namespace fernwick::trashfs

namespace fernwick {
namespace {

bool isDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Given the components that follow a trash folder: nothing, "files" or "info" is the trash's own
// folder; anything deeper is inside it.
TrashPlace placeBelowTrash(const std::vector<std::string>& rest) {
    if (rest.empty() || (rest.size() == 1 && (rest[0] == "files" || rest[0] == "info"))) {
        return TrashPlace::trashFolder;
    }
    return TrashPlace::insideTrash;
}

std::vector<std::string> componentsOf(const std::filesystem::path& path) {
    std::vector<std::string> components;
    for (const auto& part : path) {
        if (part != "/" && !part.empty()) {
            components.push_back(part.native());
        }
    }
    return components;
}

// A volume trash found by its folder names: ".Trash-<uid>", or ".Trash" and "<uid>" below it.
TrashPlace volumeTrashPlace(const std::vector<std::string>& components) {
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string& name = components[i];
        std::size_t trashEnd = 0; // one past the trash folder's last component
        if (name.starts_with(".Trash-") && isDigits(name.substr(7))) {
            trashEnd = i + 1;
        } else if (name == ".Trash") {
            if (i + 1 == components.size()) {
                return TrashPlace::trashFolder; // the shared folder of every user's trash
            }
            if (isDigits(components[i + 1])) {
                trashEnd = i + 2;
            }
        }
        if (trashEnd != 0) {
            return placeBelowTrash(
                {components.begin() + static_cast<std::ptrdiff_t>(trashEnd), components.end()});
        }
    }
    return TrashPlace::none;
}

} // namespace

TrashPlace trashPlace(const std::filesystem::path& path,
                      const std::vector<std::filesystem::path>& homeTrashForms) {
    const std::filesystem::path standardized = paths::standardize(path);
    for (const auto& homeTrash : homeTrashForms) {
        const std::filesystem::path trash = paths::standardize(homeTrash);
        if (!trash.empty() && paths::isAtOrUnder(standardized.native(), trash.native())) {
            const std::string rest = standardized.native().substr(trash.native().size());
            return placeBelowTrash(componentsOf(std::filesystem::path(rest)));
        }
    }
    return volumeTrashPlace(componentsOf(standardized));
}

} // namespace fernwick
