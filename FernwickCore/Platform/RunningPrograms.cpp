#include "FernwickCore/Platform/RunningPrograms.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <dirent.h>
#include <fstream>
#include <limits.h>
#include <string>
#include <unistd.h>

namespace fernwick {

RunningPrograms::RunningPrograms(std::filesystem::path procRoot)
    : m_procRoot(std::move(procRoot)) {}

namespace {

// The numeric entries of the process folder: one per process.
std::vector<std::string> processNames(const std::filesystem::path& procRoot) {
    std::vector<std::string> names;
    DIR* stream = ::opendir(procRoot.c_str());
    if (stream == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(stream)) {
        std::string name = entry->d_name;
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
            names.push_back(std::move(name));
        }
    }
    ::closedir(stream);
    return names;
}

} // namespace

std::vector<std::filesystem::path> RunningPrograms::appImages() const {
    std::vector<std::filesystem::path> found;
    constexpr std::string_view kKey = "APPIMAGE=";
    for (const std::string& name : processNames(m_procRoot)) {
        // proc(5): environ is the NUL-separated initial environment of the process.
        std::ifstream file(m_procRoot / name / "environ", std::ios::binary);
        std::string entry;
        while (std::getline(file, entry, '\0')) {
            if (entry.size() > kKey.size() && entry.starts_with(kKey)) {
                found.emplace_back(entry.substr(kKey.size()));
                break;
            }
        }
    }
    return found;
}

std::vector<std::filesystem::path> RunningPrograms::executables() const {
    std::vector<std::filesystem::path> found;
    for (const std::string& name : processNames(m_procRoot)) {
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
