#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Platform/Clock.h"
#include "FernwickCore/Platform/Uuid.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace fernwick {

/// How the duplicate finder pre-selects copies for cleanup. The display text is the raw value
/// and the id.
enum class DuplicateResolutionRule : std::uint8_t { keepOldest, keepNewest, unselectAll };

/// keepOldest, keepNewest, unselectAll.
const std::array<DuplicateResolutionRule, 3>& allDuplicateResolutionRules();
/// "Keep Oldest (Original)", "Keep Newest", "Review Manually (Select None)".
std::string_view displayName(DuplicateResolutionRule rule);
/// The rule whose display text equals `text` exactly (case-sensitive).
std::optional<DuplicateResolutionRule> duplicateResolutionRuleFromName(std::string_view text);

/// One file of a duplicate cluster.
struct DuplicateFileItem {
    Uuid id;
    std::filesystem::path url;
    /// The cluster's byte size.
    std::int64_t size = 0;
    TimePoint modifiedDate;
    /// Never set by the finder, which collapses hard links before hashing; a flagged item does
    /// not count towards the cluster's recoverable size.
    bool isHardlink = false;
    std::uint64_t inode = 0;
    /// True for the oldest item of its cluster.
    bool isOriginal = false;
    bool isSelectedForCleanup = false;
    /// The scanned device number; with `inode` and `modifiedDate` what a clean must find.
    std::uint64_t deviceID = 0;

    /// As recorded; the listing's start is the cluster's (DuplicateCluster::listedAt).
    FileIdentity identity() const { return FileIdentity::recorded(deviceID, inode, modifiedDate); }
    /// The last path component of url.
    std::string name() const { return url.filename().native(); }
    std::string path() const { return url.native(); }
};

/// A group of byte-identical files, oldest first.
struct DuplicateCluster {
    Uuid id;
    std::int64_t fileSize = 0;
    /// The content's SHA-256 digest, 64 lower-case hexadecimal digits.
    std::string sha256Hash;
    std::vector<DuplicateFileItem> items;
    /// When the search that read the files began: each item's identity is held to it.
    std::optional<TimePoint> listedAt;

    /// (items selected for cleanup that are not hard links) x fileSize, saturating.
    std::int64_t recoverableSize() const;
    std::string formattedFileSize() const;
    std::string formattedRecoverableSize() const;
};

/// Finds groups of byte-identical files in a scanned tree: files are grouped by size, hard links
/// collapsed, a first pass over each file's head and tail (or the whole file, up to 64 KiB)
/// separates most non-duplicates, and only files whose first-pass SHA-256 digests collide are
/// read in full: side by side, so that a file stops being read once it matches no other, and
/// each set of equal files is digested once. Small files of folders that hold the same names and
/// sizes (copies of one folder) are read side by side too and compared byte for byte, so that
/// each set of equal ones is digested once. Several files are read at once on worker threads;
/// each stage reads a file at most once, and the result does not depend on the number of
/// workers.
///
/// A file is left out of every cluster when it cannot be opened, is no longer a regular file
/// (FIFOs and devices are opened non-blocking and never read), fails while being read, or no
/// longer has the size the tree recorded for it. Nothing is ever deleted.
///
/// Stateless between calls: `findDuplicates` may run on any thread, several at once; the tree
/// must not change while it runs.
class DuplicateFinderEngine {
public:
    /// Reads up to `length` bytes at `offset` of the open file `fd` (whose path is `file`),
    /// like pread(2). Tests replace it to make reads fail.
    using ReadFunction = std::function<ssize_t(std::string_view file, int fd, void* buffer,
                                               std::size_t length, off_t offset)>;

    struct Options {
        /// Files hashed at once; 0 means one per processor.
        unsigned workerCount = 0;
        /// nullptr: pread(2).
        ReadFunction read;
        /// Called on a worker before each file's full hash starts (tests cancel from here).
        std::function<void(std::string_view file)> beforeFullHash;
    };

    DuplicateFinderEngine() = default;
    explicit DuplicateFinderEngine(Options options);

    static std::shared_ptr<DuplicateFinderEngine> shared();

    /// The clusters of byte-identical files among `root` and its descendants that are neither
    /// folders nor packages and hold at least `minFileSize` bytes; largest recoverable size
    /// first (equal sizes in a fixed order that follows the tree). Empty when `cancel` is
    /// requested before the call finishes.
    [[nodiscard]] std::vector<DuplicateCluster>
    findDuplicates(const DiskNodePtr& root, std::int64_t minFileSize,
                   DuplicateResolutionRule autoSelectionRule, std::stop_token cancel = {}) const;

private:
    Options m_options;
};

} // namespace fernwick
