#pragma once

#include "FernwickCore/Model/ProtectedPathRegistry.h"
#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickCore/Platform/Trash.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fernwick {

/// The answer of the deletion safety check. A refusal carries no path and zero identity.
struct SafetyValidationResult {
    bool isSafe = false;
    std::string reason;
    RiskLevel riskLevel = RiskLevel::high;
    /// On approval: the target's path with every symbolic link resolved.
    std::optional<std::filesystem::path> canonicalPath;
    /// On approval: the item's own inode and device numbers and its modification time (lstat,
    /// links not followed).
    std::uint64_t inode = 0;
    std::uint64_t deviceID = 0;
    std::optional<TimePoint> modified;

    /// On approval: the identity of the entry examined, which a move must find.
    FileIdentity identity() const { return {deviceID, inode, modified, std::nullopt}; }

    static SafetyValidationResult approved(std::filesystem::path canonicalPath,
                                           const FileIdentity& identity);
    static SafetyValidationResult rejected(std::string reason, RiskLevel risk);
};

/// Refuses operations on the root of the file system and on the home folder itself.
struct ForbiddenOperationRegistry {
    struct Verdict {
        bool forbidden = false;
        std::optional<std::string> reason;
    };
    /// Standardizes `path` ("~" expanded, "." and ".." removed) and compares it with "/" and with
    /// the home folder in both its standardized and its symlink-resolved form.
    static Verdict isForbidden(const std::string& path,
                               const Environment& env = Environment::current());
};

/// The outcome of `SafetyEngine::moveToTrashChecked`: the check's answer and, when it approved,
/// either the item's new place in the Trash or the reason the move failed.
struct CheckedTrashMove {
    /// The safety check's answer. When `isSafe` is false nothing was attempted.
    SafetyValidationResult validation;
    /// Where the item now lies inside the Trash; set only when the move succeeded.
    std::optional<std::filesystem::path> trashedURL;
    /// Where it lay before: the real place of its folder (read back from the folder's
    /// descriptor, every link resolved) and its name. Set with `trashedURL`.
    std::filesystem::path movedFrom;
    /// The move's failure as the user reads it; empty unless an approved move failed.
    std::string failure;

    bool refused() const { return !validation.isSafe; }
    bool moved() const { return trashedURL.has_value(); }
};

/// One checked move to the Trash as an engine that removes things asks for it: `name` is how the
/// item is shown, `recorded` the identity recorded when it was found (nullopt: none; its
/// unknown parts are not compared).
/// The engines take one so that whoever runs them sees, and may refuse, every move; unset means
/// `SafetyEngine::moveToTrashChecked` with the engine's own Trash.
using CheckedTrashMover =
    std::function<CheckedTrashMove(const std::string& name, const std::filesystem::path& url,
                                   std::optional<FileIdentity> recorded)>;

/// Protected locations, the user's protected list and the deletion safety check.
///
/// Thread-safety: every member may be called from any thread. One mutex guards the user's list;
/// the check copies the list and does its file-system work outside the lock. The user's list is
/// read from the preferences once, at construction, and written through on every change.
class SafetyEngine {
public:
    /// Seam for the read-only test: true when the volume holding `path` is mounted read-only,
    /// false when writable, nullopt when that cannot be told (statfs failed).
    using ReadOnlyVolumeProbe = std::function<std::optional<bool>(const std::filesystem::path&)>;

    /// Stable: the preferences key of the user's list (an array of strings).
    static constexpr const char* kUserProtectedPathsKey = "Fernwick_UserProtectedPaths";
    static constexpr const char* kApprovedReason = "Passed 10-step deletion safety pipeline";
    /// The refusal of an item that is not (or no longer) where it was found.
    static constexpr const char* kMissingReason =
        "Target no longer exists or is inaccessible (may have been moved or removed)";
    /// The refusals of the trashes' own folders and of what lies inside them: moving them would
    /// separate trashed items from their info files, and the original places would be lost.
    static constexpr const char* kInTrashReason = "Item is already in the Trash";
    /// The refusal of a file that is the one listed but was written to since (its change time
    /// is later than the listing's start); one that is another item is refused as replaced.
    static constexpr const char* kChangedReason = Trash::kChangedSinceListingReason;
    /// The refusal of a protected place in the home folder, followed by the place as the
    /// registry writes it (from the home folder, with its leading "/").
    static constexpr const char* kPersonalReason = "Protected sensitive user location: ";
    static constexpr const char* kTrashFolderReason = "Path is one of the Trash's own folders";

