#pragma once

#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Platform/Clock.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/FileIdentity.h"
#include "FernwickCore/Platform/Uuid.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

/// One developer cache, build folder or VM disk the developer cleaner offers. Only
/// `isSelected` is meant to change after the engine built it.
struct DeveloperStorageItem {
    Uuid id;
    /// Display name (for a build folder: the folder's own name).
    std::string name;
    std::string groupName;
    /// Absolute path of the folder (for the Docker row: of the VM disk file).
    std::string path;
    /// Allocated bytes below the folder (Docker: the disk file's apparent size).
    std::int64_t size = 0;
    RiskLevel riskLevel = RiskLevel::low;
    std::string explanation;
    std::string recommendedAction;
    /// Whether the program offers to move it to the Trash.
    bool canClean = false;
    bool isSelected = false;
    /// Newest modification found inside (Docker: the time of the scan).
    TimePoint lastModified;
    /// A hint that the place is in current use.
    bool likelyActive = false;
    /// The place itself (links not followed) as the listing found it, which a clean must find
    /// again: a folder swapped in since, or the place reached through a link, is another item.
    FileIdentity identity;

    /// `size` as byte-count text, e.g. "52.4 MB".
    std::string formattedSize() const;
};

/// What the Docker probe found.
struct DockerStatusInfo {
    bool isInstalled = false;
    bool isRunning = false;
    /// The VM disk file found, if any.
    std::optional<std::string> vmDiskPath;
    /// The disk file's apparent size (st_size, not its allocated blocks); 0 without a disk.
    std::int64_t diskSizeBytes = 0;
    std::string explanation;
    std::string guidedCliAction;
};

/// Finds and describes the places under the home folder where developer tools keep caches,
/// build products, package stores, model weights and a VM disk. It deletes nothing. Stateless:
/// every member function may be called from any thread, concurrently; each blocks on the file
/// system, so callers in the UI run it on a worker.
class DeveloperStorageEngine {
public:
    /// `environment.home` is where the catalogue's places are looked up; `clock` gives the scan's
    /// "now"; `systemRoot` is prefixed to the system-wide locations (the Docker socket in
    /// /var/run and /Applications/Docker.app) so that tests can stand in for them.
    explicit DeveloperStorageEngine(Environment environment,
                                    std::shared_ptr<const Clock> clock = Clock::system(),
                                    std::filesystem::path systemRoot = "/");

    /// The instance built for the real user's home and the wall clock.
    static std::shared_ptr<DeveloperStorageEngine> shared();

    /// Whether Docker Desktop is installed and running, and where its VM disk lies.
    DockerStatusInfo checkDockerStatus() const;

    /// One item per catalogue place larger than its threshold (one per build folder of the
    /// Xcode derived data), largest first; equal sizes keep catalogue order. Empty when nothing
    /// qualifies. Never fails: missing and unreadable places are skipped.
    std::vector<DeveloperStorageItem> scanDeveloperStorage() const;

private:
    std::filesystem::path systemPath(const char* absolute) const;

    Environment m_environment;
    std::shared_ptr<const Clock> m_clock;
    std::filesystem::path m_systemRoot;
};

} // namespace fernwick
