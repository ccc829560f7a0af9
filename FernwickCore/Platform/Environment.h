#pragma once

#include <filesystem>

namespace fernwick {

/// The folders an engine works against. `fromProcess()` reads the real user's; tests build
/// their own with `forHome()` so that no test touches the real home, preferences or Trash.
struct Environment {
    /// The home folder, lexically standardized.
    std::filesystem::path home;
    /// The home folder with every symbolic link resolved (equal to `home` when none lies on it).
    std::filesystem::path homeResolved;
    /// $XDG_DATA_HOME, default home/.local/share.
    std::filesystem::path dataHome;
    /// $XDG_CONFIG_HOME, default home/.config.
    std::filesystem::path configHome;

    /// $HOME when set and absolute, else the password database; XDG folders from the
    /// environment when absolute, else their defaults. Computed once per call.
    static Environment fromProcess();
    /// A home folder and the XDG defaults below it (data and config folders may be overridden
    /// afterwards).
    static Environment forHome(const std::filesystem::path& home);
    /// The process environment, computed once on first use.
    static const Environment& current();

    /// dataHome/Fernwick: where the snapshots file lives.
    std::filesystem::path applicationSupport() const { return dataHome / "Fernwick"; }
    /// configHome/Fernwick/preferences.json.
    std::filesystem::path preferencesFile() const {
        return configHome / "Fernwick" / "preferences.json";
    }
};

} // namespace fernwick
