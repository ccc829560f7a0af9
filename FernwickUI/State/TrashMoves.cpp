#include "FernwickUI/State/TrashMoves.h"

#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Engines/SafetyEngine.h"

#include <algorithm>
#include <string_view>
#include <sys/stat.h>

namespace fernwick::ui {

namespace {

constexpr const char* kNoTrash = "No Trash is available.";
constexpr const char* kGroupChanged =
    "Not moved: the copy that stays changed since the search (%s)";
constexpr const char* kNoCopyStays = "Not moved: no copy of this file would stay";

// Whether the entry at `url` (a final link not followed) is a regular file with `inode` (when
// recorded) and `size`.
bool isSameRegularFile(const std::filesystem::path& url, std::uint64_t inode, std::int64_t size) {
    struct stat info {};
    return ::lstat(url.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           (inode == 0 || static_cast<std::uint64_t>(info.st_ino) == inode) &&
           static_cast<std::int64_t>(info.st_size) == size;
}

// Whether a regular file stands at `url` with a size other than `size`.
bool hasOtherSize(const std::filesystem::path& url, std::int64_t size) {
    struct stat info {};
    return ::lstat(url.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<std::int64_t>(info.st_size) != size;
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

std::string groupChangedReason(const DuplicateFileItem& kept) {
    std::string reason = kGroupChanged;
    reason.replace(reason.find("%s"), 2, kept.url.native());
    return reason;
}

} // namespace

TrashMoves::TrashMoves(std::shared_ptr<const SafetyEngine> safety,
                       std::shared_ptr<const Trash> trash)
    : m_safety(std::move(safety)), m_trash(std::move(trash)) {}

CheckedTrashMove TrashMoves::move(const std::string& name, const std::filesystem::path& url,
                                  std::optional<std::uint64_t> expectedInode) {
    if (expectedInode == std::optional<std::uint64_t>(0)) {
        expectedInode.reset();
    }
    CheckedTrashMove move;
    if (m_safety && m_trash) {
        move = m_safety->moveToTrashChecked(url, expectedInode, *m_trash);
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
                  std::optional<std::uint64_t> expectedInode) {
        return move(name, url, expectedInode);
    };
}

void TrashMoves::moveDuplicateCopies(const std::vector<DuplicateCluster>& clusters) {
    for (const auto& cluster : clusters) {
        const DuplicateFileItem* kept = keeper(cluster);
        std::optional<std::string> groupRefusal;
        if (kept == nullptr) {
            groupRefusal = kNoCopyStays;
        } else if (!isSameRegularFile(kept->url, kept->inode, cluster.fileSize)) {
            groupRefusal = groupChangedReason(*kept);
        }
        for (const auto& item : cluster.items) {
            if (!item.isSelectedForCleanup) {
                continue;
            }
            if (groupRefusal) {
                refuse(item.name(), item.url, *groupRefusal);
            } else if (hasOtherSize(item.url, cluster.fileSize)) {
                // Rewritten in place keeps the inode; the size tells most such changes.
                refuse(item.name(), item.url, Trash::kIdentityMismatchReason);
            } else {
                (void)move(item.name(), item.url, item.inode);
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
