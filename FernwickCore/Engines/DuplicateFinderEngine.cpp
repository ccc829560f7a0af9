#include "FernwickCore/Engines/DuplicateFinderEngine.h"

#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickCore/Platform/Sha256.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
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

// The partial hash covers the first and the last 4,096 bytes; files of 8,192 bytes or fewer
// are hashed on their head alone.
constexpr std::size_t kPartialChunk = 4096;
constexpr std::int64_t kTailThreshold = 8192;
constexpr std::size_t kFullBufferSize = 65536;

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
    FileDescriptor openRegular(const std::filesystem::path& file, std::int64_t size) const {
        FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat info {};
        if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size != size) {
            return FileDescriptor(-1);
        }
        return fd;
    }

    // Exactly `length` bytes at `offset`, or false: a short read means the file changed.
    bool readExactly(const std::filesystem::path& file, int fd, unsigned char* buffer,
                     std::size_t length, off_t offset) const {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t got =
                readAt(file, fd, buffer + done, length - done, offset + static_cast<off_t>(done));
            if (got <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    ssize_t readAt(const std::filesystem::path& file, int fd, unsigned char* buffer,
                   std::size_t length, off_t offset) const {
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

std::optional<std::string> partialHash(const FileReader& reader, const std::filesystem::path& file,
                                       std::int64_t size) {
    const FileDescriptor fd = reader.openRegular(file, size);
    if (fd.get() < 0) {
        return std::nullopt;
    }
    Sha256 digest;
    unsigned char buffer[kPartialChunk];
    const std::size_t headLength =
        static_cast<std::size_t>(std::min<std::int64_t>(size, kPartialChunk));
    if (!reader.readExactly(file, fd.get(), buffer, headLength, 0)) {
        return std::nullopt;
    }
    digest.update(buffer, headLength);
    if (size > kTailThreshold) {
        const off_t tail = static_cast<off_t>(size - static_cast<std::int64_t>(kPartialChunk));
        if (!reader.readExactly(file, fd.get(), buffer, kPartialChunk, tail)) {
            return std::nullopt;
        }
        digest.update(buffer, kPartialChunk);
    }
    return digest.finishHex();
}

std::optional<std::string> fullHash(const FileReader& reader, const std::filesystem::path& file,
                                    std::int64_t size, std::vector<unsigned char>& buffer) {
    const FileDescriptor fd = reader.openRegular(file, size);
    if (fd.get() < 0) {
        return std::nullopt;
    }
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 digest;
    std::int64_t total = 0;
    for (;;) {
        const ssize_t got = reader.readAt(file, fd.get(), buffer.data(), buffer.size(), total);
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        digest.update(buffer.data(), static_cast<std::size_t>(got));
        total += got;
    }
    // A file that shrank or grew while it was read is not the file the tree described.
    if (total != size) {
        return std::nullopt;
    }
    return digest.finishHex();
}

/// Runs `work(index, buffer)` for every index below `count` on up to `workers` threads. Stops
/// handing out work when `cancel` is requested.
template <typename Work>
void forEachInParallel(std::size_t count, unsigned workers, const std::stop_token& cancel,
                       Work&& work) {
    std::atomic<std::size_t> next{0};
    auto run = [&] {
        std::vector<unsigned char> buffer(kFullBufferSize);
        for (std::size_t i = next++; i < count && !cancel.stop_requested(); i = next++) {
            work(i, buffer);
        }
    };
    const std::size_t threads = std::min<std::size_t>(workers, count);
    if (threads <= 1) {
        run();
        return;
    }
    std::vector<std::jthread> pool;
    pool.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t) {
        pool.emplace_back(run);
    }
    run();
}

/// Groups `members` by `key(member)`, keeping groups in the order of their first member and
/// members in their given order; groups of fewer than two are dropped.
template <typename Key, typename KeyOf>
std::vector<std::vector<std::size_t>> groupInOrder(const std::vector<std::size_t>& members,
                                                   KeyOf&& key) {
    std::vector<std::vector<std::size_t>> groups;
    std::unordered_map<Key, std::size_t> index;
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

struct Candidate {
    const DiskNode* node;
    std::filesystem::path url;
    std::optional<std::string> partial;
    std::optional<std::string> full;
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
    const unsigned workers = m_options.workerCount > 0
                                 ? m_options.workerCount
                                 : std::max(1U, std::thread::hardware_concurrency());
    const FileReader reader(m_options.read);

    // 1-2. Candidates in tree order, grouped by size.
    const std::vector<DiskNodePtr> descendants = root->allDescendants();
    std::vector<Candidate> candidates;
    auto consider = [&](const DiskNode& node) {
        if (!node.isDirectory() && !node.isPackage() && node.size >= minFileSize) {
            candidates.push_back(Candidate{&node, {}, std::nullopt, std::nullopt});
        }
    };
    consider(*root);
    for (const auto& node : descendants) {
        consider(*node);
    }
    std::vector<std::size_t> all(candidates.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (cancel.stop_requested()) {
            return {};
        }
        all[i] = i;
    }
    auto sizeGroups =
        groupInOrder<std::int64_t>(all, [&](std::size_t i) { return candidates[i].node->size; });

    // 3. Hard links: the first link met stands for the file. Inode 0 means "unknown".
    std::vector<std::size_t> toPartialHash;
    for (auto& group : sizeGroups) {
        if (cancel.stop_requested()) {
            return {};
        }
        std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
        std::erase_if(group, [&](std::size_t i) {
            const DiskNode& node = *candidates[i].node;
            return node.inode != 0 && !seen.emplace(node.deviceID, node.inode).second;
        });
        if (group.size() >= 2) {
            toPartialHash.insert(toPartialHash.end(), group.begin(), group.end());
        }
    }

    // 4. Partial hashes, several files at once.
    forEachInParallel(toPartialHash.size(), workers, cancel, [&](std::size_t job, auto&) {
        Candidate& candidate = candidates[toPartialHash[job]];
        candidate.url = candidate.node->url();
        candidate.partial = partialHash(reader, candidate.url, candidate.node->size);
    });
    if (cancel.stop_requested()) {
        return {};
    }
    std::erase_if(toPartialHash, [&](std::size_t i) { return !candidates[i].partial; });
    // Equal content means equal partial hashes, so a size and partial hash pair that no other
    // file shares can hold no duplicate.
    auto partialGroups = groupInOrder<std::string>(toPartialHash, [&](std::size_t i) {
        return std::to_string(candidates[i].node->size) + ':' + *candidates[i].partial;
    });

    // 5. Full hashes. A file of at most one partial chunk was read whole by its partial hash,
    // which therefore is its full digest: it is not read again.
    std::vector<std::size_t> toFullHash;
    for (const auto& group : partialGroups) {
        for (std::size_t i : group) {
            if (candidates[i].node->size <= static_cast<std::int64_t>(kPartialChunk)) {
                candidates[i].full = candidates[i].partial;
            } else {
                toFullHash.push_back(i);
            }
        }
    }
    forEachInParallel(toFullHash.size(), workers, cancel, [&](std::size_t job, auto& buffer) {
        Candidate& candidate = candidates[toFullHash[job]];
        if (m_options.beforeFullHash) {
            m_options.beforeFullHash(candidate.url);
        }
        candidate.full = fullHash(reader, candidate.url, candidate.node->size, buffer);
    });
    if (cancel.stop_requested()) {
        return {};
    }

    // 6. Clusters, oldest first within each.
    std::vector<DuplicateCluster> clusters;
    for (const auto& partialGroup : partialGroups) {
        std::vector<std::size_t> hashed;
        std::copy_if(partialGroup.begin(), partialGroup.end(), std::back_inserter(hashed),
                     [&](std::size_t i) { return candidates[i].full.has_value(); });
        auto fullGroups =
            groupInOrder<std::string>(hashed, [&](std::size_t i) { return *candidates[i].full; });
        for (auto& group : fullGroups) {
            if (cancel.stop_requested()) {
                return {};
            }
            std::stable_sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) {
                return candidates[a].node->modifiedDate < candidates[b].node->modifiedDate;
            });
            DuplicateCluster cluster{Uuid::random(),
                                     candidates[group.front()].node->size,
                                     *candidates[group.front()].full,
                                     {}};
            const std::size_t n = group.size();
            for (std::size_t position = 0; position < n; ++position) {
                const Candidate& candidate = candidates[group[position]];
                bool selected = false;
                switch (autoSelectionRule) {
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
                    Uuid::random(), candidate.url, cluster.fileSize, candidate.node->modifiedDate,
                    false, candidate.node->inode, position == 0, selected});
            }
            clusters.push_back(std::move(cluster));
        }
    }

    // 7. Largest recoverable size first; equal sizes keep their order.
    std::vector<std::pair<std::int64_t, std::size_t>> order;
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        order.emplace_back(clusters[i].recoverableSize(), i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<DuplicateCluster> sorted;
    sorted.reserve(clusters.size());
    for (const auto& entry : order) {
        sorted.push_back(std::move(clusters[entry.second]));
    }
    return sorted;
}

} // namespace fernwick
