#include "FernwickCore/Engines/DuplicateFinderEngine.h"

#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickCore/Platform/Sha256.h"
#include "FernwickCore/Platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace fernwick {
namespace {

constexpr std::array<DuplicateResolutionRule, 3> kAllRules = {DuplicateResolutionRule::keepOldest,
                                                              DuplicateResolutionRule::keepNewest,
                                                              DuplicateResolutionRule::unselectAll};

// The first pass reads the first and the last 4,096 bytes of a file, or the whole file when it
// fits one 64 KiB read; only files whose first-pass digests collide are read in full, 64 KiB at
// a time.
constexpr std::size_t kPartialChunk = 4096;
constexpr std::size_t kFullBufferSize = 65536;
constexpr auto kWholeReadLimit = static_cast<std::int64_t>(kFullBufferSize);

/// An open file descriptor, closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

/// Reads the files of one call through the configured read function.
class FileReader {
public:
    explicit FileReader(const DuplicateFinderEngine::ReadFunction& read) : m_read(read) {}

    // O_NONBLOCK: a node that has become a FIFO or a device since the scan must never block the
    // open; such a node is then refused, since only a regular file of the size the tree
    // recorded can be compared by its bytes.
    //
    // O_NOFOLLOW, and the device and inode compared with the node's (when it has them): a
    // file replaced since the scan, by a link to another file or by a new file, is not the file
    // the tree describes, and comparing it could select the only real copy for cleanup.
    //
    // `directory` and `name`, when given, name the same file relative to an open folder, which
    // spares the kernel the walk down the whole path for every file of that folder.
    FileDescriptor openRegular(const std::string& file, const DiskNode& node, int directory = -1,
                               const char* name = nullptr) const {
        constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;
        FileDescriptor fd(directory >= 0 ? ::openat(directory, name, kFlags)
                                         : ::open(file.c_str(), kFlags));
        struct stat info {};
        if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size != node.size ||
            (node.inode != 0 && static_cast<std::uint64_t>(info.st_ino) != node.inode) ||
            (node.deviceID != 0 && static_cast<std::uint64_t>(info.st_dev) != node.deviceID)) {
            return FileDescriptor(-1);
        }
        return fd;
    }

    ssize_t readAt(const std::string& file, int fd, unsigned char* buffer, std::size_t length,
                   off_t offset) const {
        for (;;) {
            const ssize_t got = m_read ? m_read(file, fd, buffer, length, offset)
                                       : ::pread(fd, buffer, length, offset);
            if (got >= 0 || errno != EINTR) {
                return got;
            }
        }
    }

private:
    const DuplicateFinderEngine::ReadFunction& m_read;
};

using Digest = Sha256::Digest;

/// What one worker thread reuses from file to file.
struct WorkerState {
    // One byte longer than a chunk, so that a whole-file read sees the end in the same call.
    std::vector<unsigned char> buffer = std::vector<unsigned char>(kFullBufferSize + 1);
    Sha256 digest;
    /// One buffer per file of the group being compared (each one byte longer than a chunk, to
    /// see the end of the file in the same call).
    std::vector<std::vector<unsigned char>> chunks;
};

struct DigestHash {
    std::size_t operator()(const Digest& digest) const noexcept {
        std::size_t h = 0;
        std::memcpy(&h, digest.data(), sizeof h);
        return h;
    }
};

// Feeds `length` bytes from `offset` on into the digest, in buffer-sized reads. With
// `toEnd`, `offset + length` must be the end of the file: a file that grew since it was
// measured is refused too. A regular file returns fewer bytes than asked for only at its end,
// so a short read that lands on the expected size ends the file without one more call.
bool hashRange(const FileReader& reader, const std::string& file, int fd, WorkerState& state,
               std::int64_t offset, std::int64_t length, bool toEnd) {
    const std::int64_t end = offset + length;
    std::int64_t position = offset;
    for (;;) {
        const std::int64_t wanted = std::min<std::int64_t>(
            static_cast<std::int64_t>(state.buffer.size()), end - position + (toEnd ? 1 : 0));
        if (wanted == 0) {
            return true;
        }
        const ssize_t got = reader.readAt(file, fd, state.buffer.data(),
                                          static_cast<std::size_t>(wanted), position);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return position == end;
        }
        if (position + got > end) {
            return false; // grew
        }
        state.digest.update(state.buffer.data(), static_cast<std::size_t>(got));
        position += got;
        if (position == end && (!toEnd || got < wanted)) {
            return true;
        }
    }
}

