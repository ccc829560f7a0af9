#include "FernwickCore/Model/StorageCategory.h"

#include <gtest/gtest.h>
#include <string>

namespace fernwick {
namespace {

TEST(StorageCategory, EveryCategoryHasItsTextAndIconInOrder) {
    const std::pair<const char*, const char*> rows[] = {
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
    };
    const auto& all = allStorageCategories();
    ASSERT_EQ(all.size(), std::size(rows));
    EXPECT_EQ(all.front(), StorageCategory::applications);
    EXPECT_EQ(all.back(), StorageCategory::other);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(displayName(all[i]), rows[i].first) << i;
        EXPECT_EQ(systemIcon(all[i]), rows[i].second) << i;
        EXPECT_EQ(storageCategoryFromName(rows[i].first), all[i]) << i;
    }
    EXPECT_EQ(displayName(StorageCategory::installers), "Installers & DMGs");
    EXPECT_EQ(storageCategoryFromName("AI Models (Ollama/LLM)"), StorageCategory::ollamaModels);
}

TEST(StorageCategory, LookupIsExact) {
    EXPECT_EQ(storageCategoryFromName("Caches"), StorageCategory::caches);
    EXPECT_FALSE(storageCategoryFromName("caches").has_value());
    EXPECT_FALSE(storageCategoryFromName("Caches ").has_value());
    EXPECT_FALSE(storageCategoryFromName(" Caches").has_value());
    EXPECT_FALSE(storageCategoryFromName("").has_value());
    EXPECT_FALSE(storageCategoryFromName(std::string("Caches\0", 7)).has_value());
}

TEST(RiskLevel, TextsBadgesAndLookup) {
    const auto& all = allRiskLevels();
    ASSERT_EQ(all.size(), 3U);
    EXPECT_EQ(all[0], RiskLevel::low);
    EXPECT_EQ(all[1], RiskLevel::medium);
    EXPECT_EQ(all[2], RiskLevel::high);
    EXPECT_EQ(displayName(RiskLevel::low), "Low");
    EXPECT_EQ(displayName(RiskLevel::medium), "Medium");
    EXPECT_EQ(displayName(RiskLevel::high), "High");
    EXPECT_EQ(badgeTitle(RiskLevel::low), "Safe to Clean");
    EXPECT_EQ(badgeTitle(RiskLevel::medium), "Review Recommended");
    EXPECT_EQ(badgeTitle(RiskLevel::high), "Protected / User Data");
    for (const auto level : all) {
        EXPECT_EQ(riskLevelFromName(displayName(level)), level);
    }
    EXPECT_FALSE(riskLevelFromName("low").has_value());
    EXPECT_FALSE(riskLevelFromName("High ").has_value());
}

} // namespace
} // namespace fernwick
