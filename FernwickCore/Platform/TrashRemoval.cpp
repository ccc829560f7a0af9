// Removing a trashed item for good: the walk behind `trashfs::removeEntry`.

#include "FernwickCore/Platform/TrashFolders.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fernwick::trashfs {
namespace {

// Folders whose listings stay open at once. Deeper levels are closed and found again through
// ".." (checked to be the folder left), so that no tree is too deep to empty whatever the
// limit on open files.
constexpr std::size_t kOpenLevels = 16;

constexpr unsigned kFacts = STATX_TYPE | STATX_MODE | STATX_INO | STATX_MNT_ID;

// statx(2): the mount id tells a bind mount of a folder of the same file system (same device
// number) from the folder it covers.
bool examine(int folderFd, const char* name, struct statx& facts) {
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (name[0] == '\0' ? AT_EMPTY_PATH : 0);
    return ::statx(folderFd, name, flags, kFacts, &facts) == 0;
}

bool sameMount(const struct statx& a, const struct statx& b) {
    if (a.stx_dev_major != b.stx_dev_major || a.stx_dev_minor != b.stx_dev_minor) {
        return false;
    }
    const bool bothKnown = (a.stx_mask & b.stx_mask & STATX_MNT_ID) != 0;
    return !bothKnown || a.stx_mnt_id == b.stx_mnt_id;
}

bool sameFolder(const struct statx& a, const struct statx& b) {
    return sameMount(a, b) && a.stx_ino == b.stx_ino;
}

/// Empties and removes one trashed folder, depth first, with at most `kOpenLevels` listings
/// open. Never follows a link and never enters another mounted file system; what cannot be
/// removed stays, with the folders that lead to it.
class FolderRemover {
public:
    explicit FolderRemover(int topFd) : m_topFd(topFd) {}
    FolderRemover(const FolderRemover&) = delete;
    FolderRemover& operator=(const FolderRemover&) = delete;
    ~FolderRemover() {
        for (Level& level : m_stack) {
            if (level.dir != nullptr) {
                ::closedir(level.dir);
            }
        }
    }

    Status run(const std::string& name, const struct statx& facts) {
        if (enter(m_topFd, name, facts)) {
            while (!m_stack.empty() && step()) {
            }
        }
        return m_first;
    }

private:
    struct Level {
        DIR* dir = nullptr; // null while closed to spare descriptors
        std::string name;
        struct statx facts {};
        std::set<std::string> kept; // entries that stay: skipped when the folder is listed again
    };

    void note(const SystemError& error) {
        if (m_first) {
            m_first = error;
        }
    }
    void noteErrno(const std::string& operation) { note(SystemError::fromErrno(operation)); }

    // Makes the folder ours to empty before opening it: a folder without read or search
    // permission for us (mode 000, a read-only module cache) is changed through a handle on
    // the folder itself, so a link put in its place is never followed.
    bool enter(int parentFd, const std::string& name, const struct statx& facts) {
        const Fd handle(
            ::openat(parentFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct statx opened {};
        if (!handle || !examine(handle.get(), "", opened) || !sameFolder(opened, facts)) {
            note(SystemError{"open " + name, handle ? ESTALE : errno});
            return false;
        }
        if ((facts.stx_mode & 0700) != 0700) {
            const std::string self = "/proc/self/fd/" + std::to_string(handle.get());
            (void)::chmod(self.c_str(), (facts.stx_mode & 07777) | 0700);
        }
        const int fd = ::openat(handle.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
        if (dir == nullptr) {
            noteErrno("open " + name);
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
        m_stack.push_back(Level{dir, name, facts, {}});
        if (m_stack.size() - m_firstOpen > kOpenLevels) {
            ::closedir(m_stack[m_firstOpen].dir);
            m_stack[m_firstOpen].dir = nullptr;
            ++m_firstOpen;
        }
        return true;
    }

    // One entry of the deepest open folder, or that folder's end. False when the walk must stop.
    bool step() {
        Level& level = m_stack.back();
        errno = 0;
        const dirent* entry = ::readdir(level.dir);
        if (entry == nullptr) {
            if (errno != 0) {
                noteErrno("list " + level.name);
                level.kept.insert({}); // the listing is incomplete: the folder stays
            }
            return leave();
        }
        const std::string child = entry->d_name;
        if (child == "." || child == ".." || level.kept.count(child) != 0) {
            return true;
        }
        const int fd = ::dirfd(level.dir);
        struct statx facts {};
        const bool maybeFolder = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
        if (maybeFolder && examine(fd, child.c_str(), facts) && S_ISDIR(facts.stx_mode)) {
            if (!sameMount(facts, level.facts)) {
                note(SystemError{"remove " + child, EXDEV,
                                 "Left in the Trash: " + child + " is a mounted file system"});
                level.kept.insert(child);
            } else if (!enter(fd, child, facts)) {
                level.kept.insert(child);
            }
            return true;
        }
        if (::unlinkat(fd, child.c_str(), 0) != 0) {
            noteErrno("remove " + child);
            level.kept.insert(child);
        }
        return true;
    }

    // The deepest folder is listed to its end: remove it from its parent, listing the parent
    // again when its listing was closed.
    bool leave() {
        Level done = std::move(m_stack.back());
        m_stack.pop_back();
        int parentFd = m_topFd;
        if (!m_stack.empty()) {
            if (m_stack.size() - 1 < m_firstOpen && !reopenParent(::dirfd(done.dir))) {
                ::closedir(done.dir);
                return false;
            }
            parentFd = ::dirfd(m_stack.back().dir);
        }
        ::closedir(done.dir);
        if (!done.kept.empty()) {
            if (!m_stack.empty()) {
                m_stack.back().kept.insert(done.name);
            }
            return true;
        }
        if (::unlinkat(parentFd, done.name.c_str(), AT_REMOVEDIR) != 0) {
            noteErrno("remove " + done.name);
            if (!m_stack.empty()) {
                m_stack.back().kept.insert(done.name);
            }
        }
        return true;
    }

    bool reopenParent(int childFd) {
        Level& parent = m_stack.back();
        const int fd = ::openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct statx facts {};
        if (fd < 0 || !examine(fd, "", facts) || !sameFolder(facts, parent.facts)) {
            // Moved while being emptied: stop rather than remove from a folder we did not pick.
            note(SystemError{"list " + parent.name, fd < 0 ? errno : ESTALE});
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
        parent.dir = ::fdopendir(fd);
        if (parent.dir == nullptr) {
            noteErrno("list " + parent.name);
            ::close(fd);
            return false;
        }
        m_firstOpen = m_stack.size() - 1;
        return true;
    }

    int m_topFd;
    std::vector<Level> m_stack;
    std::size_t m_firstOpen = 0; // levels from here up are open; the ones below are closed
    Status m_first = Ok{};
};

} // namespace

Status removeEntry(int folderFd, const std::string& name) {
    struct statx facts {};
    if (!examine(folderFd, name.c_str(), facts)) {
        return SystemError::fromErrno("stat " + name);
    }
    if (!S_ISDIR(facts.stx_mode)) {
        if (::unlinkat(folderFd, name.c_str(), 0) != 0) {
            return SystemError::fromErrno("remove " + name);
        }
        return Ok{};
    }
    struct statx folder {};
    if (!examine(folderFd, "", folder) || !sameMount(folder, facts)) {
        return SystemError{"remove " + name, EXDEV,
                           "Left in the Trash: " + name + " is a mounted file system"};
    }
    return FolderRemover(folderFd).run(name, facts);
}

} // namespace fernwick::trashfs
