#include "FernwickCore/Engines/HistoryStore.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickCore/Platform/StateFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace fernwick {
namespace {

// The reference date of the stored "date": 2001-01-01 00:00:00 UTC, in Unix seconds.
constexpr std::int64_t kReferenceDateUnixSeconds = 978307200;

double secondsSinceReferenceDate(TimePoint date) {
    const std::chrono::duration<double> sinceEpoch = date.time_since_epoch();
    return sinceEpoch.count() - static_cast<double>(kReferenceDateUnixSeconds);
}

std::optional<TimePoint> dateFromReferenceSeconds(double seconds) {
    const double unixSeconds = seconds + static_cast<double>(kReferenceDateUnixSeconds);
    // Keep far-out values from overflowing the nanosecond clock (about ±292 years).
    if (!std::isfinite(unixSeconds) || std::fabs(unixSeconds) > 9.0e9) {
        return std::nullopt;
    }
    return TimePoint{std::chrono::duration_cast<TimePoint::duration>(
        std::chrono::duration<double>(unixSeconds))};
}

std::optional<std::int64_t> integerMember(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    return std::nullopt;
}

std::optional<StorageSnapshot> decodeOne(const nlohmann::json& element) {
    if (!element.is_object()) {
        return std::nullopt;
    }
    const auto id = element.find("id");
    const auto date = element.find("date");
    const auto used = element.find("totalUsedBytes");
    const auto free = element.find("totalFreeBytes");
    const auto breakdown = element.find("categoryBreakdown");
    const auto end = element.end();
    if (id == end || date == end || used == end || free == end || breakdown == end ||
        !id->is_string() || !date->is_number() || !breakdown->is_object()) {
        return std::nullopt;
    }
    StorageSnapshot snapshot;
    const auto uuid = Uuid::parse(id->get_ref<const std::string&>());
    const auto when = dateFromReferenceSeconds(date->get<double>());
    const auto usedBytes = integerMember(*used);
    const auto freeBytes = integerMember(*free);
    if (!uuid || !when || !usedBytes || !freeBytes) {
        return std::nullopt;
    }
    snapshot.id = *uuid;
    snapshot.date = *when;
    snapshot.totalUsedBytes = *usedBytes;
    snapshot.totalFreeBytes = *freeBytes;
    for (const auto& [key, value] : breakdown->items()) {
        const auto bytes = integerMember(value);
        if (!bytes) {
            return std::nullopt;
        }
        snapshot.categoryBreakdown.emplace(key, *bytes);
    }
    return snapshot;
}

// A JSON string. Printable ASCII needs no escaping; anything else goes through the library,
// and bytes that are not UTF-8 (category texts come from callers) are replaced, never thrown on.
std::string jsonString(const std::string& text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\';
    });
    if (plain) {
        return '"' + text + '"';
    }
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool removeIfPresent(const std::filesystem::path& file) {
    return ::unlink(file.c_str()) == 0 || errno == ENOENT;
}

} // namespace

std::string StorageSnapshot::formattedUsed() const {
    return formatByteCount(totalUsedBytes);
}

std::string StorageSnapshot::formattedFree() const {
    return formatByteCount(totalFreeBytes);
}

HistoryStore::HistoryStore(const Environment& environment, std::shared_ptr<const Clock> clock,
                           FileOps fileOps)
    : m_fileURL(environment.applicationSupport() / "snapshots.json"), m_clock(std::move(clock)),
      m_fileOps(std::move(fileOps)) {
    std::error_code ignored;
    std::filesystem::create_directories(m_fileURL.parent_path(), ignored);
    removeStaleTemporaryFiles(m_fileURL);
    load();
}

std::shared_ptr<HistoryStore> HistoryStore::shared() {
    static const auto instance = std::make_shared<HistoryStore>(Environment::current());
    return instance;
}

void HistoryStore::load() {
    auto contents = readWholeFile(m_fileURL, m_fileOps.maxFileBytes);
    if (!contents) {
        // A missing file is an empty history; anything else is a file we must not overwrite.
        m_fileUnreadable = contents.error().code != ENOENT;
        return;
    }
    auto decoded = decode(*contents);
    if (!decoded) {
        m_fileUnreadable = true;
        return;
    }
    m_snapshots = std::move(*decoded);
}

