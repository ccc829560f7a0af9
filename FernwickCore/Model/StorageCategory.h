#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace fernwick {

/// The kind of storage an item belongs to. The display text is stable: it keys the per-category
/// totals written to snapshots.json.
enum class StorageCategory : std::uint8_t {
    applications,
    systemData,
    developerData,
    xcode,
    docker,
    ollamaModels,
    nodeModules,
    packageManagers,
    androidStudio,
    containers,
    virtualMachines,
    documents,
    photos,
    videos,
    audio,
    archives,
    downloads,
    caches,
    logs,
    temporaryFiles,
    applicationSupport,
    appLeftovers,
    installers,
    trash,
    other,
};

/// How safe removing an item is. The display text is stable.
enum class RiskLevel : std::uint8_t { low, medium, high };

/// Every category in declaration order, the order in which screens list them.
const std::array<StorageCategory, 25>& allStorageCategories();
/// low, medium, high.
const std::array<RiskLevel, 3>& allRiskLevels();

/// The display text (also the raw value and the id), e.g. "Installers & DMGs".
std::string_view displayName(StorageCategory category);
/// The system icon name the screens show beside the category, e.g. "hammer.circle.fill".
std::string_view systemIcon(StorageCategory category);
/// The category whose display text equals `text` exactly (case-sensitive, no trimming).
std::optional<StorageCategory> storageCategoryFromName(std::string_view text);

/// "Low", "Medium", "High".
std::string_view displayName(RiskLevel level);
/// "Safe to Clean", "Review Recommended", "Protected / User Data".
std::string_view badgeTitle(RiskLevel level);
/// The level whose display text equals `text` exactly.
std::optional<RiskLevel> riskLevelFromName(std::string_view text);

} // namespace fernwick
