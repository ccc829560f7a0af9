#pragma once

#include <string>
#include <vector>

namespace fernwick {

/// The built-in locations that are never removed. The order matters: the first match names the
/// location in the safety check's messages.
struct ProtectedPathRegistry {
    /// Absolute system locations: the original platform's sixteen, then this platform's own.
    std::vector<std::string> systemProtectedPrefixes = defaultSystemPrefixes();
    /// Personal locations, each appended as it stands to the home folder's path.
    std::vector<std::string> userProtectedSuffixes = defaultUserSuffixes();

    static std::vector<std::string> defaultSystemPrefixes();
    static std::vector<std::string> defaultUserSuffixes();
};

/// What the scanner needs to mark protected nodes: the system locations in their fixed order and
/// the user's protected paths (in no particular order). Taken once per scan.
struct ProtectedPrefixesSnapshot {
    std::vector<std::string> system;
    std::vector<std::string> user;
};

} // namespace fernwick
