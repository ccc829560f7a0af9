#include "FernwickCore/Platform/AtomicFile.h"

#include "FernwickCore/Platform/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fernwick {
namespace {

constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr std::size_t kRandomLength = 6;
constexpr std::string_view kRandomAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// ".<name>.tmp-" when the whole temporary name fits in NAME_MAX, else a short ".tmp-", so that
// a legal name (up to 255 bytes) never becomes an illegal one on its way in.
std::string temporaryPrefix(const std::filesystem::path& file) {
    std::string prefix = "." + file.filename().native() + std::string(kTemporaryInfix);
    return prefix.size() + kRandomLength <= NAME_MAX ? prefix : std::string(kTemporaryInfix);
}

std::string randomSuffix() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kRandomAlphabet.size() - 1);
    std::string out(kRandomLength, 'X');
    for (char& c : out) {
        c = kRandomAlphabet[pick(generator)];
    }
    return out;
}

// Writes the contents in full and makes them durable.
Status fill(int fd, std::string_view contents, const std::filesystem::path& file) {
    ::fchmod(fd, 0644);
    if (!writeAll(fd, contents) || ::fsync(fd) != 0) {
        return SystemError::fromErrno("write " + file.string());
    }
    return Ok{};
}

// Gives the unnamed file a temporary name in `folder`: linkat(2) through /proc, which needs no
// capability (AT_EMPTY_PATH would). An unlikely taken name is retried with another.
Result<std::string> nameUnnamedFile(int fd, const std::filesystem::path& folder,
                                    const std::filesystem::path& file) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = (folder / (temporaryPrefix(file) + randomSuffix())).native();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            return SystemError::fromErrno("link " + file.string());
        }
    }
    return SystemError{"link " + file.string(), EEXIST};
}

// The contents under a temporary name beside `file`, written and synced.
Result<std::string> writeTemporary(const std::filesystem::path& folder,
                                   const std::filesystem::path& file, std::string_view contents) {
    const UniqueFd unnamed(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
    if (unnamed) {
        if (Status written = fill(unnamed.get(), contents, file); !written) {
            return written.error();
        }
        return nameUnnamedFile(unnamed.get(), folder, file);
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return SystemError::fromErrno("create " + file.string());
    }
    // open(2): a file system without O_TMPFILE support; a named file is the best there is.
    std::string pattern = (folder / (temporaryPrefix(file) + "XXXXXX")).native();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const UniqueFd named(::mkostemp(name.data(), O_CLOEXEC));
    if (!named) {
        return SystemError::fromErrno("mkstemp");
    }
    if (Status written = fill(named.get(), contents, file); !written) {
        ::unlink(name.data());
        return written.error();
    }
    return std::string(name.data());
}

} // namespace

Status writeFileAtomically(const std::filesystem::path& file, std::string_view contents) {
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return SystemError{"mkdir " + folder.string(), ec.value()};
    }
    auto temporary = writeTemporary(folder, file, contents);
    if (!temporary) {
        return temporary.error();
    }
    if (::rename(temporary->c_str(), file.c_str()) != 0) {
        const SystemError error = SystemError::fromErrno("rename " + file.string());
        ::unlink(temporary->c_str());
        return error;
    }
    // fsync(2) on the folder makes the rename itself durable.
    const UniqueFd dirFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd) {
        ::fsync(dirFd.get());
    }
    return Ok{};
}

void removeStaleTemporaryFiles(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    const std::string prefix = temporaryPrefix(file);
    if (prefix == kTemporaryInfix) {
        return; // the short prefix names nobody's file in particular: nothing is ours for sure
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + kRandomLength || !name.starts_with(prefix) ||
            name.find_first_not_of(kRandomAlphabet, prefix.size()) != std::string_view::npos) {
            continue;
        }
        struct stat info {};
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlinkat(fd, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

Result<std::string> readWholeFile(const std::filesystem::path& file, std::size_t maxBytes) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        return SystemError::fromErrno("open " + file.string());
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return SystemError::fromErrno("read " + file.string());
    }
    if (!S_ISREG(info.st_mode)) {
        return SystemError{"read " + file.string(), EINVAL};
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        return SystemError{"read " + file.string(), EFBIG};
    }
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemError::fromErrno("read " + file.string());
        }
        if (got == 0) {
            break;
        }
        // A file that grows while it is read is held to the same limit.
        if (static_cast<std::size_t>(got) > maxBytes - out.size()) {
            return SystemError{"read " + file.string(), EFBIG};
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

} // namespace fernwick
