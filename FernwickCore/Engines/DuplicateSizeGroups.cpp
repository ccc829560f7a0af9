#include "FernwickCore/Engines/DuplicateSearch.h"

#include <set>
#include <thread>

namespace fernwick::duplicates {

DuplicateSearch::DuplicateSearch(const DuplicateFinderEngine::Options& options,
                                 std::stop_token cancel)
    : m_options(options), m_reader(options.read), m_cancel(std::move(cancel)),
      m_workers(options.workerCount > 0 ? options.workerCount
                                        : std::max(1U, std::thread::hardware_concurrency())) {}

bool DuplicateSearch::collectCandidates(const DiskNode& root, std::int64_t minFileSize) {
    // The tree's item count bounds the candidates: one allocation instead of a chain of
    // copies.
    m_candidates.reserve(
        static_cast<std::size_t>(std::clamp<std::int64_t>(root.itemCount, 1, 1 << 26)));
    // Each entry: a node and the number of the folder holding it.
    std::vector<std::pair<const DiskNode*, std::uint32_t>> stack{{&root, kNoFolder}};
    while (!stack.empty()) {
        const auto [node, folder] = stack.back();
        stack.pop_back();
        if (!node->isDirectory() && !node->isPackage() && node->size >= minFileSize) {
            m_candidates.push_back(Candidate{node,
                                             node->size,
                                             node->inode,
                                             node->deviceID,
                                             folder,
                                             {},
                                             std::nullopt,
                                             std::nullopt});
        }
        const auto& children = node->children.get();
        if (children.empty()) {
            continue;
        }
        const auto number = m_folderCount++;
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            stack.emplace_back(child->get(), number);
        }
    }
    return !stopped();
}

bool DuplicateSearch::groupBySize() {
    std::vector<std::pair<std::int64_t, std::size_t>> bySize;
    bySize.reserve(m_candidates.size());
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
        bySize.emplace_back(m_candidates[i].size, i);
    }
    std::sort(bySize.begin(), bySize.end());
    for (std::size_t start = 0, end = 0; start < bySize.size(); start = end) {
        for (end = start + 1; end < bySize.size() && bySize[end].first == bySize[start].first;
             ++end) {
        }
        if (end - start >= 2) {
            auto& group = m_sizeGroups.emplace_back();
            for (std::size_t k = start; k < end; ++k) {
                group.push_back(bySize[k].second);
            }
        }
    }
    std::sort(m_sizeGroups.begin(), m_sizeGroups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return !stopped();
}

bool DuplicateSearch::collapseHardLinks() {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seenMany;
    m_wholeGroup.assign(m_sizeGroups.size(), false);
    for (std::size_t g = 0; g < m_sizeGroups.size(); ++g) {
        auto& group = m_sizeGroups[g];
        if (stopped()) {
            return false;
        }
        // Most groups are small: a short list beats a tree there.
        const bool small = group.size() <= 64;
        seen.clear();
        seenMany.clear();
        std::erase_if(group, [&](std::size_t i) {
            const Candidate& file = m_candidates[i];
            if (file.inode == 0) {
                return false;
            }
            const std::pair<std::uint64_t, std::uint64_t> identity{file.deviceID, file.inode};
            if (!small) {
                return !seenMany.insert(identity).second;
            }
            if (std::find(seen.begin(), seen.end(), identity) != seen.end()) {
                return true;
            }
            seen.push_back(identity);
            return false;
        });
        if (group.size() < 2) {
            continue;
        }
        if (m_candidates[group.front()].size > kWholeReadLimit && group.size() <= kMaxSideBySide) {
            m_wholeGroup[g] = true;
        } else {
            m_toPartialHash.insert(m_toPartialHash.end(), group.begin(), group.end());
        }
    }
    return true;
}

} // namespace fernwick::duplicates
