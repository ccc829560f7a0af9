#include "FernwickUI/State/AppState.h"
#include "FernwickUI/State/TreeSearch.h"

#include "FernwickCore/Scanning/AsyncDiskScanner.h"

#include <QString>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace fernwick::ui {

struct AppState::ScanOutcome {
    DiskNodePtr root;
    std::optional<TimePoint> listedAt;
    bool cancelled = false;
    std::string error;
    double seconds = 0;
};

namespace {

// Bytes per category display name over the non-directory nodes at and below `root`.
std::map<std::string, std::int64_t> categoryBreakdown(const DiskNodePtr& root) {
    std::map<std::string, std::int64_t> breakdown;
    if (!root) {
        return breakdown;
    }
    std::vector<const DiskNode*> stack{root.get()};
    while (!stack.empty()) {
        const DiskNode* node = stack.back();
        stack.pop_back();
        if (!node->isDirectory()) {
            auto& sum = breakdown[std::string(displayName(node->category))];
            sum = saturatingAdd(sum, node->size);
        }
        for (const auto& child : node->children) {
            stack.push_back(child.get());
        }
    }
    return breakdown;
}

} // namespace

void AppState::startScan(const std::optional<std::filesystem::path>& targetURL) {
    const std::filesystem::path target = targetURL.value_or(m_services.home);
    // A superseded scan is stopped too: nothing it finds could be published any more.
    if (m_scanner) {
        m_scanner->cancel();
    }
    const std::uint64_t generation = ++m_scanGeneration;
    std::shared_ptr<DiskScanning> scanner = m_services.makeScanner();
    m_scanner = scanner;
    setScanState(ScanState::scanning(kPreparingScanText, 0, 0));

    queue([this, scanner, target, generation] {
        if (generation != m_scanGeneration) {
            return; // cancelled or replaced before it began
        }
        runOnPool(
            m_longWork,
            [this, scanner, target, generation, lifeline = m_lifeline]() -> std::function<void()> {
                auto outcome = std::make_shared<ScanOutcome>();
                const auto started = std::chrono::steady_clock::now();
                // One queued call per report; a report of an older scan is dropped on arrival.
                auto onProgress = [this, generation, lifeline](const ScanProgress& progress) {
                    lifeline->post([this, generation, progress] {
                        if (generation == m_scanGeneration) {
                            setScanState(ScanState::scanning(progress.currentPath,
                                                             progress.scannedBytes,
                                                             progress.scannedFiles));
                        }
                    });
                };
                try {
                    outcome->listedAt = listingStart();
                    outcome->root = scanner->scan(target, kScanDepth, onProgress);
                } catch (const ScanCancelled&) {
                    outcome->cancelled = true;
                } catch (const std::exception& error) {
                    outcome->error = error.what();
                }
                outcome->seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                        .count();
                return [this, generation, outcome] { finishScan(generation, outcome); };
            });
    });
}

void AppState::finishScan(std::uint64_t generation, const std::shared_ptr<ScanOutcome>& outcome) {
    if (outcome->root) {
        const std::string line = scanFinishedLine(outcome->seconds) + "\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    if (generation != m_scanGeneration) {
        return; // cancelled or superseded: nothing of it reaches the state
    }
    if (outcome->root) {
        publishScanResults(outcome->root, outcome->listedAt);
    } else if (outcome->cancelled) {
        setScanState(ScanState::idle());
    } else {
        setScanState(
            ScanState::error(outcome->error.empty() ? "The scan failed." : outcome->error));
    }
}