std::string HistoryStore::encode(const std::vector<StorageSnapshot>& snapshots) {
    // Written member by member: an ordered object finds each new key by a linear search, which
    // made a snapshot with many categories quadratic. The breakdown's keys come sorted from the
    // std::map, as the object's own order would have them.
    std::string out = "[";
    for (const auto& snapshot : snapshots) {
        if (out.size() > 1) {
            out += ',';
        }
        out += R"({"id":)" + jsonString(snapshot.id.text());
        out += R"(,"date":)" + nlohmann::json(secondsSinceReferenceDate(snapshot.date)).dump();
        out += R"(,"totalUsedBytes":)" + std::to_string(snapshot.totalUsedBytes);
        out += R"(,"totalFreeBytes":)" + std::to_string(snapshot.totalFreeBytes);
        out += R"(,"categoryBreakdown":{)";
        bool first = true;
        for (const auto& [category, bytes] : snapshot.categoryBreakdown) {
            out += first ? "" : ",";
            out += jsonString(category);
            out += ':';
            out += std::to_string(bytes);
            first = false;
        }
        out += "}}";
    }
    out += "]";
    return out;
}

std::optional<std::vector<StorageSnapshot>> HistoryStore::decode(const std::string& text) {
    const auto json = statefile::parse(text);
    if (json.is_discarded() || !json.is_array()) {
        return std::nullopt;
    }
    std::vector<StorageSnapshot> out;
    out.reserve(json.size());
    for (const auto& element : json) {
        auto snapshot = decodeOne(element);
        if (!snapshot) {
            return std::nullopt;
        }
        out.push_back(std::move(*snapshot));
    }
    return out;
}

bool HistoryStore::setAsideUnreadableFile() {
    const auto unixSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(m_clock->now().time_since_epoch()).count();
    // One name only: when it is taken, nothing is written until a later second frees one.
    if (statefile::setAside(m_fileURL, unixSeconds, 1, "not a snapshot list")) {
        m_fileUnreadable = false;
        return true;
    }
    return false;
}

void HistoryStore::recordSnapshot(std::int64_t used, std::int64_t free,
                                  std::map<std::string, std::int64_t> breakdown) {
    std::lock_guard fileLock(m_fileMutex);
    std::vector<StorageSnapshot> toWrite;
    {
        std::lock_guard lock(m_mutex);
        m_snapshots.push_back(
            StorageSnapshot{Uuid::random(), m_clock->now(), used, free, std::move(breakdown)});
        toWrite = m_snapshots;
    }
    if (m_fileUnreadable && !setAsideUnreadableFile()) {
        return;
    }
    std::string text = encode(toWrite);
    if (text.size() > m_fileOps.maxFileBytes) {
        // The reader refuses a longer file, and the whole timeline with it: keep the newest.
        const std::size_t dropped = oldestToDrop(toWrite, text.size());
        toWrite.erase(toWrite.begin(), toWrite.begin() + static_cast<std::ptrdiff_t>(dropped));
        {
            // The file lock keeps every other change out, so memory starts with the same ones.
            std::lock_guard lock(m_mutex);
            m_snapshots.erase(m_snapshots.begin(),
                              m_snapshots.begin() + static_cast<std::ptrdiff_t>(dropped));
        }
        text = encode(toWrite);
    }
    (void)writeFileAtomically(m_fileURL, text);
}

std::size_t HistoryStore::oldestToDrop(const std::vector<StorageSnapshot>& snapshots,
                                       std::size_t encodedBytes) const {
    // Each element's bytes in the array, with its separating comma: encode({one}) less "[]".
    std::size_t dropped = 0;
    while (dropped < snapshots.size() && encodedBytes > m_fileOps.maxFileBytes) {
        encodedBytes -= encode({snapshots[dropped]}).size() - 2 + 1;
        ++dropped;
    }
    return dropped;
}

std::vector<StorageSnapshot> HistoryStore::getSnapshots() const {
    std::vector<StorageSnapshot> copy;
    {
        std::lock_guard lock(m_mutex);
        copy = m_snapshots;
    }
    std::stable_sort(
        copy.begin(), copy.end(),
        [](const StorageSnapshot& a, const StorageSnapshot& b) { return a.date > b.date; });
    return copy;
}

void HistoryStore::clearSnapshots() {
    std::lock_guard fileLock(m_fileMutex);
    {
        std::lock_guard lock(m_mutex);
        m_snapshots.clear();
    }
    const bool removed =
        m_fileOps.removeFile ? m_fileOps.removeFile(m_fileURL) : removeIfPresent(m_fileURL);
    if (removed) {
        m_fileUnreadable = false;
        return;
    }
    // The old timeline would come back at the next start: leave an empty one instead.
    if (writeFileAtomically(m_fileURL, "[]")) {
        m_fileUnreadable = false;
    }
}

} // namespace fernwick
