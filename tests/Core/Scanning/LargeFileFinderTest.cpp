#include "FernwickCore/Scanning/LargeFileFinder.h"

#include "tests/Support/TreeBuilder.h"

#include <gtest/gtest.h>

namespace fernwick {
namespace {

using test::fileNode;
using test::folderNode;

constexpr std::int64_t kMB100 = 104857600;

std::vector<DiskNodePtr> find(const DiskNodePtr& root, std::int64_t threshold,
                              std::optional<StorageCategory> filter = std::nullopt) {
    return LargeFileFinder::shared().findLargeFiles(root, threshold, filter);
}

TEST(LargeFileFinder, ThresholdIsInclusive) {
    auto exact = fileNode("/r/exact", kMB100);
    auto below = fileNode("/r/below", kMB100 - 1);
    const auto found = find(folderNode("/r", {below, exact}), kMB100);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0], exact);
    EXPECT_TRUE(find(folderNode("/r", {below}), kMB100).empty());
}

TEST(LargeFileFinder, FoldersAndPackagesAreNeverListed) {
    auto app = folderNode("/r/Big.app", {fileNode("/r/Big.app/bin", 10)}, true);
    test::writable(app->size) = 10 * kMB100;
    auto deep = fileNode("/r/a/b/c/deep.mkv", 2 * kMB100);
    const auto root = folderNode(
        "/r", {app, folderNode("/r/a", {folderNode("/r/a/b", {folderNode("/r/a/b/c", {deep})})})});
    const auto found = find(root, kMB100);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0], deep);
}

TEST(LargeFileFinder, LargestFirstAndEqualSizesKeepPreOrder) {
    auto a1 = fileNode("/r/A/a1", 2 * kMB100);
    auto b = fileNode("/r/b", 2 * kMB100);
    auto c = fileNode("/r/c", 3 * kMB100);
    auto a2 = fileNode("/r/A/a2", 2 * kMB100);
    const auto root = folderNode("/r", {folderNode("/r/A", {a1, a2}), b, c});
    const std::vector<DiskNodePtr> expected = {c, a1, a2, b};
    EXPECT_EQ(find(root, kMB100), expected);
}

TEST(LargeFileFinder, CategoryFilterAndRootFile) {
    auto video = fileNode("/r/v.mkv", kMB100, StorageCategory::videos);
    auto archive = fileNode("/r/a.zip", 5 * kMB100, StorageCategory::archives);
    const auto root = folderNode("/r", {video, archive});
    EXPECT_EQ(find(root, kMB100, StorageCategory::videos), std::vector<DiskNodePtr>{video});
    EXPECT_EQ(find(root, kMB100).size(), 2U);
    EXPECT_TRUE(find(root, kMB100, StorageCategory::photos).empty());

    EXPECT_EQ(find(archive, kMB100), std::vector<DiskNodePtr>{archive});
    EXPECT_TRUE(find(nullptr, kMB100).empty());
}

TEST(LargeFileThreshold, BytesTitlesAndLookup) {
    const auto& all = allLargeFileThresholds();
    ASSERT_EQ(all.size(), 4U);
    const std::pair<std::int64_t, const char*> rows[] = {{104857600, "> 100 MB"},
                                                         {524288000, "> 500 MB"},
                                                         {1073741824, "> 1 GB"},
                                                         {5368709120, "> 5 GB"}};
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(bytes(all[i]), rows[i].first);
        EXPECT_EQ(title(all[i]), rows[i].second);
        EXPECT_EQ(largeFileThresholdFromBytes(rows[i].first), all[i]);
    }
    EXPECT_EQ(all.front(), LargeFileThreshold::mb100);
    EXPECT_FALSE(largeFileThresholdFromBytes(1000000000).has_value());
    EXPECT_EQ(largeFileThresholdFromBytes(1073741824), LargeFileThreshold::gb1);
}

} // namespace
} // namespace fernwick