void AppState::publishScanResults(const DiskNodePtr& root, std::optional<TimePoint> listedAt) {
    setRootNode(root, listedAt);
    setCurrentTreemapRoot(root);
    setTreemapBreadcrumbs({root});
    setSelectedNodeForInspection(root);
    setScanState(ScanState::completed());

    auto generatePlan = m_services.generateSmartCleanupPlan;
    auto findLarge = m_services.findLargeFiles;
    const std::int64_t threshold = bytes(m_selectedLargeFileThreshold);
    const LargeFilesRequest request = newLargeFilesRequest();
    runOnPool(m_longWork,
              [this, view = m_tree.view(), request, generatePlan, findLarge,
               threshold]() mutable -> std::function<void()> {
                  const DiskNodePtr& tree = view.root();
                  CleanupPlan plan = generatePlan ? generatePlan(tree) : CleanupPlan{};
                  std::vector<DiskNodePtr> large =
                      findLarge ? findLarge(tree, threshold) : std::vector<DiskNodePtr>{};
                  std::map<std::string, std::int64_t> breakdown = categoryBreakdown(tree);
                  view = {}; // read: changes may work in place again
                  return [this, request, plan = std::move(plan), large = std::move(large),
                          breakdown = std::move(breakdown)]() mutable {
                      // Results for a tree that a newer scan has replaced are dropped.
                      if (m_tree.generation() == request.generation) {
                          setCleanupPlan(std::move(plan));
                          acceptLargeFiles(request, std::move(large));
                          computeTreemapLayout(kLayoutBounds);
                          recordSnapshot(std::move(breakdown));
                      }
                  };
              });
}

void AppState::recordSnapshot(std::map<std::string, std::int64_t> breakdown) {
    // Before the monitor's first sample the disk figures are still zero: take them directly.
    const bool haveSample = m_hasMetricsSample;
    const SystemMetrics latest = m_systemMetrics;
    auto sample = m_services.sampleMetrics;
    auto record = m_services.recordSnapshot;
    runOnPool(m_longWork,
              [haveSample, latest, sample, record,
               breakdown = std::move(breakdown)]() -> std::function<void()> {
                  const SystemMetrics metrics = haveSample || !sample ? latest : sample();
                  if (record) {
                      record(metrics.diskUsedBytes, metrics.diskFreeBytes, breakdown);
                  }
                  return {};
              });
}

void AppState::cancelScan() {
    ++m_scanGeneration;
    if (auto scanner = m_scanner) {
        queue([scanner] { scanner->cancel(); });
    }
    setScanState(ScanState::idle());
}

void AppState::computeTreemapLayout(Rect bounds) {
    const DiskNodePtr& node = m_currentTreemapRoot ? m_currentTreemapRoot : m_tree.root();
    if (!node) {
        return;
    }
    ++m_layoutRequest; // a layout still running on a worker is older than this one
    setTreemapRectangles(TreemapLayoutEngine::shared().layout(node, bounds, 2, 6));
}

std::map<std::string, std::int64_t> AppState::getCategorySizeBreakdown() const {
    return categoryBreakdown(m_tree.root());
}

void AppState::navigateBack() {
    if (m_treemapBreadcrumbs.size() < 2) {
        return;
    }
    auto trail = m_treemapBreadcrumbs;
    trail.pop_back();
    setTreemapBreadcrumbs(trail);
    const DiskNodePtr target = trail.empty() ? m_tree.root() : trail.back();
    setCurrentTreemapRoot(target);
    setSelectedNodeForInspection(target);
    computeTreemapLayout(kLayoutBounds);
}

std::vector<DiskNodePtr> AppState::trailTo(const DiskNodePtr& node) const {
    const DiskNodePtr& shown = m_currentTreemapRoot;
    if (!shown ||
        std::find(shown->children.begin(), shown->children.end(), node) == shown->children.end()) {
        // Appended, a folder found elsewhere would take a false place: its crumbs and Back
        // would lead to folders that do not hold it.
        std::vector<DiskNodePtr> path = m_tree.pathTo(node);
        if (!path.empty()) {
            return path;
        }
    }
    auto trail = m_treemapBreadcrumbs;
    trail.push_back(node);
    return trail;
}

void AppState::showNode(const DiskNodePtr& node) {
    std::vector<DiskNodePtr> trail = trailTo(node);
    // The tree's own node, where one held from before a change stands for it.
    const DiskNodePtr shown = trail.back();
    setCurrentTreemapRoot(shown);
    setTreemapBreadcrumbs(std::move(trail));
    setSelectedNodeForInspection(shown);
    computeTreemapLayout(kLayoutBounds);
}

