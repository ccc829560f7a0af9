#pragma once

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Model/InstalledApp.h"
#include "FernwickCore/Platform/DesktopEntry.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/RunningPrograms.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

class Trash;

/// Lists the applications of the two application folders (".app" bundles and
/// AppImages) with their leftovers in the user's Library and, for AppImages, in
/// the XDG folders and desktop launchers, and uninstalls one by moving its
/// bundle or AppImage and the selected leftovers to the Trash, each through the
/// deletion safety check. Nothing is ever deleted outright.
///
/// Stateless: every member may be called from any thread; each blocks on the
/// file system, so callers in the UI run it on a worker.
class AppUninstallerEngine {
public:
    /// `environment.home` holds the user's "Applications" folder and "Library";
    /// `safety` and `trash` do every move; `running` tells which programs run;
    /// `systemApplications` stands in for "/Applications" in tests.
    AppUninstallerEngine(Environment environment, std::shared_ptr<const SafetyEngine> safety,
                         std::shared_ptr<const Trash> trash,
                         RunningPrograms running = RunningPrograms(),
                         std::filesystem::path systemApplications = "/Applications");

    /// The engine of the real user, with the shared safety engine and Trash.
    static std::shared_ptr<AppUninstallerEngine> shared();

    /// Every application (a direct, non-hidden entry whose extension is "app" in
    /// any case, or a regular file whose name ends in ".AppImage" in any case) of
    /// "/Applications" and then of home/Applications, largest `totalSize()`
    /// first; equal totals keep folder order and then name order. An AppImage's
    /// name and version come from its file name ("Tool-1.2-x86_64.AppImage" is
    /// Tool 1.2); it has no identifier and runs when a process names it in
    /// APPIMAGE= or executes it. Its launchers are the desktop entries whose main
    /// group's Exec names it; the launcher folder is read once per listing (see
    /// `readDesktopLaunchers`). Every bundle and leftover carries its identity as
    /// listed. Missing or unreadable folders are passed over; never fails.
    std::vector<InstalledApp> scanInstalledApplications() const;

    /// Moves the bundle to the Trash and then, with `removeRelated`, every
    /// selected leftover (refused or failed leftovers are skipped silently), each
    /// checked with the inode recorded when it was listed, so that an item replaced
    /// since is refused.
    /// Throws DomainError "Fernwick" 409 when `app.isRunning` (as recorded by the
    /// listing), "Fernwick" 403 when the safety check refuses the bundle, and
    /// "Trash" 1 with the move's failure text when the bundle cannot be moved; in
    /// each case nothing was moved. Every move goes through `mover` when one is given.
    void uninstallApp(const InstalledApp& app, bool removeRelated,
                      const CheckedTrashMover& mover = {}) const;

private:
    class Leftovers;
    /// The record of the AppImage `file` (named `entry` in its folder) and its leftovers.
    InstalledApp appImage(const std::filesystem::path& file, const std::string& entry,
                          const std::vector<std::filesystem::path>& executables,
                          const std::vector<std::filesystem::path>& appImages,
                          const std::vector<DesktopLauncher>& launchers) const;
    std::vector<AppAssociatedItem>
    findAssociatedItems(const std::string& appName,
                        const std::optional<std::string>& bundleID) const;

    Environment m_environment;
    std::shared_ptr<const SafetyEngine> m_safety;
    std::shared_ptr<const Trash> m_trash;
    RunningPrograms m_running;
    std::filesystem::path m_systemApplications;
};

} // namespace fernwick
