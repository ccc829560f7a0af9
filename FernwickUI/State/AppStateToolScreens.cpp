#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Engines/SafetyEngine.h"

#include <QThreadPool>

#include <algorithm>

namespace fernwick::ui {

void AppState::setCandidateSelected(const Uuid& id, bool selected) {
    auto& candidates = m_cleanupPlan.candidates;
    const auto found = std::find_if(candidates.begin(), candidates.end(),
                                    [&](const CleanupCandidate& c) { return c.id == id; });
    if (found == candidates.end()) {
        return;
    }
    updateCleanupPlan([&](CleanupPlan&) { found->isSelected = selected; });
}

void AppState::chooseLargeFileThreshold(LargeFileThreshold threshold) {
    setSelectedLargeFileThreshold(threshold);
    if (m_tree.root()) {
        findLargeFiles();
    } else {
        newLargeFilesRequest(); // nothing to search; a list still on its way is out of date
    }
}

AppState::LargeFilesRequest AppState::newLargeFilesRequest() {
    return {++m_largeFilesRequest, m_tree.generation(), m_treeChanges};
}

void AppState::findLargeFiles() {
    auto find = m_services.findLargeFiles;
    const std::int64_t threshold = bytes(m_selectedLargeFileThreshold);
    const LargeFilesRequest request = newLargeFilesRequest();
    runOnPool(
        m_quickWork,
        [this, view = m_tree.view(), find, threshold, request]() mutable -> std::function<void()> {
            auto found = find ? find(view.root(), threshold) : std::vector<DiskNodePtr>{};
            view = {}; // read: changes may work in place again
            return [this, request, found = std::move(found)]() mutable {
                acceptLargeFiles(request, std::move(found));
            };
        });
}

void AppState::acceptLargeFiles(const LargeFilesRequest& request, std::vector<DiskNodePtr> found) {
    if (request.number != m_largeFilesRequest || request.generation != m_tree.generation()) {
        return; // a later choice or a newer scan has its own search
    }
    if (request.changes != m_treeChanges) {
        // Moved, restored or rescanned meanwhile: the list would show sizes the tree no longer
        // has, or miss a file that has grown back.
        findLargeFiles();
        return;
    }
    // No change since the view was taken, so no node was copied: the nodes found are current.
    setLargeFiles(std::move(found));
}

void AppState::setDuplicateSelected(const Uuid& cluster, const Uuid& item, bool selected) {
    for (auto& group : m_duplicateClusters) {
        if (group.id != cluster) {
            continue;
        }
        for (auto& copy : group.items) {
            if (copy.id == item) {
                updateDuplicateClusters([&](auto&) { copy.isSelectedForCleanup = selected; });
                return;
            }
        }
        return;
    }
}

void AppState::loadHistory(std::function<void(std::vector<StorageSnapshot>)> done) {
    auto history = m_services.getAuditHistory;
    auto snapshots = m_services.getSnapshots;
    runOnPool(m_quickWork,
              [this, history, snapshots, done = std::move(done)]() -> std::function<void()> {
                  // The audit log first, then the timeline, one after the other.
                  auto entries = history ? history() : std::vector<CleanupAuditEntry>{};
                  auto timeline = snapshots ? snapshots() : std::vector<StorageSnapshot>{};
                  return [this, entries = std::move(entries), timeline = std::move(timeline),
                          done]() mutable {
                      setAuditHistory(std::move(entries));
                      if (done) {
                          done(std::move(timeline));
                      }
                  };
              });
}

void AppState::clearSnapshotHistory(std::function<void()> done) {
    auto clear = m_services.clearSnapshots;
    runOnPool(m_quickWork, [clear, done = std::move(done)]() -> std::function<void()> {
        if (clear) {
            clear();
        }
        return [done] { call(done); };
    });
}

} // namespace fernwick::ui
