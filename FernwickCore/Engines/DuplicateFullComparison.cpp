#include "FernwickCore/Engines/DuplicateSearch.h"

#include "FernwickCore/Platform/WorkerPool.h"

#include <memory>

namespace fernwick::duplicates {
namespace {

constexpr std::int64_t kLargeFile = 1 << 20;
constexpr std::size_t kLargeChunk = 262144;
constexpr std::size_t kLargeChunkFiles = 8;

// Files whose bytes have agreed so far, and the digest of those bytes.
struct EqualSet {
    std::vector<std::size_t> files; // indices into the open files and the worker's chunks
    Sha256* digest;
};

// Where the chunk being compared lies in the files.
struct ChunkPlace {
    std::int64_t position;
    std::size_t length;
    bool last; // the file's last chunk
};

// The chunk size for `fileCount` files of `size` bytes; the worker's chunk buffers made large
// enough for it, each one byte longer to see the end of the file in the same call.
std::size_t prepareChunks(WorkerState& state, std::size_t fileCount, std::int64_t size) {
    // Files of a megabyte or more, a few at a time, are read in larger chunks: a quarter of the
    // calls for the same bytes.
    const std::size_t chunkSize =
        size >= kLargeFile && fileCount <= kLargeChunkFiles ? kLargeChunk : kFullBufferSize;
    if (state.chunks.size() < fileCount) {
        state.chunks.resize(fileCount);
    }
    for (std::size_t i = 0; i < fileCount; ++i) {
        if (state.chunks[i].size() < chunkSize + 1) {
            state.chunks[i].resize(chunkSize + 1);
        }
    }
    return chunkSize;
}

// Reads the chunk at `place` of each file of `set` and splits the set by the bytes read. Only
// parts of two or more files go on; their digests are still to be set.
std::vector<EqualSet> splitByChunk(const FileReader& reader, const std::vector<OpenFile>& files,
                                   const EqualSet& set, WorkerState& state,
                                   const ChunkPlace& place) {
    std::vector<EqualSet> parts;
    for (std::size_t file : set.files) {
        unsigned char* chunk = state.chunks[file].data();
        if (!readChunk(reader, files[file].candidate->path, files[file].fd.get(), chunk,
                       place.position, place.length, place.last)) {
            continue; // failed, or not the file the tree described: left out
        }
        auto same = std::find_if(parts.begin(), parts.end(), [&](const EqualSet& part) {
            return std::memcmp(state.chunks[part.files.front()].data(), chunk, place.length) == 0;
        });
        if (same == parts.end()) {
            parts.push_back(EqualSet{{file}, nullptr});
        } else {
            same->files.push_back(file);
        }
    }
    std::erase_if(parts, [](const EqualSet& part) { return part.files.size() < 2; });
    return parts;
}

// Each part of a set continues from `digest`, the digest of the bytes before this chunk: the
// first takes it over, the others start from copies (owned by `extraDigests`); then each takes
// in the chunk's `length` bytes.
void continueDigests(std::vector<EqualSet>& parts, Sha256* digest,
                     std::vector<std::unique_ptr<Sha256>>& extraDigests, const WorkerState& state,
                     std::size_t length) {
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k == 0) {
            parts[k].digest = digest;
            continue;
        }
        extraDigests.push_back(std::make_unique<Sha256>());
        extraDigests.back()->copyStateFrom(*digest);
        parts[k].digest = extraDigests.back().get();
    }
    for (EqualSet& part : parts) {
        part.digest->update(state.chunks[part.files.front()].data(), length);
    }
}

} // namespace

std::vector<OpenFile> openAll(const FileReader& reader, const std::vector<Candidate*>& members) {
    std::vector<OpenFile> files;
    files.reserve(members.size());
    for (Candidate* candidate : members) {
        UniqueFd fd = reader.openRegular(candidate->path, *candidate->node);
        if (fd.get() >= 0) {
            files.push_back(OpenFile{candidate, std::move(fd)});
        }
    }
    return files;
}

void compareSideBySide(const FileReader& reader, const std::vector<OpenFile>& files,
                       std::int64_t size, WorkerState& state, const std::stop_token& cancel) {
    const std::size_t chunkSize = prepareChunks(state, files.size(), size);
    std::vector<std::unique_ptr<Sha256>> extraDigests;
    state.digest.reset();
    std::vector<EqualSet> sets;
    if (files.size() >= 2) {
        sets.push_back(EqualSet{{}, &state.digest});
        for (std::size_t i = 0; i < files.size(); ++i) {
            sets[0].files.push_back(i);
        }
    }
    for (std::int64_t position = 0; position < size && !sets.empty();) {
        if (cancel.stop_requested()) {
            return;
        }
        const auto length = static_cast<std::size_t>(
            std::min(static_cast<std::int64_t>(chunkSize), size - position));
        const bool last = position + static_cast<std::int64_t>(length) == size;
        std::vector<EqualSet> next;
        for (const EqualSet& set : sets) {
            std::vector<EqualSet> parts =
                splitByChunk(reader, files, set, state, ChunkPlace{position, length, last});
            continueDigests(parts, set.digest, extraDigests, state, length);
            for (EqualSet& part : parts) {
                next.push_back(std::move(part));
            }
        }
        sets = std::move(next);
        position += static_cast<std::int64_t>(length);
    }
    for (const EqualSet& set : sets) {
        const Digest digest = set.digest->finish();
        for (std::size_t file : set.files) {
            files[file].candidate->full = digest;
        }
    }
}

void DuplicateSearch::announceFullHash(const Candidate& file) const {
    if (m_options.beforeFullHash) {
        m_options.beforeFullHash(file.path);
    }
}

bool DuplicateSearch::secondPass() {
    struct Job {
        const std::vector<std::size_t>* group = nullptr; // side by side
        std::size_t file = 0;                            // when group is null
        std::int64_t bytes = 0;
    };
    std::vector<Job> jobs;
    for (const auto& group : m_partialGroups) {
        const std::int64_t size = m_candidates[group.front()].size;
        if (group.size() <= kMaxSideBySide) {
            jobs.push_back(Job{&group, 0, size * static_cast<std::int64_t>(group.size())});
        } else {
            for (std::size_t i : group) {
                jobs.push_back(Job{nullptr, i, size});
            }
        }
    }
    std::stable_sort(jobs.begin(), jobs.end(),
                     [](const Job& a, const Job& b) { return a.bytes > b.bytes; });
    forEachIndex<WorkerState>(jobs.size(), m_workers, m_cancel,
                              [&](std::size_t index, WorkerState& state) {
                                  const Job& job = jobs[index];
                                  if (job.group == nullptr) {
                                      Candidate& file = m_candidates[job.file];
                                      announceFullHash(file);
                                      file.full = fullHash(m_reader, file.path, *file.node, state);
                                      return;
                                  }
                                  std::vector<Candidate*> members;
                                  for (std::size_t i : *job.group) {
                                      members.push_back(&m_candidates[i]);
                                      announceFullHash(m_candidates[i]);
                                  }
                                  compareSideBySide(m_reader, openAll(m_reader, members),
                                                    members.front()->size, state, m_cancel);
                              });
    return !stopped();
}

} // namespace fernwick::duplicates
