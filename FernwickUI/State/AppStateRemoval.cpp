// The five operations that move things to the Trash, and the one way they all take: each moves
// its items on a worker through TrashMoves (the safety check with the identity recorded when the
// item was found, then the move), then finishTrashMoves does on the GUI thread what every move
// needs afterwards.

#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickUI/State/TrashMoves.h"

#include <QThreadPool>

#include <algorithm>
#include <exception>
#include <set>
#include <sys/stat.h>
#include <system_error>

namespace fernwick::ui {

namespace {

// Whether an entry stands at `url` (a symbolic link counts as itself, not as its target).
bool entryExists(const std::filesystem::path& url) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(url, error));
}

bool liesAtOrUnderAny(const std::filesystem::path& url, const std::vector<std::string>& places) {
    const std::string path = paths::standardize(url).native();
    return std::any_of(places.begin(), places.end(),
                       [&](const std::string& place) { return paths::isAtOrUnder(path, place); });
}

// The standardized paths of the items that moved, and of those that left otherwise.
std::vector<std::string> gonePaths(const std::vector<TrashMoveOutcome>& outcomes,
                                   const std::vector<std::filesystem::path>& alsoGone) {
    std::set<std::string> gone;
    for (const auto& outcome : outcomes) {
        if (outcome.move.moved()) {
            gone.insert(paths::standardize(outcome.url).native());
        }
    }
    for (const auto& url : alsoGone) {
        gone.insert(paths::standardize(url).native());
    }
    return {gone.begin(), gone.end()};
}

// The alert of a single move that did not happen: a protected item says so; an item that is
// gone, changed or already in the Trash is not called protected.
UserAlert singleMoveAlert(const std::string& name, const CheckedTrashMove& move) {
    if (move.refused()) {
        if (SafetyEngine::refusesAsProtected(move.validation)) {
            return {name + " is protected", move.validation.reason};
        }
        return {"Couldn't move " + name + " to Trash", move.validation.reason};
    }
    return {"Couldn't move " + name + " to Trash", move.failure};
}

constexpr const char* kLinkedSinceListing =
    "Now reached through a symbolic link; it was listed without one";

// Whether the folder of `path`, when it lies in the home folder, is still reached from there
// without a symbolic link, as the developer listing reached its places.
bool reachedWithoutLinks(const std::filesystem::path& path, const Environment& env) {
    const std::filesystem::path folder = paths::standardize(path).parent_path();
    const std::string& home = env.home.native();
    if (!paths::isAtOrUnder(folder.native(), home)) {
        return true;
    }
    return paths::resolveSymlinks(folder).native() ==
           env.homeResolved.native() + folder.native().substr(home.size());
}

} // namespace

FileIdentity AppState::heldTo(const std::filesystem::path& path, FileIdentity recorded) const {
    const auto restored = m_restoredAt.find(paths::standardize(path).native());
    if (restored != m_restoredAt.end()) {
        recorded.listedAt = restored->second;
    }
    return recorded;
}

void AppState::call(const std::function<void()>& done) {
    if (done) {
        done();
    }
}

void AppState::trashNode(const DiskNodePtr& node, std::function<void()> done) {
    if (!node) {
        call(done);
        return;
    }
    const std::string name = node->name();
    const std::filesystem::path url = node->url();
    // The scanned identity is what the move must find.
    const FileIdentity seen =
        heldTo(url, node->identity().listedSince(m_tree.listedAt(url.native())));
    auto moves = std::make_shared<TrashMoves>(m_services.safety, m_services.trash);
    runOnPool(
        m_quickWork,
        [this, node, name, url, seen, moves, done = std::move(done)]() -> std::function<void()> {
            const CheckedTrashMove move = moves->move(name, url, seen);
            // The numbers approved, with the entry's time as it lies in the Trash (moving a folder
            // may touch it).
            const FileIdentity trashed =
                move.trashedURL ? trashedEntryIdentity(*move.trashedURL, move.validation.identity())
                                : FileIdentity();
            return [this, node, name, url, move, trashed, moves, done] {
                TrashMoveReport report;
                report.outcomes = moves->take();
                report.treeApplied = true;
                report.derive = false;
                if (!move.moved()) {
                    report.alert = singleMoveAlert(name, move);
                    finishTrashMoves(std::move(report), {}, done);
                    return;
                }
                // Applied at once, also while an engine reads the tree (it keeps its view).
                const DiskNodePtr before = m_tree.current(node);
                const std::int64_t size = before->size;
                const std::int64_t allocated = before->allocatedSize;
                std::vector<DiskNodePtr> children = before->children;
                const ScanTree::Change change = m_tree.empty(before);
                setLastTrashed(TrashUndo(change.node ? change.node : before, url, *move.trashedURL,
                                         size, allocated, std::move(children), trashed,
                                         move.movedFrom));
                // One timer, restarted: an earlier move's expiry can never clear this record.
                m_undoExpiryTimer.start();
                finishTreeChange(change);
                finishTrashMoves(std::move(report), {}, done);
            };
        });
}

