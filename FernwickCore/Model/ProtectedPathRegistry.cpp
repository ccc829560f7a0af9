#include "FernwickCore/Model/ProtectedPathRegistry.h"

#include <algorithm>

namespace fernwick {

std::vector<std::string> ProtectedPathRegistry::defaultSystemPrefixes() {
    return {
        "/System",
        "/bin",
        "/sbin",
        "/usr/bin",
        "/usr/sbin",
        "/usr/libexec",
        "/private/var/db",
        "/private/var/root",
        "/private/etc",
        "/Library/Apple",
        "/Library/Frameworks",
        "/Library/Extensions",
        "/Library/Keychains",
        "/Library/Preferences/SystemConfiguration",
        "/Volumes/Macintosh HD",
        "/Volumes/Update",
        // This operating system's own locations. "/usr" itself is not one: /usr/local is the
        // administrator's.
        "/etc",
        "/boot",
        "/dev",
        "/proc",
        "/sys",
        "/run",
        "/root",
        "/lib",
        "/lib32",
        "/lib64",
        "/usr/lib",
        "/usr/lib32",
        "/usr/lib64",
        "/usr/share",
        "/usr/include",
        "/var/lib",
        "/var/log",
    };
}

std::vector<std::string> ProtectedPathRegistry::defaultUserSuffixes() {
    return {
        "/Library/Keychains",
        "/Library/IdentityServices",
        "/Library/Accounts",
        "/Library/AuthenticationServices",
        "/Library/Mail",
        "/Library/Messages",
        "/Library/Safari",
        "/Library/Cookies",
        "/Documents",
        "/Desktop",
        "/.ssh",
        "/.gnupg",
        "/.aws",
        "/.config/gh",
        "/.gitconfig",
        "/.local/share/keyrings",
        "/.local/share/kwalletd",
        "/.password-store",
        "/.pki",
        "/.mozilla",
        "/.thunderbird",
    };
}

ProtectedPathRegistry ProtectedPathRegistry::forEnvironment(const Environment& env) {
    ProtectedPathRegistry registry;
    const std::string home = env.home.native();
    for (const auto* folder : {&env.documentsFolder, &env.desktopFolder}) {
        const std::string& path = folder->native();
        // Strictly below the home: the home itself would refuse every path in it.
        if (home.empty() || path.size() <= home.size() + 1 || !path.starts_with(home) ||
            path[home.size()] != '/') {
            continue;
        }
        std::string suffix = path.substr(home.size());
        auto& list = registry.userProtectedSuffixes;
        if (std::find(list.begin(), list.end(), suffix) == list.end()) {
            list.push_back(std::move(suffix));
        }
    }
    return registry;
}

} // namespace fernwick
