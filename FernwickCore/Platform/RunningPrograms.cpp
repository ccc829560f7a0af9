#include "FernwickCore/Platform/RunningPrograms.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <dirent.h>
#include <limits.h>
#include <string>
#include <unistd.h>

namespace fernwick {

RunningPrograms::RunningPrograms(std::filesystem::path procRoot)
    : m_procRoot(std::move(procRoot)) {}

std::vector<std::filesystem::path> RunningPrograms::executables() const {
    std::vector<std::filesystem::path> found;
    DIR* stream = ::opendir(m_procRoot.c_str());
    if (stream == nullptr) {
        return found;
    }
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string link = (m_procRoot / name / "exe").string();
        char target[PATH_MAX];
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
            continue; // kernel threads have no executable; others' processes are unreadable
        }
        std::string text(target, static_cast<std::size_t>(length));
        // proc(5): an executable removed while it runs is named with this suffix.
        constexpr std::string_view kDeleted = " (deleted)";
        if (text.size() > kDeleted.size() &&
            text.compare(text.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
            text.resize(text.size() - kDeleted.size());
        }
        found.emplace_back(std::move(text));
    }
    ::closedir(stream);
    return found;
}

bool RunningPrograms::anyAtOrUnder(const std::vector<std::filesystem::path>& executables,
                                   const std::filesystem::path& location) {
    if (executables.empty()) {
        return false;
    }
    const std::string resolved = paths::resolveSymlinks(location).string();
    for (const auto& executable : executables) {
        if (paths::isAtOrUnder(executable.string(), resolved)) {
            return true;
        }
    }
    return false;
}

} // namespace fernwick
