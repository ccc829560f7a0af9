#pragma once

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickUI/State/UserAlert.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {
struct DuplicateCluster;
}

namespace fernwick::ui {

/// One item an operation asked to move to the Trash, and what became of it.
struct TrashMoveOutcome {
    /// How the item is shown ("<name>: <reason>" in a report).
    std::string name;
    std::filesystem::path url;
    /// The safety check's answer and the move's result. An item refused before the check (a
    /// duplicate whose group changed) carries that reason as the check's.
    CheckedTrashMove move;
};

/// The worker half of the one way things go to the Trash. Every move of one operation passes
/// here: the deletion safety check with the identity recorded when the item was found (a
/// changed item is refused), then the move; what became of each item is kept for the
/// operation's follow-ups on the GUI thread (AppState::finishTrashMoves). One object per
/// operation, used on one worker thread; `mover()` hands it to an engine that moves things
/// itself.
class TrashMoves {
public:
    /// With no safety engine or no Trash every move fails with "No Trash is available.".
    TrashMoves(std::shared_ptr<const SafetyEngine> safety, std::shared_ptr<const Trash> trash);

    /// Checks and moves the item at `url`, which must still have every known part of
    /// `recorded` (nullopt: nothing was recorded).
    CheckedTrashMove move(const std::string& name, const std::filesystem::path& url,
                          std::optional<FileIdentity> recorded);
    /// Records the item as refused for `reason` without trying it.
    void refuse(const std::string& name, const std::filesystem::path& url, std::string reason);
    /// move() as the engines take it. Valid while this object lives.
    CheckedTrashMover mover();
    /// Moves the ticked copies of each group, but only while the copy that stays (its original,
    /// unless that is ticked itself) and every ticked copy are still the regular files the
    /// search recorded of the group's size, unchanged since the search began (FileIdentity's
    /// rule, against the cluster's `listedAt`; a time set back does not hide a rewrite): otherwise
    /// no ticked copy of that group is moved (a ticked copy that is gone is refused alone). Each
    /// copy goes with its recorded identity.
    void moveDuplicateCopies(const std::vector<DuplicateCluster>& clusters);

    const std::vector<TrashMoveOutcome>& outcomes() const { return m_outcomes; }
    std::vector<TrashMoveOutcome> take() { return std::move(m_outcomes); }

private:
    std::shared_ptr<const SafetyEngine> m_safety;
    std::shared_ptr<const Trash> m_trash;
    std::vector<TrashMoveOutcome> m_outcomes;
};

/// What one operation hands to AppState::finishTrashMoves on the GUI thread.
struct TrashMoveReport {
    /// Every item the operation tried, in order.
    std::vector<TrashMoveOutcome> outcomes;
    /// Items that left their place by the operation although not through `outcomes` (a cleanup
    /// judges by what is gone).
    std::vector<std::filesystem::path> alsoGone;
    /// The one alert of the operation, raised last; none when everything moved.
    std::optional<UserAlert> alert;
    /// The operation has brought the tree in line itself (a single move with its undo record).
    bool treeApplied = false;
    /// Whether the plan and the large files follow a change of the tree.
    bool derive = true;
    /// A new plan with its own ticks, made also when the tree did not change (a cleanup run);
    /// otherwise the ticks of items still offered stay.
    bool freshPlan = false;
};

/// "<name>: <reason>" for each item of `outcomes` that was refused or whose move failed, in order.
std::vector<std::string> refusalLines(const std::vector<TrashMoveOutcome>& outcomes);

/// UserAlert::listing of `title` and the refusal lines; none when there are no lines.
std::optional<UserAlert> refusalAlert(const std::string& title,
                                      const std::vector<std::string>& lines);

} // namespace fernwick::ui
