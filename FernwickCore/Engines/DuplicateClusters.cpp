#include "FernwickCore/Engines/DuplicateSearch.h"

#include "FernwickCore/Platform/WorkerPool.h"

#include <numeric>

namespace fernwick::duplicates {
namespace {

/// The cluster of `group` (candidate indices, oldest first): the oldest is the original; the
/// rule decides which items are proposed for cleanup. Takes the candidates' paths.
DuplicateCluster makeCluster(std::vector<Candidate>& candidates,
                             const std::vector<std::size_t>& group, DuplicateResolutionRule rule) {
    DuplicateCluster cluster{Uuid::random(),
                             candidates[group.front()].node->size,
                             Sha256::toHex(*candidates[group.front()].full),
                             {},
                             std::nullopt};
    const std::size_t n = group.size();
    cluster.items.reserve(n);
    for (std::size_t position = 0; position < n; ++position) {
        Candidate& candidate = candidates[group[position]];
        bool selected = false;
        switch (rule) {
        case DuplicateResolutionRule::keepOldest:
            selected = position != 0;
            break;
        case DuplicateResolutionRule::keepNewest:
            selected = position + 1 < n;
            break;
        case DuplicateResolutionRule::unselectAll:
            break;
        }
        cluster.items.push_back(DuplicateFileItem{
            Uuid::random(), std::filesystem::path(std::move(candidate.path)), cluster.fileSize,
            candidate.node->modifiedDate, false, candidate.node->inode, position == 0, selected,
            candidate.node->deviceID});
    }
    return cluster;
}

} // namespace

void appendClusters(std::vector<Candidate>& candidates, const std::vector<std::size_t>& group,
                    DuplicateResolutionRule rule, std::vector<DuplicateCluster>& out) {
    std::vector<std::size_t> hashed;
    std::copy_if(group.begin(), group.end(), std::back_inserter(hashed),
                 [&](std::size_t i) { return candidates[i].full.has_value(); });
    for (auto& equal : groupInOrder<Digest, DigestHash>(
             hashed, [&](std::size_t i) { return *candidates[i].full; })) {
        std::stable_sort(equal.begin(), equal.end(), [&](std::size_t a, std::size_t b) {
            return candidates[a].node->modifiedDate < candidates[b].node->modifiedDate;
        });
        out.push_back(makeCluster(candidates, equal, rule));
    }
}

bool DuplicateSearch::buildClusters(DuplicateResolutionRule rule) {
    // Where each size group's first-pass groups start in m_partialGroups.
    std::vector<std::size_t> firstPartial(m_sizeGroups.size() + 1, 0);
    for (std::size_t g : m_partialGroupSizeGroup) {
        ++firstPartial[g + 1];
    }
    std::partial_sum(firstPartial.begin(), firstPartial.end(), firstPartial.begin());
    // Blocks of size groups: each cluster is little work.
    constexpr std::size_t kGroupsPerJob = 256;
    forEachIndex<WorkerState>(
        (m_sizeGroups.size() + kGroupsPerJob - 1) / kGroupsPerJob, m_workers, m_cancel,
        [&](std::size_t job, WorkerState&) {
            const std::size_t end = std::min(m_sizeGroups.size(), (job + 1) * kGroupsPerJob);
            for (std::size_t g = job * kGroupsPerJob; g < end; ++g) {
                std::vector<DuplicateCluster>& out = m_clustersBySizeGroup[g];
                if (m_wholeGroup[g]) {
                    continue; // built by its first-pass job
                }
                if (m_candidates[m_sizeGroups[g].front()].size > kWholeReadLimit) {
                    for (std::size_t p = firstPartial[g]; p < firstPartial[g + 1]; ++p) {
                        appendClusters(m_candidates, m_partialGroups[p], rule, out);
                    }
                    continue;
                }
                for (const auto& group : groupByPartialDigest(m_sizeGroups[g])) {
                    for (std::size_t i : group) {
                        m_candidates[i].full = m_candidates[i].partial;
                    }
                    appendClusters(m_candidates, group, rule, out);
                }
            }
        });
    if (stopped()) {
        return false;
    }
    // Size group by size group, as the tree orders them.
    std::size_t count = 0;
    for (const auto& built : m_clustersBySizeGroup) {
        count += built.size();
    }
    m_clusters.reserve(count);
    for (auto& built : m_clustersBySizeGroup) {
        std::move(built.begin(), built.end(), std::back_inserter(m_clusters));
    }
    return true;
}

std::vector<DuplicateCluster> DuplicateSearch::largestRecoverableFirst() {
    std::vector<std::pair<std::int64_t, std::size_t>> order;
    order.reserve(m_clusters.size());
    for (std::size_t i = 0; i < m_clusters.size(); ++i) {
        order.emplace_back(m_clusters[i].recoverableSize(), i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<DuplicateCluster> sorted;
    sorted.reserve(m_clusters.size());
    for (const auto& entry : order) {
        sorted.push_back(std::move(m_clusters[entry.second]));
    }
    return sorted;
}

} // namespace fernwick::duplicates
