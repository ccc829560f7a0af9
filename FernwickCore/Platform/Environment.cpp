#include "FernwickCore/Platform/Environment.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
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

} // namespace

Environment Environment::forHome(const std::filesystem::path& home) {
    Environment env;
    env.home = paths::standardize(home);
    env.homeResolved = paths::resolveSymlinks(env.home);
    env.dataHome = env.home / ".local" / "share";
    env.configHome = env.home / ".config";
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
    return env;
}

const Environment& Environment::current() {
    static const Environment env = fromProcess();
    return env;
}

} // namespace fernwick
