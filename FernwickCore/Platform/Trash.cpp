#include "FernwickCore/Platform/Trash.h"

#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/TrashFolders.h"
#include "FernwickCore/Platform/UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fernwick {

using trashfs::Fd;

namespace {

// The freedesktop.org Trash specification: "Path" holds the original location as URL-escaped
// bytes. Unreserved characters and "/" stay as they are; everything else becomes %XX.
std::string percentEncoded(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                          (b >= '0' && b <= '9') || b == '-' || b == '_' || b == '.' || b == '~' ||
                          b == '/';
        if (keep) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

// "DeletionDate" is local time without a zone, YYYY-MM-DDThh:mm:ss.
std::string localDeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

constexpr std::size_t kInfoSuffixLength = sizeof(".trashinfo") - 1;

// The n-th name tried for `name` inside files/: the name itself, then "stem.n.ext". Shortened
// so that the info file's name ("<name>.trashinfo") still fits NAME_MAX: the stem first (one
// byte of it is kept), then the extension; never the counter, or every later try would repeat
// the first name.
std::string candidateName(const std::string& name, int n) {
    std::string stem = name;
    std::string ext = paths::extension(name);
    if (!ext.empty()) {
        stem = name.substr(0, name.size() - ext.size() - 1);
    }
    const std::string counter = n > 1 ? "." + std::to_string(n) : std::string();
    const std::size_t limit = NAME_MAX - kInfoSuffixLength;
    const std::size_t dotted = ext.empty() ? 0 : ext.size() + 1;
    if (stem.size() + counter.size() + dotted > limit) {
        const std::size_t keptStem = std::min<std::size_t>(stem.size(), 1);
        if (keptStem + counter.size() + dotted > limit) {
            ext.resize(limit - keptStem - counter.size() - 1); // an absurd extension
        }
        stem.resize(limit - counter.size() - (ext.empty() ? 0 : ext.size() + 1));
    }
    return stem + counter + (ext.empty() ? std::string() : "." + ext);
}

SystemError refusal(std::string operation, int code, std::string detail) {
    return SystemError{std::move(operation), code, std::move(detail)};
}

bool sameIdentity(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

Status writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemError::fromErrno("write trash info");
        }
        done += static_cast<std::size_t>(n);
    }
    return Ok{};
}

// Creates "<infoName>" in info/ exclusively and writes it in full. EEXIST is passed on so that
// the caller tries the next name.
Status createInfoFile(int infoFd, const std::string& infoName, const std::string& contents) {
    const int fd = ::openat(infoFd, infoName.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return SystemError::fromErrno("create trash info " + infoName);
    }
    Status written = writeAll(fd, contents);
    if (::close(fd) != 0 && written) {
        written = SystemError::fromErrno("close trash info " + infoName);
    }
    if (!written) {
        ::unlinkat(infoFd, infoName.c_str(), 0);
    }
    return written;
}

