#pragma once

// One call of the duplicate finder, phase by phase; internal to DuplicateFinderEngine. The phases
// live in their own files:
//   DuplicateSizeGroups.cpp       candidates, groups of one size, hard links collapsed
//   DuplicateFirstPass.cpp        the first-pass digest (head and tail, or a small file whole)
//   DuplicateFullComparison.cpp   files whose first-pass digests agree, read side by side
//   DuplicateClusters.cpp         clusters, oldest first, and their order
//   DuplicateFileReads.cpp        the reads and digests every phase uses
//
// Threads: one DuplicateSearch serves one call; its phases run one after the other on the
// calling thread and spread their jobs over worker threads, each job writing only the
// candidates it was given.

#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Platform/Sha256.h"
#include "FernwickCore/Platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fernwick::duplicates {

// The first pass reads the first and the last 4,096 bytes of a file, or the whole file when it
// fits one 64 KiB read; only files whose first-pass digests collide are read in full, 64 KiB at
// a time.
constexpr std::size_t kPartialChunk = 4096;
constexpr std::size_t kFullBufferSize = 65536;
constexpr auto kWholeReadLimit = static_cast<std::int64_t>(kFullBufferSize);

// Files of one size whose first-pass digests agree are read side by side, one chunk of each
// at a time, and split wherever their bytes differ. A file whose bytes so far match no other
// file's cannot be a duplicate and is read no further, and each set of files that agree to
// the end is digested once, not once per file: the result is that of hashing every file, for
// about half the hashing work on pairs. Larger groups than this are hashed file by file, so
// that a group never holds more than this many files open.
constexpr std::size_t kMaxSideBySide = 32;

// Marks a candidate without a parent folder in the tree (the root itself).
constexpr std::uint32_t kNoFolder = UINT32_MAX;

/// Reads the files of one call through the configured read function.
class FileReader {
public:
    explicit FileReader(const DuplicateFinderEngine::ReadFunction& read) : m_read(read) {}

    /// The file `file` (the path of `node`) opened for reading; an empty descriptor when it
    /// cannot be opened or is no longer the regular file of the size, device and inode the tree
    /// recorded. `directory` and `name`, when given, name the same file relative to an open
    /// folder.
    UniqueFd openRegular(const std::string& file, const DiskNode& node, int directory = -1,
                         const char* name = nullptr) const;

    /// pread(2) through the read function, again after EINTR.
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

/// Reads a whole file of `size` bytes, at most kWholeReadLimit, into `buffer`, which holds one
/// byte more: a file that grew is refused, and a short read that lands on the expected size
/// ends the file without one more call.
bool readWhole(const FileReader& reader, const std::string& file, int fd, unsigned char* buffer,
               std::int64_t size);
/// The first-pass digest of the open file `fd`: the head and the tail of the file; a small file
/// whole, since its whole content costs little more than the head and the tail, and its digest
/// is then final. nullopt when a read fails or the file is not `size` bytes long.
std::optional<Digest> partialDigest(const FileReader& reader, const std::string& file, int fd,
                                    std::int64_t size, WorkerState& state);
/// partialDigest of the file, opened here (relative to `directory` when it is given).
std::optional<Digest> partialHash(const FileReader& reader, const std::string& file,
                                  const DiskNode& node, WorkerState& state, int directory,
                                  const char* name);
/// The SHA-256 digest of the whole file; nullopt when it cannot be opened or read, or shrank or
/// grew while it was read.
std::optional<Digest> fullHash(const FileReader& reader, const std::string& file,
                               const DiskNode& node, WorkerState& state);
/// Fills `buffer` with exactly `length` bytes at `position`. For the last chunk of a file one
/// byte more is asked for: getting it means the file grew; a short read means its end.
bool readChunk(const FileReader& reader, const std::string& file, int fd, unsigned char* buffer,
               std::int64_t position, std::size_t length, bool last);

/// The folder of a first-pass job, open for the files that lie in it.
struct OpenedFolder {
    UniqueFd fd;
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

struct OpenFile {
    Candidate* candidate;
    UniqueFd fd;
};

/// The members that open as the files the tree describes.
std::vector<OpenFile> openAll(const FileReader& reader, const std::vector<Candidate*>& members);

/// Reads the equal-sized open `files` side by side and gives each set of byte-identical ones
/// the digest of its content (Candidate::full), computed once; a file that matches no other, or
/// fails, gets none. Returns early, leaving digests unset, when `cancel` is requested.
void compareSideBySide(const FileReader& reader, const std::vector<OpenFile>& files,
                       std::int64_t size, WorkerState& state, const std::stop_token& cancel);

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

/// Appends the clusters of one first-pass group (candidate indices in tree order) to `out`:
/// its files grouped by their full digests, each cluster oldest first. Takes the candidates'
/// paths.
void appendClusters(std::vector<Candidate>& candidates, const std::vector<std::size_t>& group,
                    DuplicateResolutionRule rule, std::vector<DuplicateCluster>& out);

/// One call of findDuplicates, phase by phase. Candidates are kept in tree order (the root, then
/// its descendants depth first); every later list holds indices into them. Each phase returns
/// false when it saw the cancellation.
class DuplicateSearch {
public:
    DuplicateSearch(const DuplicateFinderEngine::Options& options, std::stop_token cancel);