void AppState::drillDownIntoNode(const DiskNodePtr& node) {
    if (!node) {
        return;
    }
    if (!node->isDirectory()) {
        setSelectedNodeForInspection(node);
        return;
    }
    if (node->children.empty()) {
        queue([this, node] { scanSubfolderAndDrillDown(node); });
        return;
    }
    showNode(node);
}

void AppState::scanSubfolderAndDrillDown(const DiskNodePtr& node) {
    std::shared_ptr<DiskScanning> scanner = m_services.makeScanner();
    const std::uint64_t generation = m_tree.generation();
    const std::filesystem::path url = node->url();
    runOnPool(m_longWork, [this, scanner, node, generation, url]() -> std::function<void()> {
        DiskNodePtr found;
        const TimePoint listedAt = listingStart();
        try {
            found = scanner->scan(url, kRescanDepth, {});
        } catch (const std::exception&) {
            found = nullptr;
        }
        return [this, node, generation, found, listedAt] {
            // A newer scan replaced the tree meanwhile: the user is elsewhere now.
            if (m_tree.generation() != generation) {
                return;
            }
            if (!found) {
                setSelectedNodeForInspection(m_tree.current(node));
                return;
            }
            const ScanTree::Change change = m_tree.graft(node, *found, listedAt);
            finishTreeChange(change, false);
            showNode(change.node ? change.node : m_tree.current(node)); // lays out
        };
    });
}

void AppState::navigateBreadcrumb(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_treemapBreadcrumbs.size()) {
        return;
    }
    const DiskNodePtr target = m_treemapBreadcrumbs[static_cast<std::size_t>(index)];
    setCurrentTreemapRoot(target);
    setTreemapBreadcrumbs(std::vector<DiskNodePtr>(m_treemapBreadcrumbs.begin(),
                                                   m_treemapBreadcrumbs.begin() + index + 1));
    setSelectedNodeForInspection(target);
    computeTreemapLayout(kLayoutBounds);
}

std::vector<DiskNodePtr> AppState::searchMatchingNodes(const std::string& query) const {
    std::vector<DiskNodePtr> matches;
    const QString needle = QString::fromStdString(query).trimmed();
    if (needle.isEmpty() || !m_tree.root()) {
        return matches;
    }
    // Pre-order: the root, then each child followed by its own descendants.
    std::vector<DiskNodePtr> stack{m_tree.root()};
    while (!stack.empty() && matches.size() < static_cast<std::size_t>(kSearchLimit)) {
        DiskNodePtr node = std::move(stack.back());
        stack.pop_back();
        if (QString::fromStdString(node->name()).contains(needle, Qt::CaseInsensitive) ||
            QString::fromStdString(node->path()).contains(needle, Qt::CaseInsensitive)) {
            matches.push_back(node);
        }
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            stack.push_back(*child);
        }
    }
    return matches;
}

void AppState::searchAsync(const std::string& query,
                           std::function<void(std::vector<DiskNodePtr>)> done) {
    const std::uint64_t generation = ++*m_searchGeneration;
    const std::uint64_t treeGeneration = m_tree.generation();
    runOnPool(
        m_longWork,
        [this, view = m_tree.view(), query, generation, treeGeneration, done = std::move(done),
         latest = m_searchGeneration]() mutable -> std::function<void()> {
            auto found = searchTree(view.root(), query, static_cast<std::size_t>(kSearchLimit),
                                    [&] { return latest->load() != generation; });
            view = {}; // read: changes may work in place again
            return [this, generation, treeGeneration, done, found = std::move(found)]() mutable {
                if (m_searchGeneration->load() == generation &&
                    m_tree.generation() == treeGeneration && done) {
                    done(currentNodes(std::move(found)));
                }
            };
        });
}

} // namespace fernwick::ui