// The first-pass digest: the head and the tail of the file; a small file whole, since its
// whole content costs little more than the head and the tail, and its digest is then final.
// Reads a whole file of `size` bytes, at most kWholeReadLimit, into `buffer`, which holds one
// byte more: a file that grew is refused, and a short read that lands on the expected size ends
// the file without one more call.
bool readWhole(const FileReader& reader, const std::string& file, int fd, unsigned char* buffer,
               std::int64_t size) {
    std::int64_t done = 0;
    for (;;) {
        const ssize_t got =
            reader.readAt(file, fd, buffer + done, static_cast<std::size_t>(size + 1 - done), done);
        if (got <= 0) {
            return got == 0 && done == size;
        }
        done += got;
        if (done >= size) {
            return done == size;
        }
    }
}

std::optional<Digest> partialDigest(const FileReader& reader, const std::string& file, int fd,
                                    std::int64_t size, WorkerState& state) {
    state.digest.reset();
    bool complete = false;
    if (size <= kWholeReadLimit) {
        complete = readWhole(reader, file, fd, state.buffer.data(), size);
        if (complete) {
            state.digest.update(state.buffer.data(), static_cast<std::size_t>(size));
        }
    } else {
        const auto chunk = static_cast<std::int64_t>(kPartialChunk);
        complete = hashRange(reader, file, fd, state, 0, chunk, false) &&
                   hashRange(reader, file, fd, state, size - chunk, chunk, false);
    }
    if (!complete) {
        return std::nullopt;
    }
    return state.digest.finish();
}

std::optional<Digest> partialHash(const FileReader& reader, const std::string& file,
                                  const DiskNode& node, WorkerState& state, int directory,
                                  const char* name) {
    const FileDescriptor fd = reader.openRegular(file, node, directory, name);
    if (fd.get() < 0) {
        return std::nullopt;
    }
    return partialDigest(reader, file, fd.get(), node.size, state);
}

std::optional<Digest> fullHash(const FileReader& reader, const std::string& file,
                               const DiskNode& node, WorkerState& state) {
    const FileDescriptor fd = reader.openRegular(file, node);
    const std::int64_t size = node.size;
    if (fd.get() < 0) {
        return std::nullopt;
    }
    state.digest.reset();
    // A file that shrank or grew while it was read is not the file the tree described.
    if (!hashRange(reader, file, fd.get(), state, 0, size, true)) {
        return std::nullopt;
    }
    return state.digest.finish();
}

// Fills `buffer` with exactly `length` bytes at `position`. For the last chunk of a file one
// byte more is asked for: getting it means the file grew; a short read means its end.
bool readChunk(const FileReader& reader, const std::string& file, int fd, unsigned char* buffer,
               std::int64_t position, std::size_t length, bool last) {
    const std::size_t ask = length + (last ? 1 : 0);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            reader.readAt(file, fd, buffer + done, ask - done, position + static_cast<off_t>(done));
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return done == length;
}

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

/// The folder of a first-pass job, open for the files that lie in it.
struct OpenedFolder {
    FileDescriptor fd;
    std::string text; // the folder's path

    // The folder and the name to open `path` with: relative to this folder when the path lies
    // in it; otherwise (a tree put together by hand may say so) the whole path.
    std::pair<int, const char*> locate(const std::string& path) const {
        const std::size_t nameStart = path.rfind('/') + 1;
        if (fd.get() >= 0 && nameStart == text.size() + 1 && path.starts_with(text)) {
            return {fd.get(), path.c_str() + nameStart};
        }
        return {-1, path.c_str()};
    }
};

// Marks a candidate without a parent folder in the tree (the root itself).
constexpr std::uint32_t kNoFolder = UINT32_MAX;

struct Candidate {
    const DiskNode* node;
    // Copied from the node while the walk has it at hand: the grouping phases then read one
    // array instead of nodes spread over the heap.
    std::int64_t size = 0;
    std::uint64_t inode = 0;
    std::uint64_t deviceID = 0;
    /// The folder holding the file, numbered in walk order; kNoFolder for the root.
    std::uint32_t folder = kNoFolder;
    /// Filled in by the first pass, for the files it reads.
    std::string path;
    std::optional<Digest> partial;
    std::optional<Digest> full;
};

