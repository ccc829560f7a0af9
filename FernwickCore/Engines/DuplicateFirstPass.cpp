#include "FernwickCore/Engines/DuplicateSearch.h"

#include "FernwickCore/Platform/WorkerPool.h"

#include <fcntl.h>

namespace fernwick::duplicates {
namespace {

// Spreads the bits of `x` (a finaliser of a well-known 64-bit mixing function): for grouping
// only, never to decide that two files are equal.
constexpr std::uint64_t mixBits(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

} // namespace

bool DuplicateSearch::firstPass(DuplicateResolutionRule rule) {
    std::vector<std::pair<std::int64_t, std::size_t>> wholeJobs; // bytes, size group
    for (std::size_t g = 0; g < m_sizeGroups.size(); ++g) {
        if (m_wholeGroup[g]) {
            const auto files = static_cast<std::int64_t>(m_sizeGroups[g].size());
            wholeJobs.emplace_back(m_candidates[m_sizeGroups[g].front()].size * files, g);
        }
    }
    std::stable_sort(wholeJobs.begin(), wholeJobs.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    const auto folders = folderJobs();
    m_clustersBySizeGroup.resize(m_sizeGroups.size());
    forEachIndex<WorkerState>(wholeJobs.size() + folders.size(), m_workers, m_cancel,
                              [&](std::size_t job, WorkerState& state) {
                                  if (job < wholeJobs.size()) {
                                      compareWholeGroup(wholeJobs[job].second, rule, state);
                                  } else {
                                      hashFolders(folders[job - wholeJobs.size()], state);
                                  }
                              });
    if (stopped()) {
        return false;
    }
    // The groups of large files still to be read in full; the small files' first-pass
    // digests are final, and are grouped with the clusters.
    for (std::size_t g = 0; g < m_sizeGroups.size(); ++g) {
        if (!m_wholeGroup[g] && m_candidates[m_sizeGroups[g].front()].size > kWholeReadLimit) {
            for (auto& group : groupByPartialDigest(m_sizeGroups[g])) {
                m_partialGroups.push_back(std::move(group));
                m_partialGroupSizeGroup.push_back(g);
            }
        }
    }
    return true;
}

std::vector<std::vector<std::size_t>>
DuplicateSearch::groupByPartialDigest(const std::vector<std::size_t>& sizeGroup) const {
    std::vector<std::size_t> hashed;
    std::copy_if(sizeGroup.begin(), sizeGroup.end(), std::back_inserter(hashed),
                 [&](std::size_t i) { return m_candidates[i].partial.has_value(); });
    return groupInOrder<Digest, DigestHash>(
        hashed, [&](std::size_t i) { return *m_candidates[i].partial; });
}

void DuplicateSearch::compareWholeGroup(std::size_t sizeGroup, DuplicateResolutionRule rule,
                                        WorkerState& state) {
    const std::vector<std::size_t>& group = m_sizeGroups[sizeGroup];
    std::vector<OpenFile> open;
    std::vector<std::size_t> hashed; // indices into `open`
    for (std::size_t i : group) {
        Candidate& file = m_candidates[i];
        file.path = file.node->path();
        UniqueFd fd = m_reader.openRegular(file.path, *file.node);
        if (fd.get() < 0) {
            continue;
        }
        file.partial = partialDigest(m_reader, file.path, fd.get(), file.size, state);
        if (file.partial) {
            hashed.push_back(open.size());
            open.push_back(OpenFile{&file, std::move(fd)});
        }
    }
    for (const auto& agreeing : groupInOrder<Digest, DigestHash>(
             hashed, [&](std::size_t k) { return *open[k].candidate->partial; })) {
        if (stopped()) {
            return;
        }
        std::vector<OpenFile> files;
        std::vector<std::size_t> members; // candidate indices, in tree order
        for (std::size_t k : agreeing) {
            announceFullHash(*open[k].candidate);
            members.push_back(static_cast<std::size_t>(open[k].candidate - m_candidates.data()));
            files.push_back(std::move(open[k]));
        }
        compareSideBySide(m_reader, files, m_candidates[group.front()].size, state, m_cancel);
        appendClusters(m_candidates, members, rule, m_clustersBySizeGroup[sizeGroup]);
    }
}

std::vector<std::vector<std::vector<std::size_t>>> DuplicateSearch::folderJobs() const {
    std::vector<std::vector<std::size_t>> byFolder;
    std::vector<std::uint64_t> signatures;
    std::vector<std::uint32_t> slot(static_cast<std::size_t>(m_folderCount) + 1, kNoFolder);
    for (std::size_t i : m_toPartialHash) {
        const Candidate& file = m_candidates[i];
        std::uint32_t& index = slot[file.folder == kNoFolder ? m_folderCount : file.folder];
        if (index == kNoFolder) {
            index = static_cast<std::uint32_t>(byFolder.size());
            byFolder.emplace_back();
            signatures.push_back(0);
        }
        byFolder[index].push_back(i);
        if (file.size <= kWholeReadLimit) {
            // A sum, so that the order of the files does not matter.
            signatures[index] += mixBits(std::hash<std::string_view>{}(file.node->name()) ^
                                         mixBits(static_cast<std::uint64_t>(file.size)));
        }
    }
    std::vector<std::vector<std::vector<std::size_t>>> jobs;
    std::unordered_map<std::uint64_t, std::size_t> jobOfSignature;
    for (std::size_t f = 0; f < byFolder.size(); ++f) {
        if (signatures[f] != 0) {
            const auto [it, inserted] = jobOfSignature.try_emplace(signatures[f], jobs.size());
            if (!inserted && jobs[it->second].size() < kMaxSideBySide) {
                jobs[it->second].push_back(std::move(byFolder[f]));
                continue;
            }
            it->second = jobs.size();
        }
        jobs.emplace_back().push_back(std::move(byFolder[f]));
    }
    // The jobs with the most files first, so that a large one does not finish alone.
    std::vector<std::pair<std::size_t, std::size_t>> order; // files, job
    order.reserve(jobs.size());
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        std::size_t files = 0;
        for (const auto& folder : jobs[j]) {
            files += folder.size();
        }
        order.emplace_back(files, j);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::vector<std::vector<std::size_t>>> sorted;
    sorted.reserve(jobs.size());
    for (const auto& entry : order) {
        sorted.push_back(std::move(jobs[entry.second]));
    }
    return sorted;
}

OpenedFolder DuplicateSearch::openFolder(const std::vector<std::size_t>& files, bool open) {
    for (std::size_t i : files) {
        m_candidates[i].path = m_candidates[i].node->path();
    }
    const std::string& first = m_candidates[files.front()].path;
    const std::size_t slash = first.rfind('/');
    if (slash == std::string::npos || !open) {
        return OpenedFolder{UniqueFd(), {}};
    }
    std::string text = first.substr(0, slash);
    const int fd = ::open(slash == 0 ? "/" : text.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return OpenedFolder{UniqueFd(fd), std::move(text)};
}

void DuplicateSearch::hashFiles(const std::vector<std::size_t>& files, const OpenedFolder& folder,
                                WorkerState& state) {
    for (std::size_t i : files) {
        if (stopped()) {
            return;
        }
        Candidate& file = m_candidates[i];
        const auto [directory, name] = folder.locate(file.path);
        file.partial = partialHash(m_reader, file.path, *file.node, state, directory, name);
    }
}

void DuplicateSearch::hashFolders(const std::vector<std::vector<std::size_t>>& folders,
                                  WorkerState& state) {
    if (folders.size() == 1) {
        hashFiles(folders[0], openFolder(folders[0], folders[0].size() > 1), state);
        return;
    }
    std::vector<OpenedFolder> opened;
    opened.reserve(folders.size());
    std::vector<std::vector<std::size_t>> small(folders.size());
    const auto byNameAndSize = [this](std::size_t a, std::size_t b) {
        return std::pair(std::string_view(m_candidates[a].node->name()), m_candidates[a].size) <
               std::pair(std::string_view(m_candidates[b].node->name()), m_candidates[b].size);
    };
    for (std::size_t j = 0; j < folders.size(); ++j) {
        opened.push_back(openFolder(folders[j], true));
        std::vector<std::size_t> large;
        for (std::size_t i : folders[j]) {
            (m_candidates[i].size <= kWholeReadLimit ? small[j] : large).push_back(i);
        }
        hashFiles(large, opened[j], state);
        std::sort(small[j].begin(), small[j].end(), byNameAndSize);
    }
    // The folders whose files pair with the first folder's by name and size; any other
    // (a signature shared by chance) is hashed alone.
    std::vector<std::size_t> twins{0};
    for (std::size_t j = 1; j < folders.size(); ++j) {
        if (std::equal(small[0].begin(), small[0].end(), small[j].begin(), small[j].end(),
                       [&](std::size_t a, std::size_t b) {
                           return !byNameAndSize(a, b) && !byNameAndSize(b, a);
                       })) {
            twins.push_back(j);
        } else {
            hashFiles(small[j], opened[j], state);
        }
    }
    std::vector<const OpenedFolder*> twinFolders;
    twinFolders.reserve(twins.size());
    std::vector<std::size_t> files(twins.size());
    for (std::size_t j : twins) {
        twinFolders.push_back(&opened[j]);
    }
    for (std::size_t k = 0; k < small[0].size() && !stopped(); ++k) {
        for (std::size_t t = 0; t < twins.size(); ++t) {
            files[t] = small[twins[t]][k];
        }
        hashEqualSized(files, twinFolders, state);
    }
}

void DuplicateSearch::hashEqualSized(const std::vector<std::size_t>& files,
                                     const std::vector<const OpenedFolder*>& folders,
                                     WorkerState& state) {
    if (state.chunks.size() < files.size()) {
        state.chunks.resize(files.size(), std::vector<unsigned char>(kFullBufferSize + 1));
    }
    std::vector<std::size_t> read; // positions in `files` read whole
    for (std::size_t t = 0; t < files.size(); ++t) {
        Candidate& file = m_candidates[files[t]];
        const auto [directory, name] = folders[t]->locate(file.path);
        const UniqueFd fd = m_reader.openRegular(file.path, *file.node, directory, name);
        if (fd.get() >= 0 &&
            readWhole(m_reader, file.path, fd.get(), state.chunks[t].data(), file.size)) {
            read.push_back(t);
        }
    }
    const auto size = static_cast<std::size_t>(m_candidates[files.front()].size);
    while (!read.empty()) {
        const unsigned char* bytes = state.chunks[read.front()].data();
        state.digest.reset();
        state.digest.update(bytes, size);
        const Digest digest = state.digest.finish();
        std::erase_if(read, [&](std::size_t t) {
            if (std::memcmp(state.chunks[t].data(), bytes, size) != 0) {
                return false;
            }
            m_candidates[files[t]].partial = digest;
            return true;
        });
    }
}

} // namespace fernwick::duplicates
