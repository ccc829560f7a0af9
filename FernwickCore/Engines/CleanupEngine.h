#pragma once

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Platform/Clock.h"
#include "FernwickCore/Platform/Uuid.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

class Trash;

/// One item the smart cleanup proposes to move to the Trash. A value: the review screen changes
/// `isSelected` in its own copy.
struct CleanupCandidate {
    Uuid id;
    /// Display name built by the rule that found the item, e.g. "App Logs (system.log)".
    std::string name;
    std::filesystem::path url;
    /// The scanned logical size in bytes (not the allocated size).
    std::int64_t size = 0;
    StorageCategory category = StorageCategory::other;
    RiskLevel riskLevel = RiskLevel::low;
    /// What the item is.
    std::string purpose;
    /// Why it can go.
    std::string cleanupReason;
    bool isSelected = false;
    /// False in every planned candidate; the caller sets it after a run.
    bool isCleaned = false;
    /// The scanned inode number; 0 when the scan recorded none (no identity test at removal).
    std::uint64_t inode = 0;
    /// The scanned device number and modification time, compared with the inode at removal.
    std::uint64_t deviceID = 0;
    TimePoint modifiedDate;
    /// When the scan that recorded the node began; nullopt: unknown (no change or birth time
    /// is compared).
    std::optional<TimePoint> listedAt;

    /// What a removal must find: as DiskNode::identity() of the scanned node.
    FileIdentity identity() const {
        return FileIdentity::recorded(deviceID, inode, modifiedDate, listedAt);
    }

    /// `size` as byte-count text.
    std::string formattedSize() const;
};

/// The candidates of one smart cleanup, largest first, none nested inside another.
struct CleanupPlan {
    std::vector<CleanupCandidate> candidates;

    /// Sum of `size` over the selected candidates (saturating at INT64_MAX).
    std::int64_t totalSelectedSize() const;
    /// Number of selected candidates.
    std::int64_t totalSelectedCount() const;
    /// `totalSelectedSize()` as byte-count text.
    std::string formattedTotalSelectedSize() const;
};

/// One item of a cleanup run that succeeded: moved to the Trash, or approved by a dry run.
struct CleanupAuditEntry {
    Uuid id;
    std::filesystem::path originalURL;
    /// Where the item now lies in the Trash; nullopt on a dry run.
    std::optional<std::filesystem::path> trashURL;
    /// The candidate's planned size; nothing is measured again.
    std::int64_t reclaimedBytes = 0;
    /// Taken just after the move (or the dry-run approval).
    TimePoint timestamp;
    bool wasDryRun = false;
    /// "Successfully moved to Trash" or "Dry Run Verified (Passed Safety Check)".
    std::string status;
};

/// The outcome of one cleanup run.
struct CleanupExecutionResult {
    /// Candidates moved to the Trash, or approved on a dry run.
    std::int64_t successCount = 0;
    /// Candidates refused by the safety check or whose move failed.
    std::int64_t failedCount = 0;
    /// Sum of the planned sizes of the successful candidates.
    std::int64_t reclaimedBytes = 0;
    /// One entry per successful candidate, in processing order.
    std::vector<CleanupAuditEntry> auditEntries;
    /// One message per failed candidate, in processing order.
    std::vector<std::string> errorMessages;

    /// `reclaimedBytes` as byte-count text.
    std::string formattedReclaimedSize() const;
};

/// Plans smart cleanups of a scanned tree and carries them out through the deletion safety check
/// into the Trash, keeping an in-memory audit log of every item really moved.
///
/// Thread-safe: every member may be called from any thread (the interface calls them on a
/// worker). One mutex guards the audit log and is never held during file-system work, so
/// `getAuditHistory()` may run while a cleanup is in progress and sees the entries appended so
/// far. Nothing is ever deleted outright: an item whose move to the Trash fails stays in place.
class CleanupEngine {
public:
    /// Removals go through `safety`'s check-then-move into `trash`; `clock` stamps audit entries.
    /// The planner takes the XDG cache folder from `safety`'s environment.
    CleanupEngine(std::shared_ptr<SafetyEngine> safety, std::shared_ptr<Trash> trash,
                  std::shared_ptr<const Clock> clock);
    ~CleanupEngine();
    CleanupEngine(const CleanupEngine&) = delete;
    CleanupEngine& operator=(const CleanupEngine&) = delete;

    /// The process-wide engine over the shared safety engine, the user's Trash and the wall clock.
    static std::shared_ptr<CleanupEngine> shared();

    /// Builds a plan from the tree under `root` (root included): items that are inaccessible or
    /// protected are never proposed, nor a trash folder or anything inside one; an item inside
    /// another candidate is dropped in favour of the outer one; largest first, equal sizes shorter
    /// path first. Reads only the tree; a null root gives an empty plan. Changes no node.
    CleanupPlan generateSmartCleanupPlan(const DiskNodePtr& root) const;

    /// Runs the selected candidates of `plan`, in plan order, through the safety check and,
    /// unless `isDryRun`, into the Trash. Never throws: refusals and failed moves are counted and
    /// described in the result, and the remaining candidates are still processed. Only items
    /// really moved are appended to the audit log. Changes neither the plan nor any tree. A real
    /// run moves each candidate (with its scanned identity) through `mover` when one is given.
    CleanupExecutionResult executeCleanup(const CleanupPlan& plan, bool isDryRun,
                                          const CheckedTrashMover& mover = {});

    /// The audit log, newest first.
    std::vector<CleanupAuditEntry> getAuditHistory() const;

private:
    std::shared_ptr<SafetyEngine> m_safety;
    std::shared_ptr<Trash> m_trash;
    std::shared_ptr<const Clock> m_clock;

    mutable std::mutex m_mutex;
    std::vector<CleanupAuditEntry> m_auditHistory; // in the order appended
};

} // namespace fernwick
