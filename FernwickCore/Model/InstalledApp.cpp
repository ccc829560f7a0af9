#include "FernwickCore/Model/InstalledApp.h"

#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickCore/Platform/PathUtils.h"

namespace fernwick {

const std::array<AppArtifactKind, 8>& allAppArtifactKinds() {
    static constexpr std::array<AppArtifactKind, 8> kinds{
        AppArtifactKind::applicationBundle,
        AppArtifactKind::applicationSupport,
        AppArtifactKind::caches,
        AppArtifactKind::preferences,
        AppArtifactKind::containers,
        AppArtifactKind::savedState,
        AppArtifactKind::logs,
        AppArtifactKind::launchAgents,
    };
    return kinds;
}

std::string_view displayName(AssociationConfidence confidence) {
    switch (confidence) {
    case AssociationConfidence::stronglyAssociated:
        return "Strongly Associated";
    case AssociationConfidence::probablyAssociated:
        return "Probably Associated";
    case AssociationConfidence::unknown:
        break;
    }
    return "Unknown / Shared";
}

std::string_view displayName(AppArtifactKind kind) {
    switch (kind) {
    case AppArtifactKind::applicationBundle:
        return "Application";
    case AppArtifactKind::applicationSupport:
        return "Application Support";
    case AppArtifactKind::caches:
        return "Caches";
    case AppArtifactKind::preferences:
        return "Preferences";
    case AppArtifactKind::containers:
        return "Containers";
    case AppArtifactKind::savedState:
        return "Saved State";
    case AppArtifactKind::logs:
        return "Logs";
    case AppArtifactKind::launchAgents:
        break;
    }
    return "Launch Agents";
}

std::string AppAssociatedItem::formattedSize() const {
    return formatByteCount(size);
}

std::int64_t InstalledApp::totalSize() const {
    std::int64_t total = appSize;
    for (const auto& item : relatedItems) {
        total += item.size;
    }
    return total;
}

std::string InstalledApp::formattedTotalSize() const {
    return formatByteCount(totalSize());
}

bool isAppImageName(std::string_view fileName) {
    constexpr std::string_view kSuffix = ".appimage";
    return fileName.size() > kSuffix.size() &&
           paths::lowercased(fileName.substr(fileName.size() - kSuffix.size())) == kSuffix;
}

bool InstalledApp::isAppImage() const {
    return isAppImageName(bundleURL.filename().native());
}

} // namespace fernwick