    /// Whether `result` refuses because of where the item lies (a protected location, the
    /// user's list, the root, the home folder, a mount, a link to the system) rather than
    /// because of its state (gone, changed since the scan, in the Trash, unreadable link,
    /// read-only volume).
    static bool refusesAsProtected(const SafetyValidationResult& result);

    /// Seam for tests: the stored text of the symbolic link at `path` (readlink(2)).
    using ReadLink = std::function<Result<std::string>(const std::filesystem::path&)>;

    /// Empty seams mean the real calls (statvfs(3); readlinkat(2) on the entry examined).
    SafetyEngine(Environment env, std::shared_ptr<PreferencesStore> preferences,
                 ReadOnlyVolumeProbe readOnlyProbe = {}, ReadLink readLink = {});
    /// The engine of the real user (real home, real preferences).
    static std::shared_ptr<SafetyEngine> shared();

    /// Adds the standardized path ("~" expanded) and rewrites the stored list (on every call).
    /// A path that is not absolute once "~" is expanded names no place the user chose: it is
    /// refused (EINVAL) and nothing changes. Returns nullopt, or why the entry was refused or
    /// could not be written; an entry that could not be written holds for this run only.
    std::optional<SystemError> addProtectedPath(const std::string& path);
    /// Removes `path` exactly as given when the list holds it, else its standardized form ("~"
    /// expanded); rewrites the stored list on every call. Returns why the write failed, if it
    /// did (the removal holds for this run only).
    std::optional<SystemError> removeProtectedPath(const std::string& path);
    /// The user's list in ascending byte order.
    std::vector<std::string> getProtectedPaths() const;
    /// The system locations in registry order and the user's list; for the scanner.
    ProtectedPrefixesSnapshot getProtectedPrefixesSnapshot() const;
    /// Whether `url` (standardized, not resolved) lies at or under a user entry, a system
    /// location or a personal location under either form of the home folder. Textual only.
    bool isProtected(const std::filesystem::path& url) const;

    /// The ten-step deletion safety check, plus the refusals of ancestors of protected locations,
    /// of the home folder and of a target at or above a mount point (/proc/self/mountinfo).
    /// The item must still be what `recorded` says (FileIdentity's rule: a folder the same
    /// container, a file the same contents); nullopt means no identity test. Never changes
    /// anything.
    SafetyValidationResult
    validateTargetForDeletion(const std::filesystem::path& url,
                              std::optional<FileIdentity> recorded = {}) const;

    /// The one way every remover moves an item to the Trash: runs the check and, on approval,
    /// moves the entry the check examined, through the descriptor of its folder that the check
    /// opened (the path is resolved once), with the approved identity. An item or a folder
    /// swapped in between is refused rather than moved, with or without `recorded`.
    CheckedTrashMove moveToTrashChecked(const std::filesystem::path& url,
                                        std::optional<FileIdentity> recorded,
                                        const Trash& trash) const;

    const ProtectedPathRegistry& registry() const { return m_registry; }
    const Environment& environment() const { return m_env; }

private:
    struct Checked;
    Checked check(const std::filesystem::path& url, std::optional<FileIdentity> recorded) const;
    std::optional<SystemError> changeUserList(const std::string& path, bool add);
    std::optional<SystemError> persist(const std::set<std::string>& paths) const;
    std::set<std::string> userPaths() const;

    Environment m_env;
    std::shared_ptr<PreferencesStore> m_preferences;
    ReadOnlyVolumeProbe m_readOnlyProbe;
    ReadLink m_readLink;
    const ProtectedPathRegistry m_registry;
    std::vector<std::string> m_systemResolved; // the system locations, links resolved, in order
    mutable std::mutex m_mutex;                // guards m_userProtectedPaths
    // Held across a change and its write, so that the stored list never lags behind memory.
    std::mutex m_writeMutex;
    std::set<std::string> m_userProtectedPaths;
};

} // namespace fernwick