void AppState::runCleanup(bool isDryRun, std::function<void()> done) {
    if (m_isCleaning) {
        call(done);
        return;
    }
    setIsCleaning(true);
    // The tree is brought in line with the plan that runs, not with whatever the live plan
    // becomes while it runs.
    CleanupPlan executed = m_cleanupPlan;
    for (auto& candidate : executed.candidates) {
        candidate.listedAt =
            heldTo(candidate.url,
                   candidate.identity().listedSince(m_tree.listedAt(candidate.url.native())))
                .listedAt;
    }
    auto execute = m_services.executeCleanup;
    auto history = m_services.getAuditHistory;
    auto moves = std::make_shared<TrashMoves>(m_services.safety, m_services.trash);
    runOnPool(m_longWork,
              [this, executed, isDryRun, execute, history, moves,
               done = std::move(done)]() -> std::function<void()> {
                  CleanupExecutionResult result = execute
                                                      ? execute(executed, isDryRun, moves->mover())
                                                      : CleanupExecutionResult{};
                  auto entries = history ? history() : std::vector<CleanupAuditEntry>{};
                  TrashMoveReport report;
                  report.outcomes = moves->take();
                  if (isDryRun) {
                      report.alert = refusalAlert("Dry run: some items would be skipped",
                                                  result.errorMessages);
                  } else {
                      report.alert = refusalAlert("Smart Cleanup skipped some items",
                                                  refusalLines(report.outcomes));
                      // What the run removed is judged by what is gone, so that a move made by
                      // other means during the run is reflected too.
                      for (const auto& candidate : executed.candidates) {
                          if (candidate.isSelected && !entryExists(candidate.url)) {
                              report.alsoGone.push_back(candidate.url);
                          }
                      }
                  }
                  report.derive = !isDryRun;
                  report.freshPlan = true;
                  return [this, result = std::move(result), entries = std::move(entries),
                          report = std::move(report), done]() mutable {
                      setLastCleanupResult(std::move(result));
                      setAuditHistory(std::move(entries));
                      finishTrashMoves(
                          std::move(report),
                          [this](const std::function<void()>& then) {
                              setIsCleaning(false);
                              then();
                          },
                          done);
                  };
              });
}

void AppState::cleanDuplicates(std::function<void()> done) {
    // Two cleans with other ticks, run together, could each keep the copy the other moves.
    if (m_isCleaningDuplicates) {
        call(done);
        return;
    }
    setIsCleaningDuplicates(true);
    // The clusters as they are now: ticks made while the moves run belong to the next clean.
    std::vector<DuplicateCluster> clusters = m_duplicateClusters;
    auto moves = std::make_shared<TrashMoves>(m_services.safety, m_services.trash);
    runOnPool(m_longWork,
              [this, clusters = std::move(clusters), moves,
               done = std::move(done)]() -> std::function<void()> {
                  moves->moveDuplicateCopies(clusters);
                  return [this, moves, done] {
                      TrashMoveReport report;
                      report.outcomes = moves->take();
                      report.alert = refusalAlert("Duplicate Finder skipped some copies",
                                                  refusalLines(report.outcomes));
                      finishTrashMoves(
                          std::move(report),
                          [this](const std::function<void()>& then) {
                              scanDuplicates([this, then] {
                                  setIsCleaningDuplicates(false);
                                  then();
                              });
                          },
                          done);
                  };
              });
}

void AppState::cleanDeveloperItems(std::vector<DeveloperStorageItem> items,
                                   std::function<void()> done) {
    // Each place is held to the identity the listing measured; one listed without it, to the
    // identity the scan recorded when the scanned tree holds it.
    std::vector<FileIdentity> identities;
    for (const auto& item : items) {
        const DiskNodePtr node =
            item.identity.isKnown() || !m_tree.root() ? nullptr : m_tree.find(item.path);
        identities.push_back(
            heldTo(item.path, node ? node->identity().listedSince(m_tree.listedAt(item.path))
                                   : item.identity));
    }
    auto moves = std::make_shared<TrashMoves>(m_services.safety, m_services.trash);
    runOnPool(m_longWork,
              [this, items = std::move(items), identities = std::move(identities), moves,
               safety = m_services.safety, done = std::move(done)]() -> std::function<void()> {
                  for (std::size_t i = 0; i < items.size(); ++i) {
                      if (safety && !reachedWithoutLinks(items[i].path, safety->environment())) {
                          moves->refuse(items[i].name, items[i].path, kLinkedSinceListing);
                          continue;
                      }
                      // One item at a time: each check sees what the moves before it left.
                      (void)moves->move(items[i].name, items[i].path, identities[i]);
                  }
                  return [this, moves, done] {
                      TrashMoveReport report;
                      report.outcomes = moves->take();
                      report.alert =
                          refusalAlert("Some items were skipped", refusalLines(report.outcomes));
                      finishTrashMoves(
                          std::move(report),
                          [this](const std::function<void()>& then) { scanDeveloperStorage(then); },
                          done);
                  };
              });
}

