#pragma once

#include "FernwickCore/Platform/Clock.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/StateFile.h"
#include "FernwickCore/Platform/Uuid.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

/// One point of the storage timeline, recorded after a completed scan.
/// Stable: written to snapshots.json as {"id", "date", "totalUsedBytes", "totalFreeBytes",
/// "categoryBreakdown"}.
struct StorageSnapshot {
    Uuid id;
    TimePoint date;
    std::int64_t totalUsedBytes = 0;
    std::int64_t totalFreeBytes = 0;
    /// Bytes per category display text, exactly as the caller supplied them.
    std::map<std::string, std::int64_t> categoryBreakdown;

    std::string formattedUsed() const;
    std::string formattedFree() const;

    friend bool operator==(const StorageSnapshot&, const StorageSnapshot&) = default;
};

/// File operations a test may replace to simulate failures the file system cannot produce
/// for root. Each returns true on success (a missing file counts as removed).
struct HistoryFileOps {
    std::function<bool(const std::filesystem::path&)> removeFile;
    /// The largest file the store reads and writes (smaller in tests).
    std::size_t maxFileBytes = statefile::kSnapshotsMaxBytes;
};

/// The storage timeline, kept in memory and persisted whole as "snapshots.json" in the
/// application-support folder. The file is read once, at construction.
///
/// Every failure is silent. A file that exists but cannot be read or decoded is never replaced
/// blindly: the next recording first renames it to "snapshots.json.unreadable-<unix seconds>",
/// and writes nothing when that rename fails. Writes go through a temporary file, fsync and
/// rename, so a crash leaves the old or the new timeline, never a truncated one.
///
/// Safe to call from any thread; recordings and clears are serialised with their file writes.
class HistoryStore {
public:
    using FileOps = HistoryFileOps;

    /// Creates the folder (errors ignored) and loads the file of `environment`.
    explicit HistoryStore(const Environment& environment,
                          std::shared_ptr<const Clock> clock = Clock::system(),
                          FileOps fileOps = {});
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    /// The instance for the real user, built on first use.
    static std::shared_ptr<HistoryStore> shared();

    /// Appends a snapshot stamped now with a fresh id and rewrites the file. Values are stored
    /// as given (no validation). When the file would pass the size the store reads back, the
    /// oldest recorded snapshots are dropped (from memory too) until it fits: the newest stay.
    void recordSnapshot(std::int64_t used, std::int64_t free,
                        std::map<std::string, std::int64_t> breakdown);
    /// Every snapshot, newest first; equal dates keep their recording order.
    std::vector<StorageSnapshot> getSnapshots() const;
    /// Empties the timeline and removes the file; when the file cannot be removed, writes an
    /// empty array over it so that the old timeline does not come back at the next start.
    void clearSnapshots();

    /// The location of the snapshots file.
    const std::filesystem::path& fileURL() const { return m_fileURL; }

    /// The file's bytes for `snapshots`: a compact JSON array in the given order.
    static std::string encode(const std::vector<StorageSnapshot>& snapshots);
    /// The snapshots of a file's bytes, in file order; nullopt when any element lacks one of the
    /// five members or has one of the wrong type, or the text is not a JSON array.
    static std::optional<std::vector<StorageSnapshot>> decode(const std::string& text);

private:
    void load();
    bool setAsideUnreadableFile();
    std::size_t oldestToDrop(const std::vector<StorageSnapshot>& snapshots,
                             std::size_t encodedBytes) const;

    const std::filesystem::path m_fileURL;
    const std::shared_ptr<const Clock> m_clock;
    const FileOps m_fileOps;

    // Serialises file work so that writes land in the order their lists were taken.
    std::mutex m_fileMutex;
    mutable std::mutex m_mutex;
    std::vector<StorageSnapshot> m_snapshots;
    bool m_fileUnreadable = false; // guarded by m_fileMutex
};

} // namespace fernwick
