#include "FernwickCore/Engines/DuplicateFinderEngine.h"

#include "FernwickCore/Engines/DuplicateSearch.h"
#include "FernwickCore/Platform/ByteCountFormatter.h"

#include <algorithm>

namespace fernwick {
namespace {

constexpr std::array<DuplicateResolutionRule, 3> kAllRules = {DuplicateResolutionRule::keepOldest,
                                                              DuplicateResolutionRule::keepNewest,
                                                              DuplicateResolutionRule::unselectAll};

} // namespace

const std::array<DuplicateResolutionRule, 3>& allDuplicateResolutionRules() {
    return kAllRules;
}

std::string_view displayName(DuplicateResolutionRule rule) {
    switch (rule) {
    case DuplicateResolutionRule::keepOldest:
        return "Keep Oldest (Original)";
    case DuplicateResolutionRule::keepNewest:
        return "Keep Newest";
    case DuplicateResolutionRule::unselectAll:
        return "Review Manually (Select None)";
    }
    return {};
}

std::optional<DuplicateResolutionRule> duplicateResolutionRuleFromName(std::string_view text) {
    for (DuplicateResolutionRule rule : kAllRules) {
        if (displayName(rule) == text) {
            return rule;
        }
    }
    return std::nullopt;
}

std::int64_t DuplicateCluster::recoverableSize() const {
    const auto selected = std::count_if(items.begin(), items.end(), [](const auto& item) {
        return item.isSelectedForCleanup && !item.isHardlink;
    });
    std::int64_t out = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(selected), fileSize, &out)) {
        return INT64_MAX;
    }
    return out;
}

std::string DuplicateCluster::formattedFileSize() const {
    return formatByteCount(fileSize);
}

std::string DuplicateCluster::formattedRecoverableSize() const {
    return formatByteCount(recoverableSize());
}

DuplicateFinderEngine::DuplicateFinderEngine(Options options) : m_options(std::move(options)) {}

std::shared_ptr<DuplicateFinderEngine> DuplicateFinderEngine::shared() {
    static const auto instance = std::make_shared<DuplicateFinderEngine>();
    return instance;
}

std::vector<DuplicateCluster>
DuplicateFinderEngine::findDuplicates(const DiskNodePtr& root, std::int64_t minFileSize,
                                      DuplicateResolutionRule autoSelectionRule,
                                      std::stop_token cancel) const {
    if (!root) {
        return {};
    }
    // Before any file is read: a file written after this is told by its change time.
    const TimePoint listed = listingStart();
    duplicates::DuplicateSearch search(m_options, std::move(cancel));
    // Each phase returns false when it saw the cancellation.
    const bool finished = search.collectCandidates(*root, minFileSize) && search.groupBySize() &&
                          search.collapseHardLinks() && search.firstPass(autoSelectionRule) &&
                          search.secondPass() && search.buildClusters(autoSelectionRule);
    if (!finished) {
        return {};
    }
    std::vector<DuplicateCluster> clusters = search.largestRecoverableFirst();
    for (auto& cluster : clusters) {
        cluster.listedAt = listed;
    }
    return clusters;
}

} // namespace fernwick
