#include "tests/Support/TempTree.h"

#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fernwick::test {
namespace {

void removeTree(const std::filesystem::path& root) {
    // Make everything writable and listable first, so that tests that restrict modes clean up.
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(
             root, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    ::chmod(root.c_str(), 0700);
    std::filesystem::remove_all(root, ec);
}

constexpr const char* kVariables[4] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
                                       "XDG_CACHE_HOME"};

} // namespace

TempTree::TempTree() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && base[0] == '/' ? base : "/tmp") + "/fernwick-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_root = name.data();
}

TempTree::~TempTree() {
    removeTree(m_root);
}

std::filesystem::path TempTree::folder(std::string_view relative) const {
    const auto path = m_root / std::string(relative);
    std::filesystem::create_directories(path);
    return path;
}

std::filesystem::path TempTree::file(std::string_view relative, std::string_view contents,
                                     std::int64_t logicalSize) const {
    const auto path = m_root / std::string(relative);
    std::filesystem::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path.string());
    }
    if (!contents.empty() &&
        ::write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size())) {
        ::close(fd);
        throw std::runtime_error("cannot write " + path.string());
    }
    if (logicalSize >= 0 && ::ftruncate(fd, logicalSize) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot size " + path.string());
    }
    ::close(fd);
    return path;
}

std::filesystem::path TempTree::denseFile(std::string_view relative, std::int64_t size,
                                          char fill) const {
    return file(relative, std::string(static_cast<std::size_t>(size), fill));
}

std::filesystem::path TempTree::symlink(std::string_view relative,
                                        const std::filesystem::path& target) const {
    const auto path = m_root / std::string(relative);
    std::filesystem::create_directories(path.parent_path());
    if (::symlink(target.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot link " + path.string());
    }
    return path;
}

void TempTree::setModificationTime(const std::filesystem::path& path,
                                   std::int64_t secondsSinceEpoch) {
    timespec times[2];
    times[0].tv_sec = secondsSinceEpoch;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        throw std::runtime_error("cannot set time of " + path.string());
    }
}

ScopedHome::ScopedHome(const std::filesystem::path& home) {
    for (int i = 0; i < 4; ++i) {
        if (const char* value = std::getenv(kVariables[i])) {
            m_had[i] = true;
            m_saved[i] = value;
        }
    }
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
}

ScopedHome::~ScopedHome() {
    for (int i = 0; i < 4; ++i) {
        if (m_had[i]) {
            ::setenv(kVariables[i], m_saved[i].c_str(), 1);
        } else {
            ::unsetenv(kVariables[i]);
        }
    }
}

} // namespace fernwick::test
