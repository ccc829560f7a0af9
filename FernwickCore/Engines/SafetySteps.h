#pragma once

// The steps of the deletion safety check, which SafetyEngine runs in order: resolve the item and
// open its folder once, build the protected places as they are now, refuse a protected place or
// a folder above a mount point, then examine the item itself. Internal to the safety engine.

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/UniqueFd.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fernwick::safety {

/// The refusals of the root and of the home folder, which ForbiddenOperationRegistry gives too.
constexpr const char* kRootReason = "Root filesystem path cannot be modified";
constexpr const char* kHomeReason = "User home root cannot be modified";

/// A file URL's standardized path: a relative path is taken from the working folder, as a file
/// URL made from it would be; "." and ".." are removed without reading the file system.
std::filesystem::path standardizedURL(const std::filesystem::path& url);
/// Whether the volume holding `path` is mounted read-only; nullopt when statvfs(3) fails.
std::optional<bool> statvfsReadOnly(const std::filesystem::path& path);
/// The path with every symbolic link on it resolved (best effort: a missing rest is appended).
std::string resolved(const std::string& path);

/// One protected location and the forms it is compared in: first as written (or as the home
/// folder makes it), then in its other forms (the other home, its links resolved). `name` is the
/// text the reason quotes.
struct Location {
    std::string name;
    std::vector<std::string> forms;
};

/// The item a check is about, resolved once. Its folder is opened a single time and everything
/// after that (the item's own examination, the move) goes through that descriptor, so that a
/// folder swapped for a link in between cannot make the check approve one item and the move take
/// another.
struct Target {
    std::filesystem::path standardized; // step 1
    std::string resolved;               // step 2
    std::string name;                   // the last component; empty for "/"
    UniqueFd folder;                    // the item's folder, opened once (O_PATH)
    std::filesystem::path realFolder;   // where that folder really is
    std::string realPlace;              // realFolder followed by the name
    std::vector<std::string> forms;     // the resolved, the standardized and the real place
};

/// Steps 1 and 2, and the item's folder, opened once.
Target resolveTarget(const std::filesystem::path& url);

/// The three lists, each location with its forms. A location reached through a link (the home
/// folder at /var/home, a ~/Documents that links elsewhere, /bin -> /usr/bin) protects what it
/// really is as well as what it is called.
struct ProtectedPlaces {
    std::vector<Location> system;
    std::vector<Location> personal;
    std::vector<Location> user;
    Location home;
};

/// The protected places as they are now; `systemResolved` holds the registry's system locations
/// with their links resolved, in the registry's order.
ProtectedPlaces buildProtectedPlaces(const ProtectedPathRegistry& registry,
                                     const std::vector<std::string>& systemResolved,
                                     const Environment& env,
                                     const std::set<std::string>& userEntries);

/// Steps 3 to 6, then the refusals of a folder that holds a protected location or the home
/// folder: moving a folder carries everything below it. nullopt when none applies.
std::optional<SafetyValidationResult>
refuseProtectedPlace(const Target& target, const ProtectedPlaces& places, const Environment& env,
                     const std::function<bool(const std::string&)>& isUserProtected);

/// The trashes' own folders and everything inside them, in every form of the item's place (the
/// home trash in its written and its resolved form); nullopt when the item lies in no trash.
std::optional<SafetyValidationResult> refuseTrashPlace(const Target& target,
                                                       const Environment& env);
/// SafetyEngine::refusesAsProtected.
bool refusesAsProtected(const SafetyValidationResult& result);
/// A folder with a file system mounted at or below it (/proc/self/mountinfo); nullopt when none.
std::optional<SafetyValidationResult> refuseMountBelow(const Target& target);

/// Steps 7 to 10, on the entry inside the folder the target holds open: the identity approved is
/// the identity of the entry the move will take.
SafetyValidationResult examineItem(const Target& target, const std::vector<Location>& system,
                                   const std::optional<FileIdentity>& recorded,
                                   const SafetyEngine::ReadLink& readLinkSeam,
                                   const SafetyEngine::ReadOnlyVolumeProbe& readOnlyProbe,
                                   const Environment& env);

} // namespace fernwick::safety
