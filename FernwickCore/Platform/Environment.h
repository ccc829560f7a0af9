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
    /// $XDG_CACHE_HOME, default home/.cache.
    std::filesystem::path cacheHome;
    /// $XDG_RUNTIME_DIR when set and absolute; empty otherwise, and from `forHome()`.
    std::filesystem::path runtimeFolder;
    /// The user's Documents and Desktop folders as configHome/user-dirs.dirs names them
    /// (XDG_DOCUMENTS_DIR, XDG_DESKTOP_DIR), standardized; empty when the file names none.
    std::filesystem::path documentsFolder;
    std::filesystem::path desktopFolder;

    /// $HOME when set and absolute, else the password database; XDG folders from the
    /// environment when absolute, else their defaults. Computed once per call.
    static Environment fromProcess();
    /// A home folder, the XDG defaults below it and the user folders its user-dirs.dirs names
    /// (the XDG folders may be overridden afterwards; then call `readUserFolders()` again).
    static Environment forHome(const std::filesystem::path& home);
    /// The process environment, computed once on first use.
    static const Environment& current();

    /// Reads configHome/user-dirs.dirs into `documentsFolder` and `desktopFolder`; a missing
    /// file, line or unusable value leaves the folder empty.
    void readUserFolders();

    /// dataHome/Fernwick: where the snapshots file lives.
    std::filesystem::path applicationSupport() const { return dataHome / "Fernwick"; }
    /// configHome/Fernwick/preferences.json.
    std::filesystem::path preferencesFile() const {
        return configHome / "Fernwick" / "preferences.json";
    }
};

} // namespace fernwick
