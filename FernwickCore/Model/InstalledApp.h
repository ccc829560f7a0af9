#pragma once

#include "FernwickCore/Platform/FileIdentity.h"
#include "FernwickCore/Platform/Uuid.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fernwick {

/// How surely a leftover belongs to its application.
enum class AssociationConfidence : std::uint8_t { stronglyAssociated, probablyAssociated, unknown };

/// What a leftover is. The leftover search produces only caches, applicationSupport,
/// containers, savedState, preferences and logs; the other cases exist for display.
enum class AppArtifactKind : std::uint8_t {
    applicationBundle,
    applicationSupport,
    caches,
    preferences,
    containers,
    savedState,
    logs,
    launchAgents,
};

/// Every kind in declaration order.
const std::array<AppArtifactKind, 8>& allAppArtifactKinds();

/// The display text (also the raw value), e.g. "Unknown / Shared".
std::string_view displayName(AssociationConfidence confidence);
/// The display text (also the raw value), e.g. "Saved State".
std::string_view displayName(AppArtifactKind kind);

/// One leftover of an application in the user's Library. Only `isSelected` is meant to change.
struct AppAssociatedItem {
    Uuid id;
    /// Display name, e.g. "Cache (com.example.foo)".
    std::string name;
    std::filesystem::path url;
    std::int64_t size = 0;
    AppArtifactKind kind = AppArtifactKind::caches;
    AssociationConfidence confidence = AssociationConfidence::unknown;
    /// Whether uninstalling with leftovers moves it to the Trash.
    bool isSelected = false;
    /// The item's own identity (links not followed) when it was listed; the uninstall refuses
    /// an item whose inode, device or modification time has changed since. 0 (no time) when
    /// none was recorded.
    std::uint64_t inode = 0;
    std::uint64_t deviceID = 0;
    std::optional<TimePoint> modified;

    /// As recorded; the listing's start is the app's (InstalledApp::listedAt).
    FileIdentity identity() const { return {deviceID, inode, modified, std::nullopt}; }

    /// `size` as byte-count text.
    std::string formattedSize() const;

    friend bool operator==(const AppAssociatedItem&, const AppAssociatedItem&) = default;
};

/// Whether `fileName` names an AppImage: "<name>.AppImage", the suffix in any case, with a name
/// before it.
bool isAppImageName(std::string_view fileName);

/// One application found in an application folder. `relatedItems` and `isSelected` may change.
struct InstalledApp {
    Uuid id;
    /// The bundle's file name without its extension (an AppImage: the name part of its file name).
    std::string name;
    std::filesystem::path bundleURL;
    /// Absent when the bundle cannot be opened or names none.
    std::optional<std::string> bundleIdentifier;
    /// "CFBundleShortVersionString" of the bundle's Info.plist, when it is a string.
    std::optional<std::string> version;
    /// Bytes of the bundle.
    std::int64_t appSize = 0;
    /// The leftovers found, in search order.
    std::vector<AppAssociatedItem> relatedItems;
    bool isSelected = false;
    /// A process ran from inside the bundle (or the AppImage) when the applications were listed.
    bool isRunning = false;
    /// The bundle's (or AppImage's) own identity when it was listed, links not followed; the
    /// uninstall refuses a bundle whose inode, device or modification time has changed since.
    /// 0 (no time) when none was recorded.
    std::uint64_t bundleInode = 0;
    std::uint64_t bundleDeviceID = 0;
    std::optional<TimePoint> bundleModified;
    /// When the listing that found the app and its leftovers began; nullopt when it was not
    /// listed from the disk.
    std::optional<TimePoint> listedAt;

    FileIdentity bundleIdentity() const {
        return {bundleDeviceID, bundleInode, bundleModified, listedAt};
    }

    /// appSize plus every related item's size, selected or not.
    std::int64_t totalSize() const;
    /// `totalSize()` as byte-count text.
    std::string formattedTotalSize() const;
    /// The application is an AppImage (one file), not a bundle: see `isAppImageName`.
    bool isAppImage() const;

    friend bool operator==(const InstalledApp&, const InstalledApp&) = default;
};

} // namespace fernwick
