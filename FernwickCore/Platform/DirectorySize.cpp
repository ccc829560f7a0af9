#include "FernwickCore/Platform/DirectorySize.h"

#include "FernwickCore/Platform/DirectoryReader.h"
#include "FernwickCore/Platform/FileIdentity.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fernwick {
namespace {

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// One open folder of the walk. The stream stays open while its subfolders are walked, so the
// depth of the walk is bounded by the descriptor limit: a subfolder that cannot be opened
// (EMFILE included) is passed over like an unreadable one.
class OpenFolder {
public:
    explicit OpenFolder(DIR* stream) : m_stream(stream) {}
    OpenFolder(OpenFolder&& other) noexcept : m_stream(other.m_stream) { other.m_stream = nullptr; }
    OpenFolder& operator=(OpenFolder&&) = delete;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder() {
        if (m_stream != nullptr) {
            ::closedir(m_stream);
        }
    }
    DIR* stream() const { return m_stream; }
    int fd() const { return ::dirfd(m_stream); }

private:
    DIR* m_stream;
};

DIR* openStream(int fd) {
    if (fd < 0) {
        return nullptr;
    }
    DIR* stream = ::fdopendir(fd);
    if (stream == nullptr) {
        ::close(fd);
    }
    return stream;
}

} // namespace

DirectorySize measureDirectory(const std::filesystem::path& folder, bool skipHidden) {
    return measureOpenDirectory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                                skipHidden);
}

DirectorySize measureOpenDirectory(int folder, bool skipHidden) {
    DirectorySize result;
    DIR* root = openStream(folder);
    if (root == nullptr) {
        return result;
    }
    result.opened = true;
    std::vector<OpenFolder> stack;
    stack.emplace_back(root);
    while (!stack.empty()) {
        DIR* stream = stack.back().stream();
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (entry == nullptr) {
            stack.pop_back(); // finished, or a read error: the rest of this folder is skipped
            continue;
        }
        const char* name = entry->d_name;
        if (isDotOrDotDot(name) || (skipHidden && name[0] == '.')) {
            continue;
        }
        struct stat info {};
        const int parent = stack.back().fd();
        if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        const TimePoint modified = modificationTime(info);
        if (!result.newestModification || modified > *result.newestModification) {
            result.newestModification = modified;
        }
        if (!S_ISDIR(info.st_mode)) {
            result.allocatedBytes += static_cast<std::int64_t>(info.st_blocks) * 512;
            continue;
        }
        // O_NOFOLLOW: an entry swapped for a link after the stat is not entered.
        const int child = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (DIR* childStream = openStream(child)) {
            stack.emplace_back(childStream);
        }
    }
    return result;
}

std::optional<std::vector<std::string>> listFolderNames(const std::filesystem::path& folder,
                                                        bool skipHidden) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    DirectoryReader reader;
    const int failure = reader.read(fd, skipHidden);
    ::close(fd);
    if (failure != 0) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    names.reserve(reader.entries().size());
    for (const auto& entry : reader.entries()) {
        names.emplace_back(entry.name);
    }
    return names;
}

} // namespace fernwick
