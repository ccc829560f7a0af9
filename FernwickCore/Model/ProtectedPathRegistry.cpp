#include "FernwickCore/Model/ProtectedPathRegistry.h"

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
    };
}

} // namespace fernwick
