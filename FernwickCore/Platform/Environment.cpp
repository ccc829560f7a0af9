#include "FernwickCore/Platform/Environment.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fernwick {
namespace {

std::filesystem::path absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    return paths::standardize(value);
}

std::filesystem::path passwordHome() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        return paths::standardize(found->pw_dir);
    }
    return "/";
}

// user-dirs.dirs(5): XDG_<NAME>_DIR="$HOME/<path>" or "/<absolute path>", shell-quoted.
std::filesystem::path userFolderValue(std::string_view value, const std::filesystem::path& home) {
    std::string text;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i; // sh(1): inside double quotes a backslash escapes the next character
            }
            text += value[i];
        }
    } else {
        text = value;
    }
    if (text == "$HOME" || text.starts_with("$HOME/")) {
        return paths::standardize(home.native() + "/" + text.substr(5));
    }
    return text.starts_with('/') ? paths::standardize(text) : std::filesystem::path();
}

} // namespace

void Environment::readUserFolders() {
    documentsFolder.clear();
    desktopFolder.clear();
    std::ifstream file(configHome / "user-dirs.dirs");
    std::string line;
    while (std::getline(file, line)) {
        while (!line.empty() &&
               (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
            line.pop_back();
        }
        const std::size_t equals = line.find('=');
        if (line.starts_with('#') || equals == std::string::npos) {
            continue;
        }
        const std::string_view key = std::string_view(line).substr(0, equals);
        const std::string_view value = std::string_view(line).substr(equals + 1);
        if (key == "XDG_DOCUMENTS_DIR") {
            documentsFolder = userFolderValue(value, home);
        } else if (key == "XDG_DESKTOP_DIR") {
            desktopFolder = userFolderValue(value, home);
        }
    }
}

Environment Environment::forHome(const std::filesystem::path& home) {
    Environment env;
    env.home = paths::standardize(home);
    env.homeResolved = paths::resolveSymlinks(env.home);
    env.dataHome = env.home / ".local" / "share";
    env.configHome = env.home / ".config";
    env.cacheHome = env.home / ".cache";
    env.readUserFolders();
    return env;
}

Environment Environment::fromProcess() {
    std::filesystem::path home = absoluteVariable("HOME");
    Environment env = forHome(home.empty() ? passwordHome() : home);
    if (auto data = absoluteVariable("XDG_DATA_HOME"); !data.empty()) {
        env.dataHome = data;
    }
    if (auto config = absoluteVariable("XDG_CONFIG_HOME"); !config.empty()) {
        env.configHome = config;
    }
    if (auto cache = absoluteVariable("XDG_CACHE_HOME"); !cache.empty()) {
        env.cacheHome = cache;
    }
    env.runtimeFolder = absoluteVariable("XDG_RUNTIME_DIR");
    env.readUserFolders();
    return env;
}

const Environment& Environment::current() {
    static const Environment env = fromProcess();
    return env;
}

} // namespace fernwick
