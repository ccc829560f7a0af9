#include "FernwickCore/Platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fernwick {
namespace {

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

} // namespace

Status writeFileAtomically(const std::filesystem::path& file, std::string_view contents) {
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return SystemError{"mkdir " + folder.string(), ec.value()};
    }
    std::string pattern = (folder / ("." + file.filename().native() + ".tmp-XXXXXX")).native();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return SystemError::fromErrno("mkstemp");
    }
    ::fchmod(fd, 0644);
    if (!writeAll(fd, contents) || ::fsync(fd) != 0) {
        const SystemError error = SystemError::fromErrno("write " + file.string());
        ::close(fd);
        ::unlink(name.data());
        return error;
    }
    if (::close(fd) != 0) {
        const SystemError error = SystemError::fromErrno("close");
        ::unlink(name.data());
        return error;
    }
    if (::rename(name.data(), file.c_str()) != 0) {
        const SystemError error = SystemError::fromErrno("rename " + file.string());
        ::unlink(name.data());
        return error;
    }
    // fsync(2) on the folder makes the rename itself durable.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return Ok{};
}

Result<std::string> readWholeFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return SystemError::fromErrno("open " + file.string());
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int code = errno == 0 ? EINVAL : errno;
        ::close(fd);
        return SystemError{"read " + file.string(), S_ISREG(info.st_mode) ? code : EINVAL};
    }
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const SystemError error = SystemError::fromErrno("read " + file.string());
            ::close(fd);
            return error;
        }
        if (got == 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return out;
}

} // namespace fernwick