void AppState::uninstallApp(InstalledApp app, std::function<void()> done) {
    auto uninstall = m_services.uninstallApp;
    auto moves = std::make_shared<TrashMoves>(m_services.safety, m_services.trash);
    runOnPool(m_longWork,
              [this, app = std::move(app), uninstall, moves,
               done = std::move(done)]() -> std::function<void()> {
                  std::optional<std::string> failure;
                  try {
                      if (uninstall) {
                          uninstall(app, true, moves->mover());
                      }
                  } catch (const std::exception& error) {
                      failure = error.what();
                  }
                  TrashMoveReport report;
                  report.outcomes = moves->take();
                  report.alert =
                      failure ? std::optional(UserAlert("Couldn't uninstall " + app.name, *failure))
                              : refusalAlert("Some leftovers of " + app.name + " were skipped",
                                             refusalLines(report.outcomes));
                  return [this, report = std::move(report), done]() mutable {
                      finishTrashMoves(
                          std::move(report),
                          [this](const std::function<void()>& then) { scanInstalledApps(then); },
                          done);
                  };
              });
}

void AppState::finishTrashMoves(TrashMoveReport report, const RescanStep& rescan,
                                std::function<void()> done) {
    bool treeChanged = false;
    if (!report.treeApplied && m_tree.root()) {
        const std::vector<std::string> gone = gonePaths(report.outcomes, report.alsoGone);
        if (!gone.empty()) {
            // The root counts too: a run may have moved the scanned folder itself.
            const ScanTree::Change change = m_tree.emptyAll(gone);
            finishTreeChange(change);
            if (!change.node) {
                computeTreemapLayout(kLayoutBounds);
            }
            treeChanged = change.node != nullptr;
            forgetRemoved(gone);
        }
    } else if (!report.treeApplied) {
        forgetRemoved(gonePaths(report.outcomes, report.alsoGone));
    }
    refreshTrashCount();
    auto finish = [this, rescan, alert = std::move(report.alert),
                   done = std::move(done)]() mutable {
        const auto last = [this, alert = std::move(alert), done] {
            call(done);
            if (alert) {
                setUserAlert(*alert);
            }
        };
        if (rescan) {
            rescan(last);
        } else {
            last();
        }
    };
    if (report.derive && m_tree.root() && (treeChanged || report.freshPlan)) {
        rederiveFromTree(report.freshPlan, std::move(finish));
    } else {
        finish();
    }
}

void AppState::forgetRemoved(const std::vector<std::string>& gone) {
    if (gone.empty()) {
        return;
    }
    if (m_selectedNodeForInspection && liesAtOrUnderAny(m_selectedNodeForInspection->url(), gone)) {
        setSelectedNodeForInspection(nullptr);
    }
    if (m_selectedAppForInspection &&
        liesAtOrUnderAny(m_selectedAppForInspection->bundleURL, gone)) {
        setSelectedAppForInspection(std::nullopt);
    }
}

void AppState::rederiveFromTree(bool freshPlan, std::function<void()> then) {
    auto generatePlan = m_services.generateSmartCleanupPlan;
    auto findLarge = m_services.findLargeFiles;
    std::shared_ptr<const SafetyEngine> safety = m_services.safety;
    const std::int64_t threshold = bytes(m_selectedLargeFileThreshold);
    const LargeFilesRequest request = newLargeFilesRequest();
    runOnPool(m_longWork,
              [this, view = m_tree.view(), request, generatePlan, findLarge, safety, threshold,
               freshPlan, then = std::move(then)]() mutable -> std::function<void()> {
                  const DiskNodePtr& tree = view.root();
                  CleanupPlan plan = generatePlan ? generatePlan(tree) : CleanupPlan{};
                  std::erase_if(plan.candidates, [&](const CleanupCandidate& candidate) {
                      return candidate.size == 0 || !entryExists(candidate.url) ||
                             (safety && safety->isProtected(candidate.url));
                  });
                  auto large = findLarge ? findLarge(tree, threshold) : std::vector<DiskNodePtr>{};
                  view = {};
                  return [this, request, plan = std::move(plan), large = std::move(large),
                          freshPlan, then]() mutable {
                      if (m_tree.generation() == request.generation) {
                          if (!freshPlan) {
                              keepTicks(plan);
                          }
                          setCleanupPlan(std::move(plan));
                          acceptLargeFiles(request, std::move(large));
                      }
                      then();
                  };
              });
}

void AppState::keepTicks(CleanupPlan& plan) const {
    // The user's ticks stay on the items they were made on; new items keep the plan's own.
    for (auto& candidate : plan.candidates) {
        const auto& old = m_cleanupPlan.candidates;
        const auto same = std::find_if(old.begin(), old.end(), [&](const CleanupCandidate& c) {
            return c.url == candidate.url;
        });
        if (same != old.end()) {
            candidate.isSelected = same->isSelected;
        }
    }
}

} // namespace fernwick::ui