// Files of one size whose first-pass digests agree are read side by side, one chunk of each
// at a time, and split wherever their bytes differ. A file whose bytes so far match no other
// file's cannot be a duplicate and is read no further, and each set of files that agree to
// the end is digested once, not once per file: the result is that of hashing every file, for
// about half the hashing work on pairs. Larger groups than this are hashed file by file, so
// that a group never holds more than this many files open.
constexpr std::size_t kMaxSideBySide = 32;
constexpr std::int64_t kLargeFile = 1 << 20;
constexpr std::size_t kLargeChunk = 262144;
constexpr std::size_t kLargeChunkFiles = 8;

struct OpenFile {
    Candidate* candidate;
    FileDescriptor fd;
};

// The members that open as the files the tree describes.
std::vector<OpenFile> openAll(const FileReader& reader, const std::vector<Candidate*>& members) {
    std::vector<OpenFile> files;
    files.reserve(members.size());
    for (Candidate* candidate : members) {
        FileDescriptor fd = reader.openRegular(candidate->path, *candidate->node);
        if (fd.get() >= 0) {
            files.push_back(OpenFile{candidate, std::move(fd)});
        }
    }
    return files;
}

// NOLINTNEXTLINE(readability-function-cognitive-complexity): written before the limit
void compareSideBySide(const FileReader& reader, const std::vector<OpenFile>& files,
                       std::int64_t size, WorkerState& state, const std::stop_token& cancel) {
    // Files of a megabyte or more, a few at a time, are read in larger chunks: a quarter of the
    // calls for the same bytes.
    const std::size_t chunkSize =
        size >= kLargeFile && files.size() <= kLargeChunkFiles ? kLargeChunk : kFullBufferSize;
    if (state.chunks.size() < files.size()) {
        state.chunks.resize(files.size());
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (state.chunks[i].size() < chunkSize + 1) {
            state.chunks[i].resize(chunkSize + 1);
        }
    }
    struct Set {
        std::vector<std::size_t> files; // indices into `files` and `state.chunks`
        Sha256* digest;
    };
    std::vector<std::unique_ptr<Sha256>> extraDigests;
    state.digest.reset();
    std::vector<Set> sets;
    if (files.size() >= 2) {
        sets.push_back(Set{{}, &state.digest});
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
        std::vector<Set> next;
        for (Set& set : sets) {
            std::vector<Set> parts;
            for (std::size_t file : set.files) {
                unsigned char* chunk = state.chunks[file].data();
                if (!readChunk(reader, files[file].candidate->path, files[file].fd.get(), chunk,
                               position, length, last)) {
                    continue; // failed, or not the file the tree described: left out
                }
                auto same = std::find_if(parts.begin(), parts.end(), [&](const Set& part) {
                    return std::memcmp(state.chunks[part.files.front()].data(), chunk, length) == 0;
                });
                if (same == parts.end()) {
                    parts.push_back(Set{{file}, nullptr});
                } else {
                    same->files.push_back(file);
                }
            }
            // Only sets of two or more go on. Each continues from the digest of the bytes
            // before this chunk: the first takes it over, the others start from copies.
            std::erase_if(parts, [](const Set& part) { return part.files.size() < 2; });
            for (std::size_t k = 0; k < parts.size(); ++k) {
                if (k == 0) {
                    parts[k].digest = set.digest;
                    continue;
                }
                extraDigests.push_back(std::make_unique<Sha256>());
                extraDigests.back()->copyStateFrom(*set.digest);
                parts[k].digest = extraDigests.back().get();
            }
            for (Set& part : parts) {
                part.digest->update(state.chunks[part.files.front()].data(), length);
                next.push_back(std::move(part));
            }
        }
        sets = std::move(next);
        position += static_cast<std::int64_t>(length);
    }
    for (const Set& set : sets) {
        const Digest digest = set.digest->finish();
        for (std::size_t file : set.files) {
            files[file].candidate->full = digest;
        }
    }
}

/// Groups `members` by `key(member)`, keeping groups in the order of their first member and
/// members in their given order; groups of fewer than two are dropped.
template <typename Key, typename Hash = std::hash<Key>, typename KeyOf>
std::vector<std::vector<std::size_t>> groupInOrder(const std::vector<std::size_t>& members,
                                                   KeyOf&& key) {
    std::vector<std::vector<std::size_t>> groups;
    if (members.size() < 2) {
        return groups;
    }
    // Most groups agree throughout (true duplicates): no map needed for those.
    const Key first = key(members.front());
    if (std::all_of(members.begin() + 1, members.end(),
                    [&](std::size_t member) { return key(member) == first; })) {
        groups.push_back(members);
        return groups;
    }
    std::unordered_map<Key, std::size_t, Hash> index;
    for (std::size_t member : members) {
        const auto [it, inserted] = index.try_emplace(key(member), groups.size());
        if (inserted) {
            groups.emplace_back();
        }
        groups[it->second].push_back(member);
    }
    std::erase_if(groups, [](const auto& group) { return group.size() < 2; });
    return groups;
}

