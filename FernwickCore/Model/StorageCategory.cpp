#include "FernwickCore/Model/StorageCategory.h"

namespace fernwick {
namespace {

struct CategoryText {
    std::string_view name;
    std::string_view icon;
};

constexpr std::array<CategoryText, 25> kCategoryTexts = {{
    {"Applications", "app.badge"},
    {"System Data", "gearshape.2"},
    {"Developer Data", "hammer"},
    {"Xcode", "hammer.circle.fill"},
    {"Docker", "shippingbox.fill"},
    {"AI Models (Ollama/LLM)", "brain.head.profile"},
    {"Node.js & Modules", "hexagon.fill"},
    {"Package Managers", "cube.box"},
    {"Android Studio & Gradle", "phone.badge.checkmark"},
    {"Containers", "square.stack.3d.up.fill"},
    {"Virtual Machines", "desktopcomputer"},
    {"Documents", "doc.text.fill"},
    {"Photos", "photo.fill"},
    {"Videos", "film.fill"},
    {"Audio", "music.note"},
    {"Archives", "archivebox.fill"},
    {"Downloads", "arrow.down.circle.fill"},
    {"Caches", "bolt.horizontal.circle.fill"},
    {"Logs", "list.bullet.rectangle.fill"},
    {"Temporary Files", "clock.arrow.circlepath"},
    {"Application Support", "folder.badge.gearshape"},
    {"App Leftovers", "trash.slash.fill"},
    {"Installers & DMGs", "internaldrive.fill"},
    {"Trash", "trash.fill"},
    {"Other", "folder.fill"},
}};

struct RiskText {
    std::string_view name;
    std::string_view badge;
};

constexpr std::array<RiskText, 3> kRiskTexts = {{
    {"Low", "Safe to Clean"},
    {"Medium", "Review Recommended"},
    {"High", "Protected / User Data"},
}};

} // namespace

const std::array<StorageCategory, 25>& allStorageCategories() {
    static const std::array<StorageCategory, 25> all = [] {
        std::array<StorageCategory, 25> out{};
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<StorageCategory>(i);
        }
        return out;
    }();
    return all;
}

const std::array<RiskLevel, 3>& allRiskLevels() {
    static const std::array<RiskLevel, 3> all = {RiskLevel::low, RiskLevel::medium,
                                                 RiskLevel::high};
    return all;
}

std::string_view displayName(StorageCategory category) {
    return kCategoryTexts[static_cast<std::size_t>(category)].name;
}

std::string_view systemIcon(StorageCategory category) {
    return kCategoryTexts[static_cast<std::size_t>(category)].icon;
}

std::optional<StorageCategory> storageCategoryFromName(std::string_view text) {
    for (std::size_t i = 0; i < kCategoryTexts.size(); ++i) {
        if (kCategoryTexts[i].name == text) {
            return static_cast<StorageCategory>(i);
        }
    }
    return std::nullopt;
}

std::string_view displayName(RiskLevel level) {
    return kRiskTexts[static_cast<std::size_t>(level)].name;
}

std::string_view badgeTitle(RiskLevel level) {
    return kRiskTexts[static_cast<std::size_t>(level)].badge;
}

std::optional<RiskLevel> riskLevelFromName(std::string_view text) {
    for (std::size_t i = 0; i < kRiskTexts.size(); ++i) {
        if (kRiskTexts[i].name == text) {
            return static_cast<RiskLevel>(i);
        }
    }
    return std::nullopt;
}

} // namespace fernwick