// Moves the item under `candidate`: true when it moved, false when that name is taken (the next
// one is to be tried), or the failure.
Result<bool> tryName(const trashfs::TrashTarget& target, int folderFd, const std::string& name,
                     const std::string& candidate, const struct stat& itemInfo,
                     const std::string& info, const std::filesystem::path& shownPath) {
    const std::string infoName = candidate + ".trashinfo";
    if (Status created = createInfoFile(target.infoFd.get(), infoName, info); !created) {
        if (created.error().code == EEXIST) {
            return false;
        }
        return created.error();
    }
    const auto dropInfo = [&] { ::unlinkat(target.infoFd.get(), infoName.c_str(), 0); };
    // Confirm once more, as late as possible, that the entry is still the item examined.
    struct stat now {};
    if (::fstatat(folderFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
        const SystemError error = SystemError::fromErrno("stat " + shownPath.string());
        dropInfo();
        return error;
    }
    if (!sameIdentity(now, itemInfo)) {
        dropInfo();
        return refusal("move to trash", ESTALE, Trash::kIdentityMismatchReason);
    }
    // renameat2(2): RENAME_NOREPLACE never replaces an entry that is already in files/.
    if (::renameat2(folderFd, name.c_str(), target.filesFd.get(), candidate.c_str(),
                    RENAME_NOREPLACE) != 0) {
        const int code = errno;
        dropInfo();
        if (code == EEXIST) {
            return false;
        }
        if (code == EXDEV) {
            return refusal("move to trash", code,
                           "Cannot move " + shownPath.string() + " to the Trash: " +
                               target.folder.string() + " is on another file system");
        }
        return SystemError{"move " + shownPath.string() + " to the Trash", code};
    }
    // The rename cannot compare identities itself; should the entry have been swapped in the
    // instant before it, the stranger goes straight back.
    struct stat moved {};
    if (::fstatat(target.filesFd.get(), candidate.c_str(), &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
        !sameIdentity(moved, itemInfo)) {
        if (::renameat2(target.filesFd.get(), candidate.c_str(), folderFd, name.c_str(),
                        RENAME_NOREPLACE) == 0) {
            dropInfo();
        }
        return refusal("move to trash", ESTALE, Trash::kIdentityMismatchReason);
    }
    return true;
}

// The entry `name` of files/ as a restore finds it (`entry`), or why it is not the one to move
// back: gone from the Trash, another item under the name, or the entry changed there.
Status examineTrashed(int filesFd, const std::string& name,
                      const std::optional<FileIdentity>& expected, struct stat& entry) {
    if (::fstatat(filesFd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) {
            return refusal("restore", ENOENT, Trash::kNoLongerThereReason);
        }
        return SystemError::fromErrno("stat " + name);
    }
    if (!expected) {
        return Ok{};
    }
    const auto now = EntryState::at(filesFd, name);
    switch (expected->compare(now ? *now : EntryState::of(entry))) {
    case FileIdentity::Verdict::same:
        break;
    case FileIdentity::Verdict::changed:
        return refusal("restore", ESTALE, Trash::kChangedInTrashReason);
    case FileIdentity::Verdict::replaced:
        return refusal("restore", ESTALE, Trash::kNotTheTrashedItemReason);
    }
    return Ok{};
}

// Why the folder to restore into could not be reached without links, in words.
SystemError folderRefusal(const SystemError& stopped) {
    const std::string& place = stopped.operation;
    switch (stopped.code) {
    case ELOOP:
        return refusal("restore", ELOOP, place + Trash::kLinkOnTheWayReason);
    case ENOENT:
        return refusal("restore", ENOENT, "The folder " + place + " no longer exists");
    case ENOTDIR:
        return refusal("restore", ENOTDIR, place + " is no longer a folder");
    default:
        return SystemError{"open " + place, stopped.code};
    }
}

} // namespace

Trash::Trash(Environment env, Seams seams) : m_env(std::move(env)), m_seams(std::move(seams)) {}

std::shared_ptr<Trash> Trash::shared() {
    static const auto instance = std::make_shared<Trash>(Environment::current());
    return instance;
}

Result<std::filesystem::path> Trash::moveToTrash(const std::filesystem::path& item,
                                                 std::optional<FileIdentity> expected) const {
    std::error_code ec;
    const std::filesystem::path absolute =
        paths::standardize(item.is_absolute() ? item : std::filesystem::absolute(item, ec));
    const std::string name = paths::lastComponent(absolute);
    if (name.empty() || name == "." || name == "..") {
        return refusal("move to trash", EINVAL,
                       "Cannot move " + absolute.string() + " to the Trash: it is not an item");
    }
    // The folder is opened once (the kernel resolves any link on the way a single time) and
    // everything that follows is relative to that descriptor; its real place, for the volume
    // and the Path= line, is read back from the descriptor itself.
    const Fd folderFd(::open(absolute.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd) {
        return SystemError::fromErrno("open " + absolute.parent_path().string());
    }
    auto realFolder = descriptorPath(folderFd.get());
    if (!realFolder) {
        return realFolder.error();
    }
    return moveAt(folderFd.get(), *realFolder, name, absolute, expected);
}

Result<std::filesystem::path> Trash::moveToTrashAt(int folderFd,
                                                   const std::filesystem::path& realFolder,
                                                   const std::string& name,
                                                   std::optional<FileIdentity> expected) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        return refusal("move to trash", EINVAL,
                       "Cannot move " + name + " to the Trash: it is not an item");
    }
    return moveAt(folderFd, realFolder, name, realFolder / name, expected);
}

Result<std::filesystem::path> Trash::moveAt(int folderFd, const std::filesystem::path& realFolder,
                                            const std::string& name,
                                            const std::filesystem::path& shownPath,
                                            std::optional<FileIdentity> expected) const {
    struct stat itemInfo {};
    if (::fstatat(folderFd, name.c_str(), &itemInfo, AT_SYMLINK_NOFOLLOW) != 0) {
        return SystemError::fromErrno("stat " + shownPath.string());
    }
    if (expected) {
        // statx(2) for the birth time; the lstat above still decides what the entry is.
        const auto now = EntryState::at(folderFd, name);
        const auto verdict = expected->compare(now ? *now : EntryState::of(itemInfo));
        if (verdict != FileIdentity::Verdict::same) {
            return refusal("move to trash", ESTALE,
                           verdict == FileIdentity::Verdict::changed ? kChangedSinceListingReason
                                                                     : kIdentityMismatchReason);
        }
    }

    auto target =
        trashfs::trashFor(m_env.dataHome / "Trash", realFolder, itemInfo.st_dev, m_seams.volumeTop);
    if (!target) {
        return target.error();
    }
    const std::string originalPath = target->top.empty()
                                         ? (realFolder / name).string()
                                         : trashfs::relativeTo(realFolder / name, target->top);
    const std::string info = "[Trash Info]\nPath=" + percentEncoded(originalPath) +
                             "\nDeletionDate=" + localDeletionDate() + "\n";

    for (int n = 1; n <= 100000; ++n) {
        const std::string candidate = candidateName(name, n);
        auto moved = tryName(*target, folderFd, name, candidate, itemInfo, info, shownPath);
        if (!moved) {
            return moved.error();
        }
        if (*moved) {
            return target->folder / "files" / candidate;
        }
    }
    return refusal("move to trash", EEXIST,
                   "Cannot move " + shownPath.string() + " to the Trash: no free name is left");
}