    // 1. The files at or under `root` that are neither folders nor packages and hold at least
    // `minFileSize` bytes.
    [[nodiscard]] bool collectCandidates(const DiskNode& root, std::int64_t minFileSize);
    // 2. Groups of two or more files of one size, in the order of their first file.
    [[nodiscard]] bool groupBySize();
    // 3. Hard links: the first link met stands for the file. Inode 0 means "unknown". Groups of
    // files too large to read whole in the first pass, and few enough to hold open together,
    // are compared as whole groups there; the others are hashed folder by folder.
    [[nodiscard]] bool collapseHardLinks();
    // 4. First pass. Whole groups of large files, the most bytes first, so that a few large
    // files do not finish alone after everything else; then the other files, several folders
    // at once, the files of one folder opened relative to it. Equal content means equal
    // first-pass digests, so a file whose digest no other file of its size shares can be in no
    // cluster (every file of a size group is hashed the same way).
    [[nodiscard]] bool firstPass(DuplicateResolutionRule rule);
    // 5. Full pass over the groups whose first pass did not already read them whole: side by
    // side, or file by file for very large groups. The jobs that read the most start first.
    [[nodiscard]] bool secondPass();
    // 6. Clusters, oldest first within each; built for several groups at once (each item parses
    // its path), then taken in group order.
    [[nodiscard]] bool buildClusters(DuplicateResolutionRule rule);
    // 7. Largest recoverable size first; equal sizes keep their order.
    std::vector<DuplicateCluster> largestRecoverableFirst();

private:
    bool stopped() const { return m_cancel.stop_requested(); }

    // The members of a size group whose first-pass digests another member shares, by digest.
    std::vector<std::vector<std::size_t>>
    groupByPartialDigest(const std::vector<std::size_t>& sizeGroup) const;
    void announceFullHash(const Candidate& file) const;

    // A size group of large files as one job: each file is opened once, by its whole path, and
    // stays open from its first-pass digest to the side-by-side comparison of the files whose
    // first-pass digests agree; the group's clusters are built here too.
    void compareWholeGroup(std::size_t sizeGroup, DuplicateResolutionRule rule, WorkerState& state);
    // The files to hash first, by the folder holding them in the tree, folders in the order of
    // their first file; then the folders as jobs. Folders whose small files have the same
    // names and sizes (copies of one folder, most often) share a job of up to kMaxSideBySide
    // folders, so that their files can be compared with each other.
    std::vector<std::vector<std::vector<std::size_t>>> folderJobs() const;
    // Fills in the paths of `files` (here, on the workers) and opens the folder of the first.
    OpenedFolder openFolder(const std::vector<std::size_t>& files, bool open);
    void hashFiles(const std::vector<std::size_t>& files, const OpenedFolder& folder,
                   WorkerState& state);
    void hashFolders(const std::vector<std::vector<std::size_t>>& folders, WorkerState& state);
    // Reads the equal-sized small `files` (`folders[t]` holding `files[t]`) whole, side by side,
    // and gives each set of byte-identical ones the digest of its content, computed once.
    void hashEqualSized(const std::vector<std::size_t>& files,
                        const std::vector<const OpenedFolder*>& folders, WorkerState& state);

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

} // namespace fernwick::duplicates