/// The cluster of `group` (candidate indices, oldest first): the oldest is the original; the
/// rule decides which items are proposed for cleanup. Takes the candidates' paths.
DuplicateCluster makeCluster(std::vector<Candidate>& candidates,
                             const std::vector<std::size_t>& group, DuplicateResolutionRule rule) {
    DuplicateCluster cluster{Uuid::random(),
                             candidates[group.front()].node->size,
                             Sha256::toHex(*candidates[group.front()].full),
                             {}};
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
            candidate.node->modifiedDate, false, candidate.node->inode, position == 0, selected});
    }
    return cluster;
}

/// Appends the clusters of one first-pass group (candidate indices in tree order) to `out`:
/// its files grouped by their full digests, each cluster oldest first.
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

/// One call of findDuplicates, phase by phase. Candidates are kept in tree order (the root, then
/// its descendants depth first); every later list holds indices into them.
class DuplicateSearch {
public:
    DuplicateSearch(const DuplicateFinderEngine::Options& options, std::stop_token cancel)
        : m_options(options), m_reader(options.read), m_cancel(std::move(cancel)),
          m_workers(options.workerCount > 0 ? options.workerCount
                                            : std::max(1U, std::thread::hardware_concurrency())) {}

    // 1. The files at or under `root` that are neither folders nor packages and hold at least
    // `minFileSize` bytes.
    [[nodiscard]] bool collectCandidates(const DiskNode& root, std::int64_t minFileSize) {
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

    // 2. Groups of two or more files of one size, in the order of their first file.
    [[nodiscard]] bool groupBySize() {
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

    // 3. Hard links: the first link met stands for the file. Inode 0 means "unknown". Groups of
    // files too large to read whole in the first pass, and few enough to hold open together,
    // are compared as whole groups there; the others are hashed folder by folder.
    [[nodiscard]] bool collapseHardLinks() {
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
            if (m_candidates[group.front()].size > kWholeReadLimit &&
                group.size() <= kMaxSideBySide) {
                m_wholeGroup[g] = true;
            } else {
                m_toPartialHash.insert(m_toPartialHash.end(), group.begin(), group.end());
            }
        }
        return true;
    }

    // 4. First pass. Whole groups of large files, the most bytes first, so that a few large
    // files do not finish alone after everything else; then the other files, several folders
    // at once, the files of one folder opened relative to it. Equal content means equal
    // first-pass digests, so a file whose digest no other file of its size shares can be in no
    // cluster (every file of a size group is hashed the same way).
    [[nodiscard]] bool firstPass(DuplicateResolutionRule rule) {
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

    // 5. Full pass over the groups whose first pass did not already read them whole: side by
    // side, or file by file for very large groups. The jobs that read the most start first.
    [[nodiscard]] bool secondPass() {
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
        forEachIndex<WorkerState>(
            jobs.size(), m_workers, m_cancel, [&](std::size_t index, WorkerState& state) {
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
                compareSideBySide(m_reader, openAll(m_reader, members), members.front()->size,
                                  state, m_cancel);
            });
        return !stopped();
    }

    // 6. Clusters, oldest first within each; built for several groups at once (each item parses
    // its path), then taken in group order.
    [[nodiscard]] bool buildClusters(DuplicateResolutionRule rule) {
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

    // 7. Largest recoverable size first; equal sizes keep their order.
    std::vector<DuplicateCluster> largestRecoverableFirst() {
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

private:
    bool stopped() const { return m_cancel.stop_requested(); }

    // The members of a size group whose first-pass digests another member shares, by digest.
    std::vector<std::vector<std::size_t>>
    groupByPartialDigest(const std::vector<std::size_t>& sizeGroup) const {
        std::vector<std::size_t> hashed;
        std::copy_if(sizeGroup.begin(), sizeGroup.end(), std::back_inserter(hashed),
                     [&](std::size_t i) { return m_candidates[i].partial.has_value(); });
        return groupInOrder<Digest, DigestHash>(
            hashed, [&](std::size_t i) { return *m_candidates[i].partial; });
    }

    void announceFullHash(const Candidate& file) const {
        if (m_options.beforeFullHash) {
            m_options.beforeFullHash(file.path);
        }
    }

    // A size group of large files as one job: each file is opened once, by its whole path, and
    // stays open from its first-pass digest to the side-by-side comparison of the files whose
    // first-pass digests agree; the group's clusters are built here too.
    void compareWholeGroup(std::size_t sizeGroup, DuplicateResolutionRule rule,
                           WorkerState& state) {
        const std::vector<std::size_t>& group = m_sizeGroups[sizeGroup];
        std::vector<OpenFile> open;
        std::vector<std::size_t> hashed; // indices into `open`
        for (std::size_t i : group) {
            Candidate& file = m_candidates[i];
            file.path = file.node->path();
            FileDescriptor fd = m_reader.openRegular(file.path, *file.node);
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
                members.push_back(
                    static_cast<std::size_t>(open[k].candidate - m_candidates.data()));
                files.push_back(std::move(open[k]));
            }
            compareSideBySide(m_reader, files, m_candidates[group.front()].size, state, m_cancel);
            appendClusters(m_candidates, members, rule, m_clustersBySizeGroup[sizeGroup]);
        }
    }

    // The files to hash first, by the folder holding them in the tree, folders in the order of
    // their first file; then the folders as jobs. Folders whose small files have the same
    // names and sizes (copies of one folder, most often) share a job of up to kMaxSideBySide
    // folders, so that their files can be compared with each other.
    std::vector<std::vector<std::vector<std::size_t>>> folderJobs() const {
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

    // Fills in the paths of `files` (here, on the workers) and opens the folder of the first.
    OpenedFolder openFolder(const std::vector<std::size_t>& files, bool open) {
        for (std::size_t i : files) {
            m_candidates[i].path = m_candidates[i].node->path();
        }
        const std::string& first = m_candidates[files.front()].path;
        const std::size_t slash = first.rfind('/');
        if (slash == std::string::npos || !open) {
            return OpenedFolder{FileDescriptor(-1), {}};
        }
        std::string text = first.substr(0, slash);
        const int fd = ::open(slash == 0 ? "/" : text.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        return OpenedFolder{FileDescriptor(fd), std::move(text)};
    }

    void hashFiles(const std::vector<std::size_t>& files, const OpenedFolder& folder,
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

    void hashFolders(const std::vector<std::vector<std::size_t>>& folders, WorkerState& state) {
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

    // Reads the equal-sized small `files` (`folders[t]` holding `files[t]`) whole, side by side,
    // and gives each set of byte-identical ones the digest of its content, computed once.
    void hashEqualSized(const std::vector<std::size_t>& files,
                        const std::vector<const OpenedFolder*>& folders, WorkerState& state) {
        if (state.chunks.size() < files.size()) {
            state.chunks.resize(files.size(), std::vector<unsigned char>(kFullBufferSize + 1));
        }
        std::vector<std::size_t> read; // positions in `files` read whole
        for (std::size_t t = 0; t < files.size(); ++t) {
            Candidate& file = m_candidates[files[t]];
            const auto [directory, name] = folders[t]->locate(file.path);
            const FileDescriptor fd = m_reader.openRegular(file.path, *file.node, directory, name);
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

    const DuplicateFinderEngine::Options& m_options;
    const FileReader m_reader;
    const std::stop_token m_cancel;
    const unsigned m_workers;
    std::vector<Candidate> m_candidates;
    std::uint32_t m_folderCount = 0;
    std::vector<std::vector<std::size_t>> m_sizeGroups;
    std::vector<std::size_t> m_toPartialHash;
    /// Per size group: compared as a whole group in the first pass.
    std::vector<bool> m_wholeGroup;
    /// Per size group: the clusters its whole-group job built.
    std::vector<std::vector<DuplicateCluster>> m_clustersBySizeGroup;
    std::vector<std::vector<std::size_t>> m_partialGroups;
    /// Per first-pass group: the size group it came from.
    std::vector<std::size_t> m_partialGroupSizeGroup;
    std::vector<DuplicateCluster> m_clusters;
};

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
    DuplicateSearch search(m_options, std::move(cancel));
    // Each phase returns false when it saw the cancellation.
    const bool finished = search.collectCandidates(*root, minFileSize) && search.groupBySize() &&
                          search.collapseHardLinks() && search.firstPass(autoSelectionRule) &&
                          search.secondPass() && search.buildClusters(autoSelectionRule);
    if (!finished) {
        return {};
    }
    return search.largestRecoverableFirst();
}

} // namespace fernwick