bool Trash::isNoLongerInTrash(const SystemError& restoreError) {
    return restoreError.detail == kNoLongerThereReason ||
           restoreError.detail == kNotTheTrashedItemReason;
}

FileIdentity trashedEntryIdentity(const std::filesystem::path& trashed,
                                  const FileIdentity& numbers) {
    FileIdentity identity{numbers.device, numbers.inode, std::nullopt, std::nullopt};
    struct stat info {};
    if (::lstat(trashed.c_str(), &info) == 0 && identity.matches(info)) {
        identity.modified = modificationTime(info);
        identity.listedAt = listingStart();
    }
    return identity;
}

Status Trash::restore(const std::filesystem::path& trashedItem,
                      const std::filesystem::path& originalPath,
                      std::optional<FileIdentity> expected) const {
    std::error_code ec;
    const std::filesystem::path trashed = paths::standardize(
        trashedItem.is_absolute() ? trashedItem : std::filesystem::absolute(trashedItem, ec));
    const std::filesystem::path original = paths::standardize(
        originalPath.is_absolute() ? originalPath : std::filesystem::absolute(originalPath, ec));
    const std::string name = paths::lastComponent(trashed);
    const std::string originalName = paths::lastComponent(original);
    if (name.empty() || originalName.empty() ||
        paths::lastComponent(trashed.parent_path()) != "files") {
        return refusal("restore", EINVAL, trashed.string() + " is not an item in a Trash folder");
    }
    const std::filesystem::path trashFolder = trashed.parent_path().parent_path();
    const Fd filesFd(::open(trashed.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!filesFd) {
        return SystemError::fromErrno("open " + trashed.parent_path().string());
    }
    struct stat entry {};
    if (Status found = examineTrashed(filesFd.get(), name, expected, entry); !found) {
        return found;
    }
    auto originalFolder = openFolderWithoutLinks(original.parent_path());
    if (!originalFolder) {
        return folderRefusal(originalFolder.error());
    }
    const int folderFd = originalFolder->get();
    // renameat2(2): RENAME_NOREPLACE, so whatever now stands at the original path is kept.
    if (::renameat2(filesFd.get(), name.c_str(), folderFd, originalName.c_str(),
                    RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) {
            return refusal("restore", EEXIST,
                           "An item named \"" + originalName + "\" already exists in " +
                               original.parent_path().string());
        }
        return SystemError::fromErrno("restore " + original.string());
    }
    // Swapped in the instant after the look: the stranger goes straight back. Only the numbers
    // are compared, since moving a folder may touch its times.
    struct stat moved {};
    if (::fstatat(folderFd, originalName.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0 ||
        !sameIdentity(moved, entry)) {
        (void)::renameat2(folderFd, originalName.c_str(), filesFd.get(), name.c_str(),
                          RENAME_NOREPLACE);
        return refusal("restore", ESTALE, kNotTheTrashedItemReason);
    }
    const std::filesystem::path info = trashFolder / "info" / (name + ".trashinfo");
    ::unlink(info.c_str());
    return Ok{};
}

std::int64_t Trash::itemCount() const {
    const std::filesystem::path files = homeTrashFolder() / "files";
    DIR* dir = ::opendir(files.c_str());
    if (dir == nullptr) {
        return 0;
    }
    std::int64_t count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (trashfs::isTrashedItemName(entry->d_name)) {
            ++count;
        }
    }
    ::closedir(dir);
    return count;
}

Status Trash::empty() const {
    Status first = Ok{};
    for (const auto& folder : trashfs::userTrashFolders(
             homeTrashFolder(),
             m_seams.mountPoints ? m_seams.mountPoints() : trashfs::mountPoints())) {
        Status emptied = trashfs::emptyTrashFolder(folder.path, folder.isHome);
        if (!emptied && first) {
            first = emptied;
        }
    }
    return first;
}

} // namespace fernwick
