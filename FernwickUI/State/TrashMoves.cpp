#include "FernwickUI/State/TrashMoves.h"

#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/PathUtils.h"

#include <algorithm>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

namespace fernwick::ui {

namespace {

constexpr const char* kNoTrash = "No Trash is available.";
constexpr const char* kGroupChanged =
    "Not moved: the copy that stays changed since the search (%s)";
constexpr const char* kNoCopyStays = "Not moved: no copy of this file would stay";
constexpr const char* kCopyChanged = "Not moved: a copy in its group changed since the search (%s)";

// Why the entry at `item.url` (a final link not followed) is no longer the file the search
// found: gone, another item, or the regular file found but written to since the search began
// (`listedAt`) or no longer of the group's `size`.
std::optional<std::string> changeSinceSearch(const DuplicateFileItem& item, std::int64_t size,
                                             std::optional<TimePoint> listedAt) {
    struct stat info {};
    if (::lstat(item.url.c_str(), &info) != 0) {
        return SafetyEngine::kMissingReason;
    }
    const auto now = EntryState::at(AT_FDCWD, item.url.native());
    const auto verdict =
        item.identity().listedSince(listedAt).compare(now ? *now : EntryState::of(info));
    if (!S_ISREG(info.st_mode) || verdict == FileIdentity::Verdict::replaced) {
        return Trash::kIdentityMismatchReason;
    }
    if (verdict == FileIdentity::Verdict::changed ||
        static_cast<std::int64_t>(info.st_size) != size) {
        return SafetyEngine::kChangedReason;
    }
    return std::nullopt;
}

// The copy of a group that must still be there for its ticked copies to go: the original when
// it stays, else the first copy that stays; null when every copy is ticked.
const DuplicateFileItem* keeper(const DuplicateCluster& cluster) {
    const auto stays = [](const DuplicateFileItem& item) { return !item.isSelectedForCleanup; };
    const auto original = std::find_if(cluster.items.begin(), cluster.items.end(),
                                       [&](const auto& item) { return item.isOriginal; });
    if (original != cluster.items.end() && stays(*original)) {
        return &*original;
    }
    const auto first = std::find_if(cluster.items.begin(), cluster.items.end(), stays);
    return first != cluster.items.end() ? &*first : nullptr;
}

std::string changedReason(const char* form, const DuplicateFileItem& changed) {
    std::string reason = form;
    reason.replace(reason.find("%s"), 2, changed.url.native());
    return reason;
}

// Why no ticked copy of `cluster` may go, if any: no copy would stay, the copy that stays
// changed, or a ticked copy changed since the search (one changed copy holds back the whole
// group; a copy that is gone holds back only itself: nothing of it can be lost). `changes` gets
// each ticked copy's own change, by index.
std::optional<std::string> holdBack(const DuplicateCluster& cluster,
                                    std::vector<std::optional<std::string>>& changes) {
    changes.assign(cluster.items.size(), std::nullopt);
    const DuplicateFileItem* kept = keeper(cluster);
    if (kept == nullptr) {
        return kNoCopyStays;
    }
    if (changeSinceSearch(*kept, cluster.fileSize, cluster.listedAt)) {
        return changedReason(kGroupChanged, *kept);
    }
    const DuplicateFileItem* changedCopy = nullptr;
    for (std::size_t i = 0; i < cluster.items.size(); ++i) {
        const DuplicateFileItem& item = cluster.items[i];
        if (item.isSelectedForCleanup) {
            changes[i] = changeSinceSearch(item, cluster.fileSize, cluster.listedAt);
            if (changedCopy == nullptr && changes[i] &&
                *changes[i] != SafetyEngine::kMissingReason) {
                changedCopy = &item;
            }
        }
    }
    return changedCopy != nullptr ? std::optional(changedReason(kCopyChanged, *changedCopy))
                                  : std::nullopt;
}

} // namespace

TrashMoves::TrashMoves(std::shared_ptr<const SafetyEngine> safety,
                       std::shared_ptr<const Trash> trash)
    : m_safety(std::move(safety)), m_trash(std::move(trash)) {}

CheckedTrashMove TrashMoves::move(const std::string& name, const std::filesystem::path& url,
                                  std::optional<FileIdentity> recorded) {
    CheckedTrashMove move;
    if (m_safety && m_trash) {
        move = m_safety->moveToTrashChecked(url, recorded, *m_trash);
    } else {
        move.validation.isSafe = true;
        move.failure = kNoTrash;
    }
    m_outcomes.push_back({name, url, move});
    return move;
}

void TrashMoves::refuse(const std::string& name, const std::filesystem::path& url,
                        std::string reason) {
    CheckedTrashMove move;
    move.validation = SafetyValidationResult::rejected(std::move(reason), RiskLevel::high);
    m_outcomes.push_back({name, url, std::move(move)});
}

CheckedTrashMover TrashMoves::mover() {
    return [this](const std::string& name, const std::filesystem::path& url,
                  std::optional<FileIdentity> recorded) { return move(name, url, recorded); };
}

void TrashMoves::moveDuplicateCopies(const std::vector<DuplicateCluster>& clusters) {
    for (const auto& cluster : clusters) {
        std::vector<std::optional<std::string>> changes;
        const std::optional<std::string> groupRefusal = holdBack(cluster, changes);
        for (std::size_t i = 0; i < cluster.items.size(); ++i) {
            const DuplicateFileItem& item = cluster.items[i];
            if (!item.isSelectedForCleanup) {
                continue;
            }
            if (changes[i] || groupRefusal) {
                refuse(item.name(), item.url, changes[i] ? *changes[i] : *groupRefusal);
            } else {
                (void)move(item.name(), item.url, item.identity().listedSince(cluster.listedAt));
            }
        }
    }
}

namespace {

// A refusal as the user reads it: a protected place in the home folder is written from "~"
// ("/Documents" reads "~/Documents"), not as a folder at the top of the disk.
std::string shownReason(const std::string& reason) {
    const std::string_view personal = SafetyEngine::kPersonalReason;
    if (reason.size() > personal.size() && reason.compare(0, personal.size(), personal) == 0 &&
        reason[personal.size()] == '/') {
        return std::string(personal) + "~" + reason.substr(personal.size());
    }
    return reason;
}

} // namespace

std::vector<std::string> refusalLines(const std::vector<TrashMoveOutcome>& outcomes) {
    std::vector<std::string> lines;
    for (const auto& outcome : outcomes) {
        if (outcome.move.refused()) {
            lines.push_back(outcome.name + ": " + shownReason(outcome.move.validation.reason));
        } else if (!outcome.move.moved()) {
            lines.push_back(outcome.name + ": " + outcome.move.failure);
        }
    }
    return lines;
}

std::optional<UserAlert> refusalAlert(const std::string& title,
                                      const std::vector<std::string>& lines) {
    if (lines.empty()) {
        return std::nullopt;
    }
    return UserAlert::listing(title, lines);
}

} // namespace fernwick::ui
