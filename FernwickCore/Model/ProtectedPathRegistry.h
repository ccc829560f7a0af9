#pragma once

#include "FernwickCore/Platform/Environment.h"

#include <string>
#include <vector>

namespace fernwick {

/// The built-in locations that are never removed. The order matters: the first match names the
/// location in the safety check's messages.
struct ProtectedPathRegistry {
    /// Absolute system locations: the original platform's sixteen, then this platform's own.
    std::vector<std::string> systemProtectedPrefixes = defaultSystemPrefixes();
    /// Personal locations, each appended as it stands to the home folder's path: the original
    /// platform's fifteen, then this platform's keyrings, password stores, certificates and
    /// mail and browser profiles.
    std::vector<std::string> userProtectedSuffixes = defaultUserSuffixes();

    static std::vector<std::string> defaultSystemPrefixes();
    static std::vector<std::string> defaultUserSuffixes();

    /// The built-in lists plus the user's own Documents and Desktop folders when user-dirs.dirs
    /// names them elsewhere than home/Documents and home/Desktop (often a localised name), each
    /// as a suffix of the home ("/Dokumente"). A folder equal to the home (how a folder is
    /// disabled there) or outside it adds nothing.
    static ProtectedPathRegistry forEnvironment(const Environment& env);
};

/// What the scanner needs to mark protected nodes: the system locations in their fixed order and
/// the user's protected paths (in no particular order). Taken once per scan.
struct ProtectedPrefixesSnapshot {
    std::vector<std::string> system;
    std::vector<std::string> user;
};

} // namespace fernwick
