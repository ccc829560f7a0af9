#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fernwick {

/// A newer version named by the update manifest.
struct AppUpdateInfo {
    /// The version text exactly as the manifest gives it.
    std::string latestVersion;
    /// An absolute https address with a host (checked before it is handed to the desktop's
    /// opener).
    std::string downloadURL;

    friend bool operator==(const AppUpdateInfo&, const AppUpdateInfo&) = default;
};

/// The outcome of one update check.
struct UpdateCheckResult {
    enum class Kind { newerVersion, upToDate, failed };
    Kind kind = Kind::failed;
    /// Set exactly when `kind` is newerVersion.
    std::optional<AppUpdateInfo> update;
    /// Why the check failed, a sentence for the user; empty unless `kind` is failed.
    std::string failure;

    friend bool operator==(const UpdateCheckResult&, const UpdateCheckResult&) = default;
};

/// Fetches the update manifest ({"latestVersion": "...", "downloadUrl": "..."}) and compares its
/// version with the running one. The program's only network use; it downloads nothing else.
/// Stateless: any thread, calls may overlap.
class UpdateChecker {
public:
    UpdateChecker() = delete;

    /// A GET of `manifestURL` (8 s time-out, redirects followed only to https, a body of at
    /// most 1 MiB, status exactly 200), then the manifest read against the running version.
    /// Every failure is a `failed` result with its reason. Blocks the calling thread for up to
    /// 8 s: never call it on the GUI thread.
    static UpdateCheckResult check(const std::string& manifestURL);
    /// The newer version `check` finds; nullopt when it finds none or fails (the quiet check at
    /// start-up).
    static std::optional<AppUpdateInfo> checkForUpdate(const std::string& manifestURL);

    /// The running program's version: the build's version setting, "1.0.0" when unset.
    static std::string currentVersion();
    /// The manifest location: "version.json" under the build's update base address.
    static std::string defaultManifestURL();

    /// Whether `candidate` is newer than `current`, compared piece by piece at the dots: empty
    /// pieces dropped, each piece a whole signed decimal number (anything else counts as 0),
    /// missing pieces 0. Equal versions are not newer.
    static bool isVersion(std::string_view candidate, std::string_view current);

    /// What a manifest body says against `current` (the check after a successful fetch): a
    /// version that is not newer is up to date whatever its address; a newer one needs a valid
    /// download address.
    static UpdateCheckResult resultFromManifest(std::string_view body, std::string_view current);
    /// Whether `address` is an absolute https URL with a host and no blanks or control
    /// characters.
    static bool isValidDownloadAddress(std::string_view address);
};

} // namespace fernwick
